#include "OutlineGridAccessibleCell.h"

#include "OutlineGridView.h"

#include <QHeaderView>
#include <QWindow>

OutlineGridAccessibleCell::OutlineGridAccessibleCell(OutlineGridView *view, int row, int col)
    : m_view(view), m_row(row), m_col(col) {}

bool OutlineGridAccessibleCell::isValid() const {
    if (!m_view || !m_view->isColumnShown(m_col))
        return false;
    if (isHeader())
        return !m_view->header()->isHidden();
    return m_row < m_view->model()->rows() && m_view->visibleIndexOf(m_row) >= 0;
}

QWindow *OutlineGridAccessibleCell::window() const {
    return m_view ? m_view->window()->windowHandle() : nullptr;
}

QAccessibleInterface *OutlineGridAccessibleCell::parent() const {
    return m_view ? QAccessible::queryAccessibleInterface(m_view) : nullptr;
}

QString OutlineGridAccessibleCell::text(QAccessible::Text t) const {
    if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value))
        return {};
    const OutlineGrid *grid = m_view->model();
    if (isHeader())
        return grid->rows() > 0 ? m_view->headerText(m_col) : QString();
    if (m_col == m_view->shareColumn())
        return m_view->shownText(m_row, m_col);
    return grid->displayText(m_row, m_col);
}

QRect OutlineGridAccessibleCell::rect() const {
    if (!isValid())
        return {};
    if (isHeader()) {
        QHeaderView *header = m_view->header();
        const QRect r(header->sectionViewportPosition(m_col), 0, header->sectionSize(m_col),
                      header->height());
        return QRect(header->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    const QRect r = m_view->cellRect(m_row, m_col);
    return QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
}

QAccessible::Role OutlineGridAccessibleCell::role() const {
    if (isHeader())
        return QAccessible::ColumnHeader;
    if (m_view && m_col == m_view->model()->look().outlineCol)
        return QAccessible::TreeItem;
    return QAccessible::Cell;
}

bool OutlineGridAccessibleCell::isExpandable() const {
    const OutlineGrid *grid = m_view->model();
    return !isHeader() && m_col == grid->look().outlineCol && m_row >= grid->fixedRows() &&
           grid->hasChildren(m_row);
}

QAccessible::State OutlineGridAccessibleCell::state() const {
    QAccessible::State s;
    if (!isValid()) {
        s.invalid = true;
        return s;
    }
    const OutlineGrid *grid = m_view->model();
    if (!m_view->isEnabled())
        s.disabled = true;
    const QRect r = isHeader() ? QRect() : m_view->cellRect(m_row, m_col);
    if (!isHeader() && !r.intersects(m_view->viewport()->rect()))
        s.offscreen = true;
    if (isHeader() || m_row < grid->fixedRows())
        return s;
    s.selectable = true;
    s.focusable = true;
    s.selected = grid->isRowSelected(m_row);
    s.focused = m_view->hasFocus() && grid->cursorRow() == m_row &&
                (grid->cursorCol() == m_col || (!m_view->isColumnShown(grid->cursorCol()) &&
                                                m_view->shownColumns().value(0, -1) == m_col));
    if (isExpandable()) {
        s.expandable = true;
        s.expanded = !grid->isCollapsed(m_row);
        s.collapsed = grid->isCollapsed(m_row);
    }
    return s;
}

void *OutlineGridAccessibleCell::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableCellInterface && !isHeader())
        return static_cast<QAccessibleTableCellInterface *>(this);
    if (type == QAccessible::ActionInterface && !isHeader())
        return static_cast<QAccessibleActionInterface *>(this);
    return nullptr;
}

bool OutlineGridAccessibleCell::isSelected() const {
    return isValid() && !isHeader() && m_view->model()->isRowSelected(m_row);
}

QList<QAccessibleInterface *> OutlineGridAccessibleCell::columnHeaderCells() const {
    QAccessibleInterface *table = parent();
    QAccessibleInterface *header = nullptr;
    if (table && table->tableInterface() && isValid() && !m_view->header()->isHidden()) {
        // The header cells are the table's first children, one per shown column.
        header = table->child(columnIndex());
    }
    return header ? QList<QAccessibleInterface *>{header} : QList<QAccessibleInterface *>{};
}

int OutlineGridAccessibleCell::columnIndex() const {
    return m_view ? static_cast<int>(m_view->shownColumns().indexOf(m_col)) : -1;
}

int OutlineGridAccessibleCell::rowIndex() const {
    if (!m_view || isHeader())
        return -1;
    return m_view->visibleIndexOf(m_row);
}

QStringList OutlineGridAccessibleCell::actionNames() const {
    if (!isValid() || isHeader() || m_row < m_view->model()->fixedRows())
        return {};
    QStringList names{pressAction()};
    if (isExpandable())
        names.append(toggleAction());
    return names;
}

void OutlineGridAccessibleCell::doAction(const QString &actionName) {
    if (!actionNames().contains(actionName))
        return;
    if (actionName == pressAction()) {
        m_view->activateCell(m_row, m_col);
    } else if (actionName == toggleAction()) {
        const bool collapsed = m_view->model()->isCollapsed(m_row);
        m_view->requestOutlineState(m_row, collapsed ? OutlineExpanded : OutlineCollapsed);
    }
}

QStringList OutlineGridAccessibleCell::keyBindingsForAction(const QString &actionName) const {
    if (actionName == toggleAction() && isExpandable())
        return {m_view->model()->isCollapsed(m_row) ? QStringLiteral("+") : QStringLiteral("-")};
    return {};
}

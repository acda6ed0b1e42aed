#include "OutlineGridAccessible.h"

#include "OutlineGridAccessibleCell.h"
#include "OutlineGridView.h"

#include <QHeaderView>

namespace {

QAccessibleInterface *createInterface(const QString &className, QObject *object) {
    if (className == QLatin1String("OutlineGridView")) {
        if (auto *view = qobject_cast<OutlineGridView *>(object))
            return new OutlineGridAccessible(view);
    }
    return nullptr;
}

OutlineGridAccessible::EventObserver eventObserver = nullptr;

void send(QAccessibleEvent *event) {
    if (eventObserver)
        eventObserver(event);
    QAccessible::updateAccessibility(event);
}

quint64 cellKey(int row, int col) {
    return (static_cast<quint64>(static_cast<quint32>(row + 1)) << 32) | static_cast<quint32>(col);
}

OutlineGridAccessible *accessibleOf(OutlineGridView *view) {
    return dynamic_cast<OutlineGridAccessible *>(QAccessible::queryAccessibleInterface(view));
}

// The column whose cell stands for a row: the cursor's column when shown, else the first.
int rowColumn(OutlineGridView *view) {
    const int col = view->model()->cursorCol();
    if (view->isColumnShown(col))
        return col;
    const QList<int> cols = view->shownColumns();
    return cols.isEmpty() ? -1 : cols.first();
}

} // namespace

OutlineGridAccessible::OutlineGridAccessible(OutlineGridView *view)
    : QAccessibleWidget(view, QAccessible::Tree) {}

OutlineGridAccessible::~OutlineGridAccessible() {
    clearCells();
}

void OutlineGridAccessible::installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(createInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

bool OutlineGridAccessible::isListening() {
    return eventObserver || QAccessible::isActive();
}

void OutlineGridAccessible::setEventObserver(EventObserver observer) {
    eventObserver = observer;
}

void OutlineGridAccessible::announceModelReset(OutlineGridView *view) {
    QAccessibleTableModelChangeEvent event(view, QAccessibleTableModelChangeEvent::ModelReset);
    send(&event);
    // Without an active bridge Qt does not pass the event on to the table; drop stale cells
    // here as well.
    if (OutlineGridAccessible *table = accessibleOf(view))
        table->clearCells();
}

void OutlineGridAccessible::announceSelection(OutlineGridView *view) {
    OutlineGridAccessible *table = accessibleOf(view);
    if (!table)
        return;
    const int cursor = view->model()->cursorRow();
    QAccessibleInterface *cell = cursor >= 0 ? table->cellFor(cursor, rowColumn(view)) : nullptr;
    if (!cell) {
        QAccessibleEvent event(view, QAccessible::SelectionWithin);
        send(&event);
        return;
    }
    QAccessibleEvent selection(cell, QAccessible::Selection);
    send(&selection);
    if (view->hasFocus()) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        send(&focus);
    }
}

void OutlineGridAccessible::announceOutlineState(OutlineGridView *view, int row) {
    OutlineGridAccessible *table = accessibleOf(view);
    QAccessibleInterface *cell =
        table ? table->cellFor(row, view->model()->look().outlineCol) : nullptr;
    if (!cell)
        return;
    QAccessible::State changed;
    changed.expanded = true;
    changed.collapsed = true;
    QAccessibleStateChangeEvent event(cell, changed);
    send(&event);
}

OutlineGridView *OutlineGridAccessible::gridView() const {
    return static_cast<OutlineGridView *>(widget());
}

OutlineGridView *OutlineGridAccessible::freshView() const {
    OutlineGridView *view = gridView();
    view->ensureRowIndex();
    // Cells are tied to grid rows; once rows move their interfaces no longer mean the same.
    if (m_stamp != view->model()->structureStamp()) {
        clearCells();
        m_stamp = view->model()->structureStamp();
    }
    return view;
}

void OutlineGridAccessible::clearCells() const {
    const QHash<quint64, QAccessible::Id> cells = std::exchange(m_cells, {});
    for (QAccessible::Id id : cells)
        QAccessible::deleteAccessibleInterface(id);
}

bool OutlineGridAccessible::hasHeader() const {
    return !gridView()->header()->isHidden();
}

QAccessibleInterface *OutlineGridAccessible::cellFor(int row, int col) const {
    OutlineGridView *view = freshView();
    if (!view->isColumnShown(col) || (row < 0 && !hasHeader()) ||
        (row >= 0 && view->visibleIndexOf(row) < 0))
        return nullptr;
    const quint64 key = cellKey(row, col);
    if (const auto it = m_cells.constFind(key); it != m_cells.constEnd())
        return QAccessible::accessibleInterface(*it);
    auto *cell = new OutlineGridAccessibleCell(view, row, col);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessible::Role OutlineGridAccessible::role() const {
    return QAccessible::Tree;
}

QAccessible::State OutlineGridAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.multiSelectable = true;
    s.extSelectable = true;
    return s;
}

int OutlineGridAccessible::childCount() const {
    return (rowCount() + (hasHeader() ? 1 : 0)) * columnCount();
}

QAccessibleInterface *OutlineGridAccessible::child(int index) const {
    const int cols = columnCount();
    if (index < 0 || cols == 0)
        return nullptr;
    int row = index / cols;
    if (hasHeader()) {
        if (row == 0)
            return cellFor(-1, gridView()->shownColumns().value(index % cols, -1));
        --row;
    }
    return cellAt(row, index % cols);
}

int OutlineGridAccessible::indexOfChild(const QAccessibleInterface *child) const {
    const auto *cell = dynamic_cast<const OutlineGridAccessibleCell *>(child);
    if (!cell || !cell->isValid())
        return -1;
    const int col = freshView()->shownColumns().indexOf(cell->gridCol());
    const int headerRows = hasHeader() ? 1 : 0;
    const int row = cell->gridRow() < 0 ? 0 : cell->rowIndex() + headerRows;
    return col < 0 ? -1 : row * columnCount() + col;
}

QAccessibleInterface *OutlineGridAccessible::childAt(int x, int y) const {
    OutlineGridView *view = freshView();
    const QPoint global(x, y);
    const QPoint inHeader = view->header()->mapFromGlobal(global);
    if (hasHeader() && view->header()->rect().contains(inHeader))
        return cellFor(-1, view->columnAt(inHeader.x()));
    const QPoint inViewport = view->viewport()->mapFromGlobal(global);
    if (!view->viewport()->rect().contains(inViewport))
        return nullptr;
    return cellFor(view->rowAt(inViewport), view->columnAt(inViewport.x()));
}

QAccessibleInterface *OutlineGridAccessible::focusChild() const {
    OutlineGridView *view = freshView();
    if (!view->hasFocus() || view->model()->cursorRow() < 0)
        return nullptr;
    return cellFor(view->model()->cursorRow(), rowColumn(view));
}

void *OutlineGridAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface *OutlineGridAccessible::cellAt(int row, int column) const {
    OutlineGridView *view = freshView();
    if (row < 0 || row >= view->visibleRowCount())
        return nullptr;
    return cellFor(view->visibleRowAt(row), view->shownColumns().value(column, -1));
}

int OutlineGridAccessible::selectedCellCount() const {
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface *> OutlineGridAccessible::selectedCells() const {
    QList<QAccessibleInterface *> cells;
    const QList<int> cols = freshView()->shownColumns();
    for (int index : selectedRows()) {
        for (int c = 0; c < cols.size(); ++c)
            cells.append(cellAt(index, c));
    }
    return cells;
}

QString OutlineGridAccessible::columnDescription(int column) const {
    OutlineGridView *view = freshView();
    const int col = view->shownColumns().value(column, -1);
    if (col < 0 || view->model()->fixedRows() == 0 || view->model()->rows() == 0)
        return {};
    return view->headerText(col);
}

QString OutlineGridAccessible::rowDescription(int row) const {
    Q_UNUSED(row);
    return {};
}

int OutlineGridAccessible::selectedRowCount() const {
    return static_cast<int>(selectedRows().size());
}

int OutlineGridAccessible::columnCount() const {
    return static_cast<int>(gridView()->shownColumns().size());
}

int OutlineGridAccessible::rowCount() const {
    return freshView()->visibleRowCount();
}

QList<int> OutlineGridAccessible::selectedRows() const {
    OutlineGridView *view = freshView();
    const OutlineGrid *grid = view->model();
    QList<int> rows;
    for (int i = 0; i < grid->selectedRowCount(); ++i) {
        const int index = view->visibleIndexOf(grid->selectedRow(i));
        if (index >= 0)
            rows.append(index);
    }
    return rows;
}

bool OutlineGridAccessible::isRowSelected(int row) const {
    OutlineGridView *view = freshView();
    return row >= 0 && row < view->visibleRowCount() &&
           view->model()->isRowSelected(view->visibleRowAt(row));
}

bool OutlineGridAccessible::selectRow(int row) {
    OutlineGridView *view = freshView();
    if (row < view->firstBodyIndex() || row >= view->visibleRowCount())
        return false;
    OutlineGrid *grid = view->model();
    const int gridRow = view->visibleRowAt(row);
    // A first selection also places the cursor; later ones add to the list-box selection.
    if (grid->selectedRowCount() == 0)
        grid->select(gridRow, std::max(0, rowColumn(view)));
    else
        grid->setRowSelected(gridRow, true);
    return true;
}

bool OutlineGridAccessible::unselectRow(int row) {
    OutlineGridView *view = freshView();
    if (row < view->firstBodyIndex() || row >= view->visibleRowCount())
        return false;
    view->model()->setRowSelected(view->visibleRowAt(row), false);
    return true;
}

void OutlineGridAccessible::modelChange(QAccessibleTableModelChangeEvent *event) {
    Q_UNUSED(event);
    clearCells();
}

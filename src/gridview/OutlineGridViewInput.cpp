// Mouse, keyboard and drag-and-drop handling of the outline grid view.
#include "OutlineGridView.h"

#include "NativePath.h"
#include "OutlineGridAccessible.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QUrl>

#include <algorithm>

namespace {

GridOutlineState toggled(GridOutlineState state) {
    return state == OutlineCollapsed ? OutlineExpanded : OutlineCollapsed;
}

} // namespace

bool OutlineGridView::requestOutlineState(int row, GridOutlineState state) {
    ensureRowIndex();
    if (row < m_model->fixedRows() || row >= m_model->rows() || !m_model->hasChildren(row) ||
        m_model->outlineState(row) == state)
        return false;
    bool cancel = false;
    Q_EMIT beforeCollapse(row, state, cancel);
    // The handler may have changed the grid; only a row that still qualifies is toggled.
    if (cancel || row >= m_model->rows() || !m_model->hasChildren(row))
        return false;
    m_model->setOutlineState(row, state);
    if (state == OutlineCollapsed) {
        // The cursor must not stay on a row that has just gone out of sight.
        const int cursor = m_model->cursorRow();
        if (cursor > row && cursor < m_model->subtreeEnd(row)) {
            m_model->select(row, m_model->cursorCol());
            m_anchorRow = row;
        }
    }
    ensureRowIndex();
    if (m_model->redraw() != GridRedraw::None && OutlineGridAccessible::isListening())
        OutlineGridAccessible::announceOutlineState(this, row);
    return true;
}

void OutlineGridView::activateCell(int row, int col) {
    if (row < m_model->fixedRows() || row >= m_model->rows() || col < 0 || col >= m_model->cols())
        return;
    m_model->select(row, col);
    m_anchorRow = row;
    Q_EMIT clicked();
}

void OutlineGridView::selectWithModifiers(int row, int col, Qt::KeyboardModifiers modifiers) {
    m_ownSelection = true;
    const int anchor = m_anchorRow >= m_model->fixedRows() && m_anchorRow < m_model->rows()
                           ? m_anchorRow
                           : m_model->cursorRow();
    if (modifiers & Qt::ControlModifier) {
        m_model->setRowSelected(row, !m_model->isRowSelected(row));
        m_model->setCursorRow(row);
        m_anchorRow = row;
    } else if ((modifiers & Qt::ShiftModifier) && anchor >= m_model->fixedRows()) {
        const int from = m_index.lowerBound(std::min(anchor, row));
        const int to = m_index.lowerBound(std::max(anchor, row));
        if (to - from == std::abs(row - anchor)) {
            // No rows out of sight in between: one range selection does it.
            m_model->select(row, col, anchor, col);
        } else {
            // Only the rows in sight are selected, as a list box would.
            m_model->clearSelection();
            for (int i = from; i <= to && i < m_index.count(); ++i)
                m_model->setRowSelected(m_index.rowAt(i), true);
            m_model->setCursorRow(row);
            m_model->setCursorCol(col);
        }
    } else {
        m_model->select(row, col);
        m_anchorRow = row;
    }
    m_ownSelection = false;
}

// Mouse ----------------------------------------------------------------------------------------

void OutlineGridView::mousePressEvent(QMouseEvent *event) {
    ensureRowIndex();
    const QPoint pos = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    event->accept();
    setFocus(Qt::MouseFocusReason);
    m_pressedRow = -1;
    QPointer<OutlineGridView> alive(this);
    Q_EMIT beforeMouseDown(button, modifiers, pos);
    if (!alive)
        return;
    ensureRowIndex(); // the handler may have changed the rows
    const int row = rowAt(pos);
    if (button == Qt::LeftButton && row >= 0) {
        if (glyphRect(row).contains(pos)) {
            requestOutlineState(row, toggled(m_model->outlineState(row)));
        } else if (row >= m_model->fixedRows()) {
            int col = columnAt(pos.x());
            if (col < 0)
                col = std::clamp(m_model->cursorCol(), 0, std::max(0, m_model->cols() - 1));
            selectWithModifiers(row, col, modifiers);
            m_pressedRow = row;
        }
    }
    Q_EMIT mouseDown(button, modifiers, pos);
}

void OutlineGridView::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() != Qt::LeftButton || m_pressedRow < 0)
        return;
    m_pressedRow = -1;
    Q_EMIT clicked();
}

void OutlineGridView::mouseDoubleClickEvent(QMouseEvent *event) {
    ensureRowIndex();
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos);
    // On the glyph a double click is two clicks, each toggling; elsewhere on a node it
    // toggles once, after the first click has selected the row.
    if (event->button() != Qt::LeftButton || row < 0 || glyphRect(row).contains(pos)) {
        mousePressEvent(event);
        return;
    }
    event->accept();
    if (row >= m_model->fixedRows() && m_model->hasChildren(row))
        requestOutlineState(row, toggled(m_model->outlineState(row)));
}

void OutlineGridView::contextMenuEvent(QContextMenuEvent *event) {
    event->accept();
    if (event->reason() != QContextMenuEvent::Keyboard)
        return; // the right-button press has already raised the mouse notifications
    // The menu key stands for a right click on the cursor row, so keyboard users reach the
    // same pop-up menu.
    ensureRowIndex();
    const int cursor = m_model->cursorRow();
    const QList<int> cols = shownColumns();
    QRect cell = cursor >= 0 && !cols.isEmpty() ? cellRect(cursor, cols.first()) : QRect();
    cell = cell.intersected(viewport()->rect());
    const QPoint pos = cell.isEmpty() ? QPoint(0, 0) : cell.center();
    QPointer<OutlineGridView> alive(this);
    Q_EMIT beforeMouseDown(Qt::RightButton, event->modifiers(), pos);
    if (alive)
        Q_EMIT mouseDown(Qt::RightButton, event->modifiers(), pos);
}

// Keyboard -------------------------------------------------------------------------------------

void OutlineGridView::moveCursorTo(int index, Qt::KeyboardModifiers modifiers) {
    const int count = m_index.count();
    const int first = m_index.firstBodyIndex();
    if (count <= first)
        return;
    const int row = m_index.rowAt(std::clamp(index, first, count - 1));
    const int col = std::clamp(m_model->cursorCol(), 0, std::max(0, m_model->cols() - 1));
    selectWithModifiers(row, col, modifiers & Qt::ShiftModifier);
    showCell(row, -1);
}

bool OutlineGridView::handleOutlineKey(int key, int row) {
    const bool children = m_model->hasChildren(row);
    const bool collapsed = m_model->isCollapsed(row);
    switch (key) {
    case Qt::Key_Left:
        if (children && !collapsed) {
            requestOutlineState(row, OutlineCollapsed);
        } else {
            const int parent = m_model->parentRow(row);
            const int index = parent >= m_model->fixedRows() ? m_index.indexOf(parent) : -1;
            if (index >= 0)
                moveCursorTo(index, {});
        }
        return true;
    case Qt::Key_Right:
        if (children && collapsed) {
            requestOutlineState(row, OutlineExpanded);
        } else if (children) {
            const int next = m_index.indexOf(row) + 1;
            if (next > 0 && next < m_index.count() &&
                m_model->parentRow(m_index.rowAt(next)) == row)
                moveCursorTo(next, {});
        }
        return true;
    case Qt::Key_Plus:
        if (children && collapsed)
            requestOutlineState(row, OutlineExpanded);
        return true;
    case Qt::Key_Minus:
        if (children && !collapsed)
            requestOutlineState(row, OutlineCollapsed);
        return true;
    case Qt::Key_Asterisk:
        expandSubtree(row);
        return true;
    default:
        return false;
    }
}

void OutlineGridView::expandSubtree(int row) {
    for (int r = row; r < m_model->rows() && r < m_model->subtreeEnd(row); ++r) {
        if (m_model->isCollapsed(r) && m_model->hasChildren(r))
            requestOutlineState(r, OutlineExpanded);
    }
}

void OutlineGridView::keyPressEvent(QKeyEvent *event) {
    ensureRowIndex();
    const int cursor = m_model->cursorRow();
    int index = cursor >= 0 ? m_index.indexOf(cursor) : -1;
    if (index < 0 && cursor >= 0)
        index = std::min(m_index.lowerBound(cursor), m_index.count() - 1);
    const int page = std::max(1, rowsInView() - 1);
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    switch (event->key()) {
    case Qt::Key_Up:
        moveCursorTo(index < 0 ? m_index.firstBodyIndex() : index - 1, modifiers);
        break;
    case Qt::Key_Down:
        moveCursorTo(index < 0 ? m_index.firstBodyIndex() : index + 1, modifiers);
        break;
    case Qt::Key_PageUp:
        moveCursorTo(index - page, modifiers);
        break;
    case Qt::Key_PageDown:
        moveCursorTo(std::max(index, 0) + page, modifiers);
        break;
    case Qt::Key_Home:
        moveCursorTo(m_index.firstBodyIndex(), modifiers);
        break;
    case Qt::Key_End:
        moveCursorTo(m_index.count() - 1, modifiers);
        break;
    case Qt::Key_Space:
        if (!(modifiers & Qt::ControlModifier) || cursor < m_model->fixedRows()) {
            // A space within a name being typed is part of it.
            const bool searching = m_searchTime.isValid() && !m_search.isEmpty() &&
                                   m_searchTime.elapsed() < QApplication::keyboardInputInterval();
            if (!searching || modifiers != Qt::NoModifier) {
                QAbstractScrollArea::keyPressEvent(event);
                return;
            }
            keyboardSearch(event->text());
            break;
        }
        selectWithModifiers(cursor, m_model->cursorCol(), Qt::ControlModifier);
        break;
    default:
        if (cursor >= m_model->fixedRows() && cursor < m_model->rows() &&
            handleOutlineKey(event->key(), cursor)) {
            showCell(m_model->cursorRow(), -1);
            break;
        }
        if (const QString text = event->text();
            !text.isEmpty() && text.front().isPrint() &&
            !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
            keyboardSearch(text);
            break;
        }
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

// Drag and drop ------------------------------------------------------------------------------

QStringList OutlineGridView::localPaths(const QMimeData *mime) const {
    QStringList paths;
    for (const QUrl &url : mime->urls()) {
        // The URL's bytes, not toLocalFile(): a name that is not UTF-8 must arrive unchanged.
        if (url.isLocalFile())
            if (const QByteArray path = NativePath::fromFileUri(url.toEncoded()); !path.isEmpty())
                paths.append(NativePath::display(path));
    }
    return paths;
}

void OutlineGridView::handleDrag(QDragMoveEvent *event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    Qt::DropAction effect = event->proposedAction();
    Q_EMIT dragOver(localPaths(event->mimeData()), event->position().toPoint(), effect);
    if (effect == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(effect);
    event->accept();
}

void OutlineGridView::dragEnterEvent(QDragEnterEvent *event) {
    handleDrag(event);
}

void OutlineGridView::dragMoveEvent(QDragMoveEvent *event) {
    handleDrag(event);
}

void OutlineGridView::dropEvent(QDropEvent *event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    const QStringList paths = localPaths(event->mimeData());
    const QPoint pos = event->position().toPoint();
    event->acceptProposedAction();
    // A drop may start a whole scan; it runs after the drag has finished, so the source
    // application is not kept waiting for it.
    QMetaObject::invokeMethod(
        this, [this, paths, pos] { Q_EMIT dragDrop(paths, pos); }, Qt::QueuedConnection);
}

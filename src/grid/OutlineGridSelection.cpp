// Columns, selection, redraw and look of the outline grid.
#include "OutlineGrid.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

void OutlineGrid::noteStructure(int fromRow) {
    ++m_structureStamp;
    m_changedFrom = std::min(m_changedFrom, std::max(fromRow, 0));
    if (m_redraw != GridRedraw::None && !m_structureNotified) {
        m_structureNotified = true;
        Q_EMIT structureChanged();
    }
    noteContents();
}

void OutlineGrid::noteContents() {
    if (m_redraw != GridRedraw::None && !m_notified) {
        m_notified = true;
        Q_EMIT contentsChanged();
    }
}

int OutlineGrid::structureChangedFrom(quint64 stamp) const {
    if (stamp == m_structureStamp)
        return rows();
    if (stamp < m_seenStamp || stamp > m_structureStamp)
        return 0;
    return std::min(m_changedFrom, rows());
}

void OutlineGrid::markStructureSeen() {
    m_seenStamp = m_structureStamp;
    m_changedFrom = std::numeric_limits<int>::max();
}

void OutlineGrid::contentsPainted() {
    m_notified = false;
    m_structureNotified = false;
}

// Columns ----------------------------------------------------------------------------------

namespace {
void checkCol(int col, int cols) {
    if (col < 0 || col >= cols)
        throw std::out_of_range("Invalid column index " + std::to_string(col));
}
} // namespace

int OutlineGrid::colWidth(int col) const {
    checkCol(col, cols());
    return m_cols[col].width;
}

void OutlineGrid::setColWidth(int col, int twips) {
    checkCol(col, cols());
    m_cols[col].width = std::max(twips, 0);
    noteContents();
    Q_EMIT lookChanged();
}

bool OutlineGrid::isColHidden(int col) const {
    checkCol(col, cols());
    return m_cols[col].hidden;
}

void OutlineGrid::setColHidden(int col, bool hidden) {
    checkCol(col, cols());
    m_cols[col].hidden = hidden;
    noteContents();
    Q_EMIT lookChanged();
}

int OutlineGrid::colAlignment(int col) const {
    checkCol(col, cols());
    return m_cols[col].align;
}

void OutlineGrid::setColAlignment(int col, int align) {
    checkCol(col, cols());
    m_cols[col].align = align >= 0 && align <= AlignGeneral ? align : AlignGeneral;
    noteContents();
}

int OutlineGrid::colDataType(int col) const {
    checkCol(col, cols());
    return m_cols[col].dataType;
}

void OutlineGrid::setColDataType(int col, int type) {
    checkCol(col, cols());
    m_cols[col].dataType = type;
}

QString OutlineGrid::colFormat(int col) const {
    checkCol(col, cols());
    return m_cols[col].format;
}

void OutlineGrid::setColFormat(int col, const QString &picture) {
    checkCol(col, cols());
    m_cols[col].format = picture;
    m_cols[col].formatter = NumberFormat(picture, m_locale);
    noteContents();
}

GridSort OutlineGrid::colSort(int col) const {
    checkCol(col, cols());
    return m_cols[col].sort;
}

void OutlineGrid::setColSort(int col, GridSort sort) {
    checkCol(col, cols());
    m_cols[col].sort = sort;
}

// Selection --------------------------------------------------------------------------------

void OutlineGrid::setCursorRow(int row) {
    if (row != -1)
        checkRow(row);
    const int old = m_cursorRow;
    m_cursorRow = row;
    m_selRowEnd = row;
    if (old != row) {
        noteContents();
        Q_EMIT selectionChanged(old, row);
    }
}

void OutlineGrid::setCursorCol(int col) {
    checkCol(col, cols());
    m_cursorCol = col;
    m_selColEnd = col;
    noteContents();
}

void OutlineGrid::select(int row1, int col1, int row2, int col2) {
    checkCell(row1, col1);
    checkCell(row2, col2);
    const int old = m_cursorRow;
    std::vector<int> sel;
    for (int r = std::min(row1, row2); r <= std::max(row1, row2); ++r)
        sel.push_back(r);
    const bool changed = old != row1 || sel != m_selected || m_cursorCol != col1 ||
                         m_selRowEnd != row2 || m_selColEnd != col2;
    m_selected.swap(sel);
    m_cursorRow = row1;
    m_cursorCol = col1;
    m_selRowEnd = row2;
    m_selColEnd = col2;
    if (changed) {
        noteContents();
        Q_EMIT selectionChanged(old, row1);
    }
}

GridRange OutlineGrid::selectionRange() const {
    if (m_cursorRow < 0)
        return {};
    return {std::min(m_cursorRow, m_selRowEnd), std::min(m_cursorCol, m_selColEnd),
            std::max(m_cursorRow, m_selRowEnd), std::max(m_cursorCol, m_selColEnd)};
}

bool OutlineGrid::isRowSelected(int row) const {
    return std::binary_search(m_selected.begin(), m_selected.end(), row);
}

void OutlineGrid::setRowSelected(int row, bool selected) {
    checkRow(row);
    auto it = std::lower_bound(m_selected.begin(), m_selected.end(), row);
    const bool present = it != m_selected.end() && *it == row;
    if (present == selected)
        return;
    if (selected)
        m_selected.insert(it, row);
    else
        m_selected.erase(it);
    noteContents();
    Q_EMIT selectionChanged(m_cursorRow, m_cursorRow);
}

int OutlineGrid::selectedRow(int i) const {
    if (i < 0 || i >= selectedRowCount())
        throw std::out_of_range("Invalid selected row index " + std::to_string(i));
    return m_selected[static_cast<std::size_t>(i)];
}

void OutlineGrid::clearSelection() {
    if (m_selected.empty())
        return;
    m_selected.clear();
    noteContents();
    Q_EMIT selectionChanged(m_cursorRow, m_cursorRow);
}

void OutlineGrid::showCell(int row, int col) {
    checkCell(row, col);
    Q_EMIT showCellRequested(row, col);
}

// Redraw and look --------------------------------------------------------------------------

void OutlineGrid::setRedraw(GridRedraw mode) {
    if (m_redraw == mode)
        return;
    m_redraw = mode;
    m_notified = false;
    m_structureNotified = false;
    Q_EMIT redrawChanged(mode);
}

void OutlineGrid::refresh() {
    Q_EMIT refreshRequested();
}

void OutlineGrid::setEnabled(bool on) {
    if (m_enabled == on)
        return;
    m_enabled = on;
    Q_EMIT enabledChanged(on);
}

void OutlineGrid::setLook(const GridLook &look) {
    m_look = look;
    noteContents();
    Q_EMIT lookChanged();
}

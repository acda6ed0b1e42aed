#include "OutlineGridRowIndex.h"

#include "OutlineGrid.h"

#include <algorithm>

namespace {

bool isShown(const OutlineGrid &grid, int row) {
    return !grid.isRowHidden(row) && grid.rowHeight(row) != 0;
}

} // namespace

void OutlineGridRowIndex::rebuild(const OutlineGrid &grid) {
    m_rows.clear(); // keeps the capacity: a scan rebuilds many times with ever more rows
    const int n = grid.rows();
    const int fixed = std::min(grid.fixedRows(), n);
    // Row 0 of a grid with fixed rows is shown by the header, not as a body row.
    for (int r = 1; r < fixed; ++r) {
        if (isShown(grid, r))
            m_rows.push_back(r);
    }
    m_firstBody = count();
    appendFrom(grid, fixed);
}

void OutlineGridRowIndex::update(const OutlineGrid &grid) {
    if (isCurrent(grid))
        return;
    const int from = m_valid ? grid.structureChangedFrom(m_stamp) : 0;
    const int fixed = std::min(grid.fixedRows(), grid.rows());
    if (from <= fixed) {
        rebuild(grid);
        return;
    }
    m_rows.resize(static_cast<std::size_t>(std::max(lowerBound(from), m_firstBody)));
    // Rows from `from` on are shown unless a collapsed ancestor hides them; the outermost
    // such ancestor's subtree is skipped, as a full rebuild would.
    int start = from;
    if (from < grid.rows())
        for (int p = grid.parentRow(from); p >= fixed; p = grid.parentRow(p))
            if (grid.isCollapsed(p))
                start = std::max(start, grid.subtreeEnd(p));
    appendFrom(grid, start);
}

void OutlineGridRowIndex::appendFrom(const OutlineGrid &grid, int row) {
    const int n = grid.rows();
    for (int r = row; r < n;) {
        if (isShown(grid, r))
            m_rows.push_back(r);
        if (grid.isCollapsed(r))
            r = std::max(r + 1, grid.subtreeEnd(r));
        else
            ++r;
    }
    m_stamp = grid.structureStamp();
    m_valid = true;
}

bool OutlineGridRowIndex::isCurrent(const OutlineGrid &grid) const {
    return m_valid && m_stamp == grid.structureStamp();
}

int OutlineGridRowIndex::indexOf(int row) const {
    const int i = lowerBound(row);
    return i < count() && m_rows[static_cast<std::size_t>(i)] == row ? i : -1;
}

int OutlineGridRowIndex::lowerBound(int row) const {
    return static_cast<int>(std::lower_bound(m_rows.begin(), m_rows.end(), row) - m_rows.begin());
}

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
    for (int r = fixed; r < n;) {
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

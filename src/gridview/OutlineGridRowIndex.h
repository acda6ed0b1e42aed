#pragma once

#include <QtGlobal>

#include <vector>

class OutlineGrid;

/// The rows of an OutlineGrid that a view shows, in display order: rows below the fixed rows
/// without their own hidden flag, with a height other than 0 and without a collapsed ancestor.
/// Fixed rows after the first (the header) come first, as they belong to no tree.
class OutlineGridRowIndex {
public:
    /// Rebuilds the index from the grid; a collapsed node's subtree is skipped in one step.
    void rebuild(const OutlineGrid &grid);
    /// Brings the index up to date when the grid says which rows changed since it was built:
    /// the entries above the lowest changed row are kept, the rest are read again (so rows
    /// appended at the end cost only themselves). Rebuilds when the grid cannot tell.
    void update(const OutlineGrid &grid);
    /// Forces the next isCurrent() to fail, for changes the grid's stamp does not cover.
    void invalidate() { m_valid = false; }
    bool isCurrent(const OutlineGrid &grid) const;

    int count() const { return static_cast<int>(m_rows.size()); }
    int rowAt(int index) const { return m_rows[static_cast<std::size_t>(index)]; }
    /// Position of `row` in the index, or -1 when the row is not shown.
    int indexOf(int row) const;
    /// Position of the first shown row at or after `row` (count() when none).
    int lowerBound(int row) const;
    /// Position of the first row that can take the selection (rows below the fixed rows).
    int firstBodyIndex() const { return m_firstBody; }

private:
    void appendFrom(const OutlineGrid &grid, int row);

    std::vector<int> m_rows;
    quint64 m_stamp = 0;
    int m_firstBody = 0;
    bool m_valid = false;
};

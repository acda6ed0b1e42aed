#pragma once

#include "TreeChartSource.h"

#include <QString>

#include <functional>

class OutlineGrid;

/// The subtree of one row of the scan tree as a treemap or rings chart draws it: items are
/// grid rows, in the grid's (the current sort's) order, valued by their byte counts; a folder's
/// `<Files in …>` row is a leaf.
///
/// It reads the grid when asked, so the chart follows a tree that grows or is re-sorted; once
/// the row it was made for has gone or been replaced, it has nothing to draw.
class GridSubtree final : public TreeChartSource {
public:
    /// Single files shown inside a files row's tile, appended to `out` as Kind::File items.
    /// Their ids must not collide with grid rows. Not set: a files row is one leaf.
    using FileItems = std::function<void(int filesRow, std::vector<Item> &out)>;

    GridSubtree(const OutlineGrid &grid, int row, FileItems fileItems = {});

    int rootId() const override;
    double value(int id) const override;
    void children(int id, std::vector<Item> &out) const override;
    QString name(int id) const override;
    /// The item's path, its size in the grid's unit and format, its share of the centre and its
    /// file count, one to a line.
    QString toolTip(int id) const override;
    std::uint64_t stamp() const override;

    static bool isFilesRow(const QString &name) { return name.startsWith(u'<'); }

private:
    const OutlineGrid &m_grid;
    int m_row;
    QString m_name; ///< the row's name when the chart was filled, to notice a replaced row
    FileItems m_fileItems;

    bool valid(int row) const;
};

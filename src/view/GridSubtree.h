#pragma once

#include "TreeChartSource.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

class OutlineGrid;

/// The subtree of one row of the scan tree as a treemap or rings chart draws it: items are
/// grid rows, in the grid's (the current sort's) order, valued by their byte counts; a folder's
/// `<Files in …>` row is a leaf.
///
/// It reads the grid when asked, so the chart follows a tree that grows or is re-sorted; once
/// the row it was made for has gone or been replaced, it has nothing to draw.
class GridSubtree final : public TreeChartSource {
public:
    /// A single file shown inside a files row's tile: a key of the owner's choosing and its
    /// bytes.
    struct FileEntry {
        std::uint64_t key = 0;
        double bytes = 0;
    };
    /// Where the single files of files rows come from. `list` appends those of a files row;
    /// `path` gives a file's path by its files row and key. Not set: a files row is one leaf.
    /// The rest of a row's files fill the rest of its tile.
    struct FileItems {
        std::function<void(int filesRow, std::vector<FileEntry> &out)> list;
        std::function<QString(int filesRow, std::uint64_t key)> path;
    };
    /// Items from this id on are single files (far above any grid's row count).
    static constexpr int FirstFileId = 1 << 30;

    GridSubtree(const OutlineGrid &grid, int row, FileItems fileItems = {});

    int rootId() const override;
    double value(int id) const override;
    void children(int id, std::vector<Item> &out) const override;
    QString name(int id) const override;
    /// The item's path, its size in the grid's unit and format, its share of the centre and its
    /// file count, one to a line.
    QString toolTip(int id) const override;
    std::uint64_t stamp() const override;

    /// The row an item stands for: its own, or for a single file the files row that holds it;
    /// -1 for an id this chart does not know.
    int rowOf(int id) const;

private:
    const OutlineGrid &m_grid;
    int m_row;
    QString m_name; ///< the row's name when the chart was filled, to notice a replaced row
    FileItems m_fileItems;
    // The single files handed out as items: the id FirstFileId + i names m_files[i]. Kept while
    // the stamp stays, so layouts of the same tree hand out the same ids.
    struct ShownFile {
        int filesRow;
        std::uint64_t key;
        double bytes;
    };
    mutable std::vector<ShownFile> m_files;
    mutable std::unordered_map<int, std::pair<std::size_t, std::size_t>> m_filesOfRow;
    mutable std::vector<FileEntry> m_entries;
    mutable std::uint64_t m_filesStamp = 0;

    bool valid(int row) const;
    const ShownFile *fileOf(int id) const;
    QString fileToolTip(const ShownFile &file) const;
};

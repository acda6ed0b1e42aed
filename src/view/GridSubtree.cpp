#include "GridSubtree.h"

#include "NumberFormat.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "Settings.h"
#include "TreeCol.h"

#include <QLocale>

GridSubtree::GridSubtree(const OutlineGrid &grid, int row, FileItems fileItems)
    : m_grid(grid), m_row(row), m_fileItems(std::move(fileItems)) {
    if (valid(row))
        m_name = m_grid.text(row, TreeCol::Name);
}

bool GridSubtree::valid(int row) const {
    return row >= 1 && row < m_grid.rows();
}

int GridSubtree::rootId() const {
    if (!valid(m_row) || m_grid.text(m_row, TreeCol::Name) != m_name)
        return -1;
    return m_row;
}

const GridSubtree::ShownFile *GridSubtree::fileOf(int id) const {
    if (id < FirstFileId || std::size_t(id - FirstFileId) >= m_files.size())
        return nullptr;
    return &m_files[std::size_t(id - FirstFileId)];
}

int GridSubtree::rowOf(int id) const {
    if (const ShownFile *file = fileOf(id))
        return valid(file->filesRow) ? file->filesRow : -1;
    return valid(id) ? id : -1;
}

double GridSubtree::value(int id) const {
    if (const ShownFile *file = fileOf(id))
        return file->bytes;
    return valid(id) ? m_grid.number(id, TreeCol::Bytes).value_or(0.0) : 0.0;
}

void GridSubtree::children(int id, std::vector<Item> &out) const {
    out.clear();
    if (!valid(id))
        return;
    if (ScanTree::isFilesRow(m_grid, id)) {
        if (!m_fileItems.list)
            return;
        if (const std::uint64_t now = stamp(); now != m_filesStamp) {
            m_files.clear();
            m_filesOfRow.clear();
            m_filesStamp = now;
        }
        auto [at, first] = m_filesOfRow.try_emplace(id);
        if (first) {
            m_entries.clear();
            m_fileItems.list(id, m_entries);
            at->second.first = m_files.size();
            for (const FileEntry &e : m_entries)
                m_files.push_back({id, e.key, e.bytes});
            at->second.second = m_files.size();
        }
        for (std::size_t i = at->second.first; i < at->second.second; ++i)
            out.push_back({FirstFileId + int(i), m_files[i].bytes, Kind::File});
        return;
    }
    for (int child = m_grid.firstChild(id); child >= 0; child = m_grid.nextSibling(child)) {
        const bool files = ScanTree::isFilesRow(m_grid, child);
        out.push_back({child, value(child), files ? Kind::Files : Kind::Folder});
    }
}

QString GridSubtree::name(int id) const {
    if (const ShownFile *file = fileOf(id)) {
        const QString path = m_fileItems.path(file->filesRow, file->key);
        return path.mid(path.lastIndexOf(u'/') + 1);
    }
    return valid(id) ? m_grid.text(id, TreeCol::Name) : QString();
}

// A file's path and size, the size in its files row's unit and in the tree's size format.
QString GridSubtree::fileToolTip(const ShownFile &file) const {
    const QString unit =
        valid(file.filesRow) ? m_grid.text(file.filesRow, TreeCol::Unit) : QStringLiteral("B");
    double factor = 1;
    for (int size = 1; size <= 3; ++size)
        if (unit == Settings::sizeUnitOf(size))
            factor = Settings::sizeFactorOf(size);
    const double centre = value(m_row);
    const NumberFormat percent(QStringLiteral("Percent"), QLocale());
    return m_fileItems.path(file.filesRow, file.key) + QStringLiteral("\nSize: ") +
           NumberFormat(m_grid.colFormat(TreeCol::Size)).formatDouble(file.bytes / factor) + u' ' +
           unit + QStringLiteral("\nShare: ") +
           percent.formatDouble(centre > 0 ? file.bytes / centre : 0.0);
}

QString GridSubtree::toolTip(int id) const {
    if (const ShownFile *file = fileOf(id))
        return fileToolTip(*file);
    if (!valid(id))
        return {};
    const QString name = m_grid.text(id, TreeCol::Name);
    QString where = m_grid.rowData(id);
    if (ScanTree::isFilesRow(m_grid, id)) {
        const int parent = m_grid.parentRow(id);
        where = name + QStringLiteral(" in ") + (parent >= 0 ? m_grid.rowData(parent) : QString());
    } else if (where.isEmpty()) {
        where = name; // the top row and rows without a path
    }
    const double centre = value(m_row);
    const NumberFormat percent(QStringLiteral("Percent"), QLocale());
    const QString share = percent.formatDouble(centre > 0 ? value(id) / centre : 0.0);
    const QString files = m_grid.text(id, TreeCol::Files);
    return where + QStringLiteral("\nSize: ") + m_grid.text(id, TreeCol::Size) + u' ' +
           m_grid.text(id, TreeCol::Unit) + QStringLiteral("\nShare: ") + share +
           QStringLiteral("\nFiles: ") + (files.isEmpty() ? QStringLiteral("0") : files);
}

std::uint64_t GridSubtree::stamp() const {
    // Rows added, moved or re-sorted change the structure; sizes carried up change the
    // centre's byte count.
    const std::uint64_t bytes =
        valid(m_row) ? std::uint64_t(m_grid.fixedValue(m_row, TreeCol::Bytes).value_or(0)) : 0;
    return m_grid.structureStamp() * 0x9E3779B97F4A7C15ull ^ bytes;
}

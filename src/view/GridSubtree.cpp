#include "GridSubtree.h"

#include "NumberFormat.h"
#include "OutlineGrid.h"
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

double GridSubtree::value(int id) const {
    return valid(id) ? m_grid.number(id, TreeCol::Bytes).value_or(0.0) : 0.0;
}

void GridSubtree::children(int id, std::vector<Item> &out) const {
    out.clear();
    if (!valid(id))
        return;
    if (isFilesRow(m_grid.text(id, TreeCol::Name))) {
        if (m_fileItems)
            m_fileItems(id, out);
        return;
    }
    for (int child = m_grid.firstChild(id); child >= 0; child = m_grid.nextSibling(child)) {
        const bool files = isFilesRow(m_grid.text(child, TreeCol::Name));
        out.push_back({child, value(child), files ? Kind::Files : Kind::Folder});
    }
}

QString GridSubtree::name(int id) const {
    return valid(id) ? m_grid.text(id, TreeCol::Name) : QString();
}

QString GridSubtree::toolTip(int id) const {
    if (!valid(id))
        return {};
    const QString name = m_grid.text(id, TreeCol::Name);
    QString where = m_grid.rowData(id);
    if (isFilesRow(name)) {
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

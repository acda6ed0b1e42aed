#include "ScanCompare.h"

#include "OutlineGrid.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "Settings.h"

#include <QHash>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <utility>
#include <vector>

namespace ScanCompare {

namespace {

const QString MarkNew = QStringLiteral("new");
const QString MarkGone = QStringLiteral("gone");
const QString MarkCompared = QStringLiteral("compared");

// Readable on the light and the dark palette alike: a muted red for growth, green for shrinking.
constexpr std::uint32_t GrowthColor = 0x002828C0;
constexpr std::uint32_t ShrinkColor = 0x00309030;
constexpr std::uint32_t GoneColor = 0x00808080;

FixedRaw valueOf(const OutlineGrid &grid, int row, int col) {
    return grid.fixedValue(row, col).value_or(0);
}

bool isFilesRow(const OutlineGrid &grid, int row) {
    return ScanTree::isFilesRow(grid, row);
}

// What matches a child with its counterpart: a folder's name, or one key for the files row
// (whose name carries the folder's, which differs between two roots).
QString keyOf(const OutlineGrid &grid, int row) {
    return isFilesRow(grid, row) ? QStringLiteral("\1") : grid.text(row, TreeCol::Name);
}

QString countText(const QLocale &locale, FixedRaw change) {
    if (change == 0)
        return QString();
    const FixedRaw whole = (change < 0 ? -change : change) / Fixed::Scale;
    QString digits = locale.toString(static_cast<qulonglong>(whole));
    return (change > 0 ? QStringLiteral("+") : QStringLiteral("\u2212")) + digits;
}

void ensureColumns(OutlineGrid &grid) {
    if (grid.cols() >= TreeCol::WithChange)
        return;
    grid.setCols(TreeCol::WithChange);
    grid.setText(0, TreeCol::Change, QStringLiteral("Change"));
    grid.setText(0, TreeCol::FilesChange, QStringLiteral("Files Change"));
    // Wide enough for "+1,234.56 MB (gone)" and the header "Files Change".
    grid.setColWidth(TreeCol::Change, 1900);
    grid.setColWidth(TreeCol::FilesChange, 1250);
    for (int c : {TreeCol::Change, TreeCol::FilesChange}) {
        grid.setColAlignment(c, AlignRightCenter);
        grid.setColDataType(c, TypeString);
    }
    // Hidden, and of width 0 so that a report's table keeps the width of the shown columns.
    for (int c : {TreeCol::ChangeBytes, TreeCol::ChangeMark}) {
        grid.setColWidth(c, 0);
        grid.setColHidden(c, true);
    }
    grid.setColDataType(TreeCol::ChangeBytes, TypeCurrency);
}

class Comparer {
public:
    Comparer(ScanTree &tree, const OutlineGrid &old)
        : m_tree(tree), m_grid(tree.grid()), m_old(old), m_locale(m_grid.locale()) {}

    Result run(int root, int oldRoot) {
        writeChange(root, oldRoot, MarkCompared);
        std::vector<std::pair<int, int>> stack{{root, oldRoot}};
        QHash<QString, int> oldChildren;
        while (!stack.empty()) {
            const auto [node, oldNode] = stack.back();
            stack.pop_back();
            oldChildren.clear();
            for (int c = m_old.firstChild(oldNode); c >= 0; c = m_old.nextSibling(c))
                oldChildren.insert(keyOf(m_old, c), c);
            for (int c = m_grid.firstChild(node); c >= 0; c = m_grid.nextSibling(c)) {
                const auto match = oldChildren.find(keyOf(m_grid, c));
                if (match == oldChildren.end()) {
                    markNew(c);
                    continue;
                }
                const int o = *match;
                oldChildren.erase(match);
                writeChange(c, o, QString());
                ++m_result.compared;
                if (m_grid.hasChildren(c))
                    stack.emplace_back(c, o);
            }
            for (auto it = oldChildren.cbegin(); it != oldChildren.cend(); ++it)
                m_gone.push_back({node, *it});
        }
        addGoneRows();
        return m_result;
    }

private:
    struct Gone {
        int parent; // in the tree
        int oldRow;
    };
    ScanTree &m_tree;
    OutlineGrid &m_grid;
    const OutlineGrid &m_old;
    QLocale m_locale;
    Result m_result;
    std::vector<Gone> m_gone;

    void write(int row, FixedRaw bytes, FixedRaw files, const QString &mark) {
        QString size = changeText(m_tree, bytes);
        if (mark == MarkNew || mark == MarkGone)
            size += (size.isEmpty() ? QStringLiteral("(") : QStringLiteral(" (")) + mark + u')';
        m_grid.setText(row, TreeCol::Change, size);
        m_grid.setText(row, TreeCol::FilesChange, countText(m_locale, files));
        m_grid.setFixedValue(row, TreeCol::ChangeBytes, bytes);
        m_grid.setText(row, TreeCol::ChangeMark, mark);
        const std::uint32_t color = bytes > 0 ? GrowthColor : bytes < 0 ? ShrinkColor : 0;
        m_grid.setCellForeColor(row, TreeCol::Change, row, TreeCol::FilesChange, color);
    }

    void writeChange(int row, int oldRow, const QString &mark) {
        write(row, valueOf(m_grid, row, TreeCol::Bytes) - valueOf(m_old, oldRow, TreeCol::Bytes),
              valueOf(m_grid, row, TreeCol::Files) - valueOf(m_old, oldRow, TreeCol::Files), mark);
    }

    // A row the earlier scan lacks, with all below it: the whole of it is the change.
    void markNew(int row) {
        const int end = m_grid.subtreeEnd(row);
        for (int r = row; r < end; ++r) {
            write(r, valueOf(m_grid, r, TreeCol::Bytes), valueOf(m_grid, r, TreeCol::Files),
                  r == row ? MarkNew : QString());
        }
        ++m_result.added;
    }

    // Each gone folder becomes the last child of its parent: appended at the end first, then
    // moved into place in one reordering of the rows from the first parent on.
    void addGoneRows() {
        if (m_gone.empty())
            return;
        struct Placed {
            int at;    // the row it goes before
            int level; // deeper ones first where several go before the same row
            int row;   // where it was appended
        };
        std::vector<Placed> placed;
        placed.reserve(m_gone.size());
        int first = m_grid.rows();
        for (const Gone &g : m_gone) {
            placed.push_back({m_grid.subtreeEnd(g.parent), m_grid.level(g.parent) + 1, -1});
            first = std::min(first, g.parent + 1);
        }
        const int appendedFrom = m_grid.rows();
        const QString unit = m_tree.SizeUnit();
        for (std::size_t i = 0; i < m_gone.size(); ++i) {
            const int oldRow = m_gone[i].oldRow;
            const bool files = isFilesRow(m_old, oldRow);
            QString name = m_old.text(oldRow, TreeCol::Name);
            if (files) // the files row of the folder it lies in here
                name = QStringLiteral("<Files in ") + m_grid.text(m_gone[i].parent, TreeCol::Name) +
                       u'>';
            const int r = m_grid.addRow();
            ScanTree::setRowKind(m_grid, r, ScanTree::rowKind(m_old, oldRow));
            m_grid.setNode(r, true);
            m_grid.setLevel(r, placed[i].level);
            m_grid.setText(r, TreeCol::Name, name);
            m_grid.setTextRange(r, TreeCol::Size, TreeCol::Bytes,
                                QStringLiteral("0\t") + unit + QStringLiteral("\t0\t0"));
            m_grid.setCellPicture(
                r, TreeCol::Name,
                m_tree.pictureId(files ? TreePicture::File : TreePicture::Folder));
            m_grid.setCellItalic(r, TreeCol::Name, r, TreeCol::Files, true);
            m_grid.setCellForeColor(r, TreeCol::Name, r, TreeCol::Files, GoneColor);
            write(r, -valueOf(m_old, oldRow, TreeCol::Bytes),
                  -valueOf(m_old, oldRow, TreeCol::Files), MarkGone);
            placed[i].row = r;
            ++m_result.gone;
        }
        std::stable_sort(placed.begin(), placed.end(), [](const Placed &a, const Placed &b) {
            return a.at != b.at ? a.at < b.at : a.level > b.level;
        });
        std::vector<int> order;
        order.reserve(static_cast<std::size_t>(m_grid.rows() - first));
        auto next = placed.cbegin();
        for (int r = first; r <= appendedFrom; ++r) {
            for (; next != placed.cend() && next->at == r; ++next)
                order.push_back(next->row);
            if (r < appendedFrom)
                order.push_back(r);
        }
        m_grid.reorderRows(first, order);
        m_grid.sortAllNodes();
    }
};

// The rows of gone folders, bottom up.
std::vector<int> goneRows(const OutlineGrid &grid, int from, int end) {
    std::vector<int> rows;
    for (int r = from; r < end; ++r)
        if (grid.text(r, TreeCol::ChangeMark) == MarkGone)
            rows.push_back(r);
    return rows;
}

// Moves the given rows to the end of the grid and drops them there.
void removeRows(OutlineGrid &grid, const std::vector<int> &rows) {
    if (rows.empty())
        return;
    const int first = rows.front();
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(grid.rows() - first));
    auto gone = rows.cbegin();
    for (int r = first; r < grid.rows(); ++r) {
        if (gone != rows.cend() && *gone == r)
            ++gone;
        else
            order.push_back(r);
    }
    order.insert(order.end(), rows.begin(), rows.end());
    grid.reorderRows(first, order);
    grid.setRows(grid.rows() - static_cast<int>(rows.size()));
}

// Clears an earlier comparison of one root: its gone rows go, its change cells are emptied.
void clearRoot(OutlineGrid &grid, int root) {
    removeRows(grid, goneRows(grid, root, grid.subtreeEnd(root)));
    const int end = grid.subtreeEnd(root);
    for (int r = root; r < end; ++r)
        for (int c = TreeCol::Change; c < TreeCol::WithChange; ++c)
            grid.setText(r, c, QString());
    grid.setCellForeColor(root, TreeCol::Change, end - 1, TreeCol::FilesChange, 0);
    grid.setCellNote(root, TreeCol::ChangeMark, QString());
}

} // namespace

Result compare(ScanTree &tree, int root, const OutlineGrid &old, int oldRoot,
               const QDateTime &oldTaken, const QDateTime &newTaken) {
    OutlineGrid &grid = tree.grid();
    const GridRedraw redraw = grid.redraw();
    grid.setRedraw(GridRedraw::None);
    ensureColumns(grid);
    if (isCompared(grid, root))
        clearRoot(grid, root);
    const QLocale locale;
    // Set before the rows are added: a note moves with its row when the tree is sorted.
    grid.setCellNote(root, TreeCol::ChangeMark,
                     QStringLiteral("%1: changes from the scan of %2 to the scan of %3")
                         .arg(grid.text(root, TreeCol::Name),
                              locale.toString(oldTaken, QLocale::ShortFormat),
                              locale.toString(newTaken, QLocale::ShortFormat)));
    const Result result = Comparer(tree, old).run(root, oldRoot);
    grid.setRedraw(redraw);
    grid.refresh();
    return result;
}

Result compareWithFile(ScanTree &tree, int root, const QString &fileName, const Settings &settings,
                       const QDateTime &newTaken) {
    OutlineGrid old;
    ScanTree oldTree(old, settings);
    oldTree.InitTreeGrid();
    ScanFile::Info info;
    const int oldRoot = ScanFile::Open(oldTree, fileName, &info);
    Result result = compare(tree, root, old, oldRoot, info.written, newTaken);
    result.oldTaken = info.written;
    return result;
}

void stop(ScanTree &tree) {
    OutlineGrid &grid = tree.grid();
    if (!active(grid))
        return;
    const GridRedraw redraw = grid.redraw();
    grid.setRedraw(GridRedraw::None);
    removeRows(grid, goneRows(grid, grid.fixedRows(), grid.rows()));
    grid.setCols(TreeCol::Count);
    grid.setRedraw(redraw);
    grid.refresh();
}

bool active(const OutlineGrid &grid) {
    return grid.cols() >= TreeCol::WithChange;
}

bool isCompared(const OutlineGrid &grid, int row) {
    return active(grid) && grid.text(row, TreeCol::ChangeMark) == MarkCompared;
}

QString heading(const OutlineGrid &grid) {
    if (!active(grid) || grid.rows() <= ScanTree::TopRow)
        return QString();
    QStringList lines;
    for (int r = grid.firstChild(ScanTree::TopRow); r >= 0; r = grid.nextSibling(r))
        if (isCompared(grid, r))
            lines.append(grid.cellNote(r, TreeCol::ChangeMark));
    return lines.join(u'\n');
}

QString reportHeading(const OutlineGrid &grid) {
    QStringList lines{ScanTree::basisHeading(grid), heading(grid)};
    lines.removeAll(QString());
    return lines.join(u'\n');
}

QString changeText(const ScanTree &tree, FixedRaw bytes) {
    if (bytes == 0)
        return QString();
    const FixedRaw magnitude = (bytes < 0 ? -bytes : bytes) / tree.SizeFactor();
    const NumberFormat format(tree.SizeFormat(), tree.grid().locale());
    return (bytes > 0 ? QStringLiteral("+") : QStringLiteral("\u2212")) +
           format.formatFixed(magnitude) + u' ' + tree.SizeUnit();
}

} // namespace ScanCompare

#include "OutlineGrid.h"

#include "Fixed.h"
#include "GridCellCodec.h"

#include <algorithm>
#include <stdexcept>

using namespace GridCellCodec;

namespace {
std::uint64_t lookKey(int row, int col) {
    return (static_cast<std::uint64_t>(row) << 16) | static_cast<std::uint16_t>(col);
}
} // namespace

OutlineGrid::OutlineGrid(QObject *parent) : QObject(parent) {
    const QString dp = m_locale.decimalPoint();
    m_decimal = dp.isEmpty() ? QChar('.') : dp.at(0);
    m_arena.push_back('\0');   // offset 0 stands for "no text"
    m_pictures.emplace_back(); // id 0: no picture
}

OutlineGrid::~OutlineGrid() = default;

void OutlineGrid::checkRow(int row) const {
    if (row < 0 || row >= rows())
        throw std::out_of_range("Invalid row index " + std::to_string(row));
}

void OutlineGrid::checkCell(int row, int col) const {
    checkRow(row);
    if (col < 0 || col >= cols())
        throw std::out_of_range("Invalid column index " + std::to_string(col));
}

namespace {

// Runs `grow`, which adds rows and a cell to each column that holds any. When memory runs out
// part of the way, what was added goes again: every column must hold one cell per row, or the
// next access runs past a shorter one.
template <typename Rows, typename Columns, typename Grow>
void growRows(Rows &rows, Columns &columns, Grow grow) {
    const std::size_t before = rows.size();
    try {
        grow();
    } catch (...) {
        rows.resize(before);
        for (auto &column : columns)
            if (column.size() > before)
                column.resize(before);
        throw;
    }
}

} // namespace

// Shape ------------------------------------------------------------------------------------

void OutlineGrid::setRows(int n) {
    n = std::max(n, 0);
    const int old = rows();
    if (n == old)
        return;
    if (n > old) {
        growRows(m_rows, m_cells, [&] {
            m_rows.resize(static_cast<std::size_t>(n));
            for (auto &column : m_cells)
                if (!column.empty())
                    column.resize(static_cast<std::size_t>(n), 0);
        });
    } else {
        removeRows(n, old - n);
        return;
    }
    noteStructure(old);
}

int OutlineGrid::addRow() {
    growRows(m_rows, m_cells, [&] {
        m_rows.emplace_back();
        for (auto &column : m_cells)
            if (!column.empty())
                column.push_back(0);
    });
    noteStructure(rows() - 1);
    return rows() - 1;
}

void OutlineGrid::setCols(int n) {
    n = std::max(n, 0);
    const int old = cols();
    if (n == old)
        return;
    for (int c = n; c < old; ++c)
        for (std::uint64_t cell : m_cells[static_cast<std::size_t>(c)])
            m_arenaGarbage += arenaSize(m_arena, cell);
    m_cells.resize(static_cast<std::size_t>(n));
    m_cols.resize(static_cast<std::size_t>(n));
    for (auto it = m_looks.begin(); it != m_looks.end();)
        it = static_cast<int>(it->first & 0xffff) >= n ? m_looks.erase(it) : std::next(it);
    noteStructure();
}

void OutlineGrid::setFixedRows(int n) {
    m_fixedRows = std::max(n, 0);
    invalidateIndex(0);
    noteStructure();
}

void OutlineGrid::setFixedCols(int n) {
    m_fixedCols = std::max(n, 0);
    noteContents();
}

void OutlineGrid::removeRows(int first, int count) {
    if (count <= 0)
        return;
    checkRow(first);
    const int last = std::min(first + count, rows()); // one past
    count = last - first;
    for (int r = first; r < last; ++r)
        m_arenaGarbage += rowDataSize(m_arena, m_rows[r].data);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last);
    for (auto &column : m_cells) {
        if (column.empty())
            continue;
        for (int r = first; r < last; ++r)
            m_arenaGarbage += arenaSize(m_arena, column[static_cast<std::size_t>(r)]);
        column.erase(column.begin() + first, column.begin() + last);
    }

    auto shift = [&](int row) { return row < first ? row : (row < last ? -1 : row - count); };
    if (!m_looks.empty()) {
        std::unordered_map<std::uint64_t, CellLook> looks;
        for (auto &[key, look] : m_looks) {
            const int nr = shift(static_cast<int>(key >> 16));
            if (nr >= 0)
                looks.emplace(lookKey(nr, static_cast<int>(key & 0xffff)), std::move(look));
        }
        m_looks.swap(looks);
    }
    std::vector<int> sel;
    for (int r : m_selected)
        if (shift(r) >= 0)
            sel.push_back(shift(r));
    m_selected.swap(sel);
    m_cursorRow = m_cursorRow < 0 ? -1 : shift(m_cursorRow);
    m_selRowEnd = m_selRowEnd < 0 ? -1 : shift(m_selRowEnd);
    std::erase_if(m_borders, [&](GridBorder &b) {
        const int t = shift(b.range.top), bo = shift(b.range.bottom);
        if (t < 0 || bo < 0)
            return true;
        b.range.top = t;
        b.range.bottom = bo;
        return false;
    });
    if (m_fixedRows > rows())
        m_fixedRows = rows();
    invalidateIndex(first);
    compactArena();
    noteStructure(first);
}

// Cells ------------------------------------------------------------------------------------

QString OutlineGrid::text(int row, int col) const {
    checkCell(row, col);
    return decode(m_arena, cellAt(row, col), m_decimal);
}

std::uint64_t OutlineGrid::writeCell(int row, int col, QStringView text) {
    auto &column = m_cells[static_cast<std::size_t>(col)];
    if (column.empty()) {
        if (text.isEmpty())
            return 0;
        column.resize(m_rows.size(), 0);
    }
    std::uint64_t &cell = column[static_cast<std::size_t>(row)];
    const std::uint64_t old = cell;
    // The old text stays readable in the arena until the next compaction, which only a row
    // removal starts, so previousText() can still decode it.
    m_arenaGarbage += arenaSize(m_arena, old);
    cell = encode(m_arena, text, m_decimal);
    return old;
}

void OutlineGrid::raiseCellChanged(int row, int col, std::uint64_t oldCell) {
    const std::uint64_t outer = m_previousCell; // handlers may write cells themselves
    m_previousCell = oldCell;
    if (m_cellHandler)
        m_cellHandler(row, col);
    Q_EMIT cellChanged(row, col);
    m_previousCell = outer;
}

QString OutlineGrid::previousText() const {
    return decode(m_arena, m_previousCell, m_decimal);
}

std::optional<FixedRaw> OutlineGrid::previousFixedValue() const {
    return wideFixedOf(m_arena, m_previousCell, m_decimal);
}

void OutlineGrid::setText(int row, int col, const QString &text) {
    checkCell(row, col);
    const std::uint64_t old = writeCell(row, col, text);
    noteContents();
    raiseCellChanged(row, col, old);
}

void OutlineGrid::setFixedValue(int row, int col, FixedRaw tenThousandths) {
    if (tenThousandths > MaxInlineFixed || tenThousandths < -MaxInlineFixed) {
        setText(row, col, canonicalText(tenThousandths, m_decimal));
        return;
    }
    checkCell(row, col);
    auto &column = m_cells[static_cast<std::size_t>(col)];
    if (column.empty())
        column.resize(m_rows.size(), 0);
    std::uint64_t &cell = column[static_cast<std::size_t>(row)];
    const std::uint64_t old = cell;
    m_arenaGarbage += arenaSize(m_arena, old);
    cell = encodeFixed(static_cast<qint64>(tenThousandths));
    noteContents();
    raiseCellChanged(row, col, old);
}

void OutlineGrid::setTextRange(int row, int col1, int col2, const QString &tabSeparated) {
    checkCell(row, col1);
    checkCell(row, col2);
    if (col2 < col1)
        std::swap(col1, col2);
    // Write every cell first, then raise the notifications in column order, so a handler that
    // reads the row sees the whole write; each cell is still reported on its own.
    const QStringView all(tabSeparated);
    std::uint64_t olds[64];
    std::vector<std::uint64_t> manyOlds;
    std::uint64_t *old = olds;
    if (col2 - col1 + 1 > 64) {
        manyOlds.resize(static_cast<std::size_t>(col2 - col1 + 1));
        old = manyOlds.data();
    }
    int col = col1;
    for (qsizetype from = 0; col <= col2 && from <= all.size(); ++col) {
        qsizetype tab = from; // pieces are short: a plain scan beats a general search
        while (tab < all.size() && all[tab] != u'\t')
            ++tab;
        old[col - col1] = writeCell(row, col, all.sliced(from, tab - from));
        from = tab + 1;
    }
    for (; col <= col2; ++col)
        old[col - col1] = writeCell(row, col, QStringView());
    noteContents();
    for (int c = col1; c <= col2; ++c)
        raiseCellChanged(row, c, old[c - col1]);
}

std::optional<FixedRaw> OutlineGrid::fixedValue(int row, int col) const {
    checkCell(row, col);
    return wideFixedOf(m_arena, cellAt(row, col), m_decimal);
}

std::optional<double> OutlineGrid::number(int row, int col) const {
    checkCell(row, col);
    const std::uint64_t cell = cellAt(row, col);
    if (auto fixed = fixedOf(cell))
        return static_cast<double>(*fixed) / Fixed::Scale;
    if (auto d = decimalOf(cell))
        return d;
    const QString t = text(row, col).trimmed();
    // Most texts are names; only one that starts like a number is worth a locale's parse.
    if (t.isEmpty() ||
        !(t[0].isDigit() || t[0] == u'-' || t[0] == u'+' || t[0] == u'.' || t[0] == m_decimal))
        return std::nullopt;
    bool ok = false;
    double v = m_locale.toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QString OutlineGrid::displayText(int row, int col) const {
    checkCell(row, col);
    const ColInfo &ci = m_cols[col];
    const std::uint64_t cell = cellAt(row, col);
    if (ci.formatter.isEmpty() || row < m_fixedRows)
        return decode(m_arena, cell, m_decimal);
    if (auto fixed = fixedOf(cell))
        return ci.formatter.formatFixed(*fixed);
    return ci.formatter.formatText(decode(m_arena, cell, m_decimal));
}

void OutlineGrid::setDecimalSeparator(QChar c) {
    // Numbers already stored keep their value; their text now shows the new separator.
    m_decimal = c;
    noteContents();
}

void OutlineGrid::compactArena() {
    if (m_arenaGarbage < (1u << 20) || m_arenaGarbage * 2 < m_arena.size())
        return;
    std::vector<char> fresh;
    fresh.reserve(m_arena.size() - m_arenaGarbage + 1);
    fresh.push_back('\0');
    for (auto &column : m_cells)
        for (auto &cell : column)
            cell = moveToArena(m_arena, fresh, cell);
    std::unordered_map<std::uint64_t, std::uint64_t> moved; // row data shared by extensions
    for (auto &rec : m_rows)
        rec.data = moveRowData(m_arena, fresh, rec.data, moved);
    m_arena.swap(fresh);
    m_arenaGarbage = 0;
}

// Row data ---------------------------------------------------------------------------------

QByteArray OutlineGrid::rowDataBytes(int row) const {
    checkRow(row);
    return rowDataOf(m_arena, m_rows[row].data);
}

void OutlineGrid::setRowDataBytes(int row, const QByteArray &data) {
    checkRow(row);
    m_arenaGarbage += rowDataSize(m_arena, m_rows[row].data);
    m_rows[row].data = data.isEmpty() ? 0 : storeBytes(m_arena, data.constData(), data.size());
}

void OutlineGrid::setRowDataExtending(int row, int baseRow, const char *suffix, qsizetype size) {
    checkRow(row);
    checkRow(baseRow);
    m_arenaGarbage += rowDataSize(m_arena, m_rows[row].data);
    m_rows[row].data = storeRowDataExtending(m_arena, m_rows[baseRow].data, suffix, size);
}

// Pictures and looks -----------------------------------------------------------------------

int OutlineGrid::addPicture(const QIcon &icon) {
    m_pictures.push_back(icon);
    return static_cast<int>(m_pictures.size()) - 1;
}

QIcon OutlineGrid::picture(int id) const {
    return id > 0 && id < static_cast<int>(m_pictures.size()) ? m_pictures[id] : QIcon();
}

const OutlineGrid::CellLook *OutlineGrid::lookOf(int row, int col) const {
    checkCell(row, col);
    if (!(m_rows[row].flags & FlagLooks))
        return nullptr;
    auto it = m_looks.find(lookKey(row, col));
    return it == m_looks.end() ? nullptr : &it->second;
}

template <typename F> void OutlineGrid::editLooks(int r1, int c1, int r2, int c2, F &&f) {
    if (r2 < r1)
        std::swap(r1, r2);
    if (c2 < c1)
        std::swap(c1, c2);
    checkCell(r1, c1);
    checkCell(r2, c2);
    for (int r = r1; r <= r2; ++r) {
        for (int c = c1; c <= c2; ++c) {
            auto [it, added] = m_looks.try_emplace(lookKey(r, c));
            f(it->second);
            if (it->second == CellLook())
                m_looks.erase(it);
            else
                m_rows[r].flags |= FlagLooks;
        }
    }
    noteContents();
}

int OutlineGrid::cellPicture(int row, int col) const {
    checkCell(row, col);
    if (col == 0)
        return m_rows[row].picture;
    const CellLook *l = lookOf(row, col);
    return l ? l->picture : 0;
}

void OutlineGrid::setCellPicture(int row, int col, int pictureId) {
    checkCell(row, col);
    if (pictureId < 0 || pictureId >= static_cast<int>(m_pictures.size()))
        pictureId = 0;
    if (col == 0 && pictureId < 256) {
        m_rows[row].picture = static_cast<std::uint8_t>(pictureId) & 0xffu;
        noteContents();
        return;
    }
    editLooks(row, col, row, col,
              [&](CellLook &l) { l.picture = static_cast<std::uint16_t>(pictureId); });
}

std::uint32_t OutlineGrid::cellBackColor(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->back : 0;
}

void OutlineGrid::setCellBackColor(int r1, int c1, int r2, int c2, std::uint32_t v) {
    editLooks(r1, c1, r2, c2, [&](CellLook &l) { l.back = v; });
}

std::uint32_t OutlineGrid::cellForeColor(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->fore : 0;
}

void OutlineGrid::setCellForeColor(int r1, int c1, int r2, int c2, std::uint32_t v) {
    editLooks(r1, c1, r2, c2, [&](CellLook &l) { l.fore = v; });
}

QString OutlineGrid::cellNote(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->note : QString();
}

void OutlineGrid::setCellNote(int row, int col, const QString &note) {
    editLooks(row, col, row, col, [&](CellLook &l) { l.note = note; });
}

QString OutlineGrid::cellFontName(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->font : QString();
}

bool OutlineGrid::cellBold(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->bold : false;
}

void OutlineGrid::setCellBold(int r1, int c1, int r2, int c2, bool v) {
    editLooks(r1, c1, r2, c2, [&](CellLook &l) { l.bold = v; });
}

bool OutlineGrid::cellItalic(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->italic : false;
}

void OutlineGrid::setCellItalic(int r1, int c1, int r2, int c2, bool v) {
    editLooks(r1, c1, r2, c2, [&](CellLook &l) { l.italic = v; });
}

bool OutlineGrid::cellUnderline(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->underline : false;
}

void OutlineGrid::setCellUnderline(int r1, int c1, int r2, int c2, bool v) {
    editLooks(r1, c1, r2, c2, [&](CellLook &l) { l.underline = v; });
}

int OutlineGrid::cellAlignment(int row, int col) const {
    const CellLook *l = lookOf(row, col);
    return l ? l->align : -1;
}

void OutlineGrid::setCellAlignment(int r1, int c1, int r2, int c2, int align) {
    const auto a = static_cast<std::int8_t>(align >= 0 && align <= AlignGeneral ? align : -1);
    editLooks(r1, c1, r2, c2, [&](CellLook &l) { l.align = a; });
}

int OutlineGrid::effectiveAlignment(int row, int col) const {
    const int own = cellAlignment(row, col);
    return own >= 0 ? own : m_cols[col].align;
}

GridRange OutlineGrid::mergedRange(int row, int col) const {
    if (row < 0 || row >= rows() || col < 0 || col >= cols())
        return {};
    return {row, col, row, col};
}

void OutlineGrid::setCellBorder(const GridBorder &border) {
    GridRange r = border.range;
    if (r.bottom < r.top)
        std::swap(r.top, r.bottom);
    if (r.right < r.left)
        std::swap(r.left, r.right);
    checkCell(r.top, r.left);
    checkCell(r.bottom, r.right);
    std::erase_if(m_borders, [&](const GridBorder &b) { return b.range == r; });
    const bool none = border.left == 0 && border.top == 0 && border.right == 0 &&
                      border.bottom == 0 && border.vertical == 0 && border.horizontal == 0;
    if (!none) {
        m_borders.push_back(border);
        m_borders.back().range = r;
    }
    noteContents();
}

void OutlineGrid::setSelectionForeColor(std::uint32_t color) {
    m_selForeColor = color;
    noteContents();
}

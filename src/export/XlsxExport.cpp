#include "XlsxExport.h"

#include "AppError.h"
#include "Interrupt.h"
#include "LargestFilesList.h"
#include "OutlineGrid.h"
#include "ReportFile.h"
#include "TreeCol.h"

#include <QIODevice>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <optional>
#include <system_error>
#include <tuple>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Spreadsheet columns: the scan tree's shown columns and its byte count.
constexpr int SheetCols = TreeCol::Bytes + 1;
constexpr int ByteCountWidthChars = 15; // thirteen digits and some room

// Formats are made once per distinct look, as a workbook holds a small table of them.
class FormatCache {
public:
    enum Number { General, Size, WholeSize, Whole };

    FormatCache(lxw_workbook *book, const XlsxExport::ColorResolver &resolve,
                const QString &sizeFormat)
        : m_book(book), m_resolve(resolve), m_sizeFormat(sizeFormat.toUtf8()) {
        // The grid drops a decimal point that only optional ("#") places follow when they all
        // come out zero ("2", not "2."); a spreadsheet keeps it. Whole sizes take the picture
        // without those places instead.
        static const QRegularExpression optionalDecimals(QStringLiteral("\\.(#+)(?![#0])"));
        const QRegularExpressionMatch match = optionalDecimals.match(sizeFormat);
        if (match.hasMatch()) {
            m_sizeDecimals = static_cast<int>(match.capturedLength(1));
            m_wholeSizeFormat = QString(sizeFormat).remove(optionalDecimals).toUtf8();
        }
    }

    /// The size format for `value`: the whole-number variant when the grid would show it
    /// without decimals.
    Number sizeFormatFor(double value) const {
        if (m_wholeSizeFormat.isEmpty())
            return Size;
        const double scale = std::pow(10.0, m_sizeDecimals);
        return std::round(value * scale) == std::round(value) * scale ? WholeSize : Size;
    }

    /// Null for a plain cell: a format equal to the library's default would cost a hash of
    /// the whole format at every cell it is used for.
    lxw_format *get(Number number, bool bold, std::uint32_t color, int indent) {
        if (number == General && !bold && color == 0 && indent <= 0)
            return nullptr;
        const auto key = std::make_tuple(number, bold, color, indent);
        auto it = m_formats.find(key);
        if (it != m_formats.end())
            return it->second;
        const std::optional<QColor> c = color != 0 ? colorOf(color) : std::nullopt;
        if (number == General && !bold && !c && indent <= 0)
            return m_formats.emplace(key, nullptr).first->second;
        lxw_format *f = workbook_add_format(m_book);
        if (number == Size && !m_sizeFormat.isEmpty())
            format_set_num_format(f, m_sizeFormat.constData());
        else if (number == WholeSize)
            format_set_num_format(f, m_wholeSizeFormat.constData());
        else if (number == Whole)
            format_set_num_format(f, "0");
        if (bold)
            format_set_bold(f);
        if (c)
            format_set_font_color(f, static_cast<lxw_color_t>(c->rgb() & 0xffffff));
        if (indent > 0)
            format_set_indent(f, static_cast<uint8_t>(indent));
        m_formats.emplace(key, f);
        return f;
    }

private:
    lxw_workbook *m_book;
    const XlsxExport::ColorResolver &m_resolve;
    QByteArray m_sizeFormat;
    QByteArray m_wholeSizeFormat; ///< empty when the picture has no optional decimals
    int m_sizeDecimals = 0;
    std::map<std::tuple<Number, bool, std::uint32_t, int>, lxw_format *> m_formats;

    std::optional<QColor> colorOf(std::uint32_t stored) const {
        if (m_resolve)
            return m_resolve(stored);
        if (stored & 0x80000000u)
            return std::nullopt;
        return QColor(stored & 0xff, (stored >> 8) & 0xff, (stored >> 16) & 0xff);
    }
};

// The grid's column width in twips as a sheet column width in characters of the default font
// (7 pixels a character plus 5 pixels of padding, at 15 twips a pixel).
double widthInChars(int twips) {
    return std::max(0.0, (twips / 15.0 - 5.0) / 7.0);
}

// A row of the sheet is kept for the whole workbook once written, so the look of each row is
// worked out as it is written.
class SheetWriter {
public:
    SheetWriter(const OutlineGrid &grid, lxw_worksheet *sheet, FormatCache &formats)
        : m_grid(grid), m_sheet(sheet), m_formats(formats) {}

    bool writeRow(int r, bool hidden) {
        const bool tree = r >= m_grid.fixedRows();
        const int level =
            tree ? std::clamp(m_grid.level(r) + 1, 0, XlsxExport::MaxOutlineLevel) : 0;
        lxw_row_col_options options{};
        options.hidden = hidden;
        options.level = static_cast<uint8_t>(level);
        options.collapsed = tree && m_grid.isCollapsed(r) && m_grid.hasChildren(r);
        if (worksheet_set_row_opt(m_sheet, static_cast<lxw_row_t>(r), LXW_DEF_ROW_HEIGHT, nullptr,
                                  &options) != LXW_NO_ERROR)
            return false;
        const int indent = tree && m_grid.isNode(r) ? std::clamp(m_grid.level(r), 0, 15) : 0;
        for (int c = 0; c < SheetCols && c < m_grid.cols(); ++c)
            if (!writeCell(r, c, tree, c == TreeCol::Name ? indent : 0))
                return false;
        return true;
    }

private:
    const OutlineGrid &m_grid;
    lxw_worksheet *m_sheet;
    FormatCache &m_formats;
    QByteArray m_utf8;

    bool beyondDouble(int r, int c) const {
        if (c == TreeCol::Size)
            return false; // a quotient of 15 digits, a double already
        constexpr FixedRaw exact = FixedRaw(1) << 53;
        const std::optional<FixedRaw> value = m_grid.fixedValue(r, c);
        return value && (*value / Fixed::Scale > exact || *value / Fixed::Scale < -exact);
    }

    bool writeCell(int r, int c, bool tree, int indent) {
        const bool bold = !tree || m_grid.cellBold(r, c);
        const std::uint32_t color = m_grid.cellForeColor(r, c);
        const auto row = static_cast<lxw_row_t>(r);
        const auto col = static_cast<lxw_col_t>(c);
        // Sizes and counts are numbers, so the sheet can sum and sort them; the size keeps the
        // grid's display format, counts show every digit. A sheet's numbers are doubles: a
        // count beyond 2^53 (9 PB of bytes) would lose its last digits, so it goes in as text.
        if (tree && c != TreeCol::Name && c != TreeCol::Unit && !beyondDouble(r, c)) {
            if (const std::optional<double> value = m_grid.number(r, c)) {
                const auto number =
                    c == TreeCol::Size ? m_formats.sizeFormatFor(*value) : FormatCache::Whole;
                return worksheet_write_number(m_sheet, row, col, *value,
                                              m_formats.get(number, bold, color, 0)) ==
                       LXW_NO_ERROR;
            }
        }
        const QString text = c < TreeCol::Bytes ? m_grid.displayText(r, c) : m_grid.text(r, c);
        if (text.isEmpty())
            return true;
        m_utf8 = text.toUtf8();
        return worksheet_write_string(m_sheet, row, col, m_utf8.constData(),
                                      m_formats.get(FormatCache::General, bold, color, indent)) ==
               LXW_NO_ERROR;
    }
};

struct Descriptor {
    int fd;
    explicit Descriptor(int f) : fd(f) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

void copyTo(int from, QIODevice &out, const QString &fileName) {
    const auto fail = [&](int code) {
        throw std::system_error(code != 0 ? code : EIO, std::generic_category(),
                                "Could not write " + fileName.toStdString());
    };
    if (::lseek(from, 0, SEEK_SET) != 0)
        fail(errno);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(from, chunk.data(), static_cast<std::size_t>(chunk.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(errno);
        if (n == 0)
            return;
        errno = 0;
        if (out.write(chunk.constData(), n) != n)
            fail(errno);
    }
}

bool writeText(lxw_worksheet *sheet, int row, int col, const QString &text,
               lxw_format *format = nullptr) {
    return worksheet_write_string(sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                                  text.toUtf8().constData(), format) == LXW_NO_ERROR;
}

// The largest files of the selection on a sheet of their own: title, note, then a table with
// the byte count as a number beside the texts the list shows.
bool writeLargestFiles(lxw_workbook *book, const LargestFilesList &list) {
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Largest files");
    lxw_format *bold = workbook_add_format(book);
    if (!sheet || !bold)
        return false;
    format_set_bold(bold);
    constexpr int Cols = LargestFilesList::ColumnCount;
    static constexpr double widths[Cols + 1] = {40, 14, 18, 60, 16};
    bool ok = true;
    for (int c = 0; c <= Cols; ++c)
        ok = ok && worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                        widths[c], nullptr) == LXW_NO_ERROR;
    ok = ok && writeText(sheet, 0, 0, list.title, bold) && writeText(sheet, 1, 0, list.note);
    if (list.rows.empty())
        return ok;
    constexpr int HeaderRow = 3;
    for (int c = 0; c < Cols; ++c)
        ok = ok && writeText(sheet, HeaderRow, c,
                             LargestFilesList::headers()[static_cast<std::size_t>(c)], bold);
    ok = ok && writeText(sheet, HeaderRow, Cols, QStringLiteral("Bytes"), bold);
    int r = HeaderRow + 1;
    for (const LargestFilesList::Row &row : list.rows) {
        for (int c = 0; c < Cols; ++c)
            ok = ok && writeText(sheet, r, c, row.texts[static_cast<std::size_t>(c)]);
        ok = ok && worksheet_write_number(sheet, static_cast<lxw_row_t>(r), Cols,
                                          static_cast<double>(row.bytes), nullptr) == LXW_NO_ERROR;
        ++r;
    }
    return ok;
}

} // namespace

namespace XlsxExport {

bool GridToExcel(const OutlineGrid &grid, const QString &fileName,
                 const ColorResolver &resolveColor) {
    return ReportFile::writeReplacing(fileName, [&](ReplacingFile &out) {
        return GridToExcel(grid, out.file(), fileName, resolveColor);
    });
}

bool GridToExcel(const OutlineGrid &grid, QIODevice &out, const QString &fileName,
                 const ColorResolver &resolveColor, const LargestFilesList *largestFiles) {
    if (grid.rows() > MaxRows)
        throw AppError(AppError::ReportNotGenerated,
                       QStringLiteral("The tree has %1 rows; an Excel worksheet holds at most %2.")
                           .arg(grid.rows())
                           .arg(MaxRows));
    // The library writes only by file name. It is given a file in memory, reached through this
    // process's own descriptor, so no name in a folder is involved; a full disk then shows up
    // below as the report's own write error, with its reason.
    Descriptor memory(::memfd_create("cairnmeter-workbook", MFD_CLOEXEC));
    if (memory.fd < 0)
        throw std::system_error(errno, std::generic_category(),
                                "Could not make the workbook for " + fileName.toStdString());
    const QByteArray name = "/proc/self/fd/" + QByteArray::number(memory.fd);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(name.constData(), &options);
    if (!book)
        throw std::system_error(ENOMEM, std::generic_category(),
                                "Could not make the workbook for " + fileName.toStdString());
    bool ok = false;
    if (lxw_worksheet *sheet = workbook_add_worksheet(book, "Cairnmeter")) {
        ok = true;
        worksheet_freeze_panes(sheet, 1, 0);
        // The tree's summary rows stand above their groups, as in the grid.
        worksheet_outline_settings(sheet, LXW_TRUE, LXW_FALSE, LXW_FALSE, LXW_FALSE);
        for (int c = 0; c < SheetCols && c < grid.cols(); ++c) {
            const double width =
                c == TreeCol::Bytes ? ByteCountWidthChars : widthInChars(grid.colWidth(c));
            ok = ok &&
                 worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                      width, nullptr) == LXW_NO_ERROR;
        }
        FormatCache formats(book, resolveColor, grid.colFormat(TreeCol::Size));
        SheetWriter writer(grid, sheet, formats);
        // One pass: a collapsed node hides its subtree, which is written hidden as a block.
        int hiddenUntil = -1;
        for (int r = 0; ok && r < grid.rows(); ++r) {
            if ((r & 1023) == 0 && Interrupt::requested())
                break; // the workbook must still be closed (and freed); the file step then stops
            const bool hidden = r < hiddenUntil || grid.rowHeight(r) == 0 || grid.isRowHidden(r);
            ok = writer.writeRow(r, hidden);
            if (r >= grid.fixedRows() && r >= hiddenUntil && grid.isCollapsed(r))
                hiddenUntil = grid.subtreeEnd(r);
        }
    }
    if (ok && largestFiles)
        ok = writeLargestFiles(book, *largestFiles);
    // Closing writes the file; it also frees the workbook, so it runs on every path.
    const lxw_error closed = workbook_close(book);
    if (!ok || closed != LXW_NO_ERROR)
        throw std::system_error(EIO, std::generic_category(),
                                "Could not make the workbook for " + fileName.toStdString() + " (" +
                                    lxw_strerror(closed) + ')');
    copyTo(memory.fd, out, fileName);
    return true;
}

} // namespace XlsxExport

#include "GridToHTML.h"

#include "GridExport.h"
#include "Interrupt.h"
#include "LargestFilesList.h"
#include "OutlineGrid.h"
#include "ReportDate.h"
#include "ReportFile.h"
#include "ReportStream.h"

#include <QBuffer>
#include <QDateTime>
#include <QUrl>

#include <cerrno>

#include <cmath>
#include <system_error>
#include <vector>

namespace {

constexpr std::uint32_t SystemBit = 0x80000000u;
// Stored values of the system colours the grid's "none" colours stand for.
constexpr std::uint32_t SysWindow = SystemBit | 5, SysButtonFace = SystemBit | 15,
                        SysButtonShadow = SystemBit | 16, SysButtonText = SystemBit | 18;

std::uint32_t orDefault(std::uint32_t color, std::uint32_t fallback) {
    return color != 0 ? color : fallback;
}

QString alignmentAttribute(int align, int dataType, const QString &text) {
    switch (align) {
    case AlignLeftTop:
        return QStringLiteral(" VALIGN=TOP");
    case AlignLeftCenter:
        return {};
    case AlignLeftBottom:
        return QStringLiteral(" VALIGN=BOTTOM");
    case AlignCenterTop:
        return QStringLiteral(" ALIGN=CENTER VALIGN=TOP");
    case AlignCenterCenter:
        return QStringLiteral(" ALIGN=CENTER");
    case AlignCenterBottom:
        return QStringLiteral(" ALIGN=CENTER VALIGN=BOTTOM");
    case AlignRightTop:
        return QStringLiteral(" ALIGN=RIGHT VALIGN=TOP");
    case AlignRightCenter:
        return QStringLiteral(" ALIGN=RIGHT");
    case AlignRightBottom:
        return QStringLiteral(" ALIGN=RIGHT VALIGN=BOTTOM");
    default:
        if (dataType == TypeDate)
            return {};
        if (dataType == TypeBoolean)
            return QStringLiteral(" ALIGN=CENTER");
        return GridExport::IsNumericText(text) ? QStringLiteral(" ALIGN=RIGHT") : QString();
    }
}

// The "#%" form of a share of the table: the rounded percentage, "%" alone for zero.
QString percent(double share) {
    const long long p = std::llround(share * 100);
    return (p == 0 ? QString() : QString::number(p)) + u'%';
}

// The largest files of the selection under their own heading, as a plain table: the sizes
// right-aligned like the tree's.
template <typename LineWriter>
void writeLargestFiles(LineWriter line, const LargestFilesList &list, const QString &fontName) {
    using GridExport::HTMLEncode;
    line(QString());
    line(QStringLiteral("<p><font face=\"Verdana\"><b>") + HTMLEncode(list.title) +
         QStringLiteral("</b><br>") + HTMLEncode(list.note) + QStringLiteral("</font></p>"));
    if (list.rows.empty())
        return;
    line(QStringLiteral("<FONT FACE=\"") + fontName + QStringLiteral("\" SIZE=1>"));
    line(QStringLiteral("<TABLE BORDER CELLSPACING=0 CELLPADDING=2>"));
    const auto cells = [](const auto &texts, const char *tag) {
        QString row = QStringLiteral("<TR>");
        for (int c = 0; c < LargestFilesList::ColumnCount; ++c)
            row +=
                QStringLiteral("<%1%2>%3</%1>")
                    .arg(QLatin1StringView(tag),
                         c == LargestFilesList::Size ? QStringLiteral(" ALIGN=RIGHT") : QString(),
                         HTMLEncode(texts[static_cast<std::size_t>(c)]));
        return row + QStringLiteral("</TR>");
    };
    line(cells(LargestFilesList::headers(), "TH"));
    for (const LargestFilesList::Row &row : list.rows)
        line(cells(row.texts, "TD"));
    line(QStringLiteral("</TABLE>"));
    line(QStringLiteral("</FONT>"));
}

} // namespace

namespace GridExport {

QString ColorToHTML(std::uint32_t color, const std::function<QColor(std::uint32_t)> &resolve) {
    QColor c;
    if (resolve)
        c = resolve(color);
    else if (!(color & SystemBit))
        c = QColor(color & 0xff, (color >> 8) & 0xff, (color >> 16) & 0xff);
    else
        c = QColor(0, 0, 0);
    return QStringLiteral("\"#%1%2%3\"")
        .arg(c.red(), 2, 16, QChar(u'0'))
        .arg(c.green(), 2, 16, QChar(u'0'))
        .arg(c.blue(), 2, 16, QChar(u'0'))
        .toUpper();
}

void ReplaceAll(QString &text, const QString &search, const QString &replacement) {
    if (!search.isEmpty())
        text.replace(search, replacement);
}

QString HTMLEncode(const QString &text) {
    if (text.isEmpty())
        return QStringLiteral("&nbsp;");
    if (!text.contains(u'&') && !text.contains(u'<') && !text.contains(u'>'))
        return text;
    QString out = text;
    ReplaceAll(out, QStringLiteral("&"), QStringLiteral("&amp;"));
    ReplaceAll(out, QStringLiteral("<"), QStringLiteral("&lt;"));
    ReplaceAll(out, QStringLiteral(">"), QStringLiteral("&gt;"));
    return out.isEmpty() ? QStringLiteral("&nbsp;") : out;
}

bool IsNumericText(const QString &text) {
    const QString t = text.trimmed();
    bool point = false;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c == u'-' && i == 0)
            continue;
        if (c == u'.') {
            if (point)
                return false;
            point = true;
            continue;
        }
        if (!(c.isDigit() && c.unicode() < 0x80) && c != u',')
            return false;
    }
    return true;
}

bool GridToHTML(const OutlineGrid &grid, const QString &fileName, const HtmlOptions &options) {
    return ReportFile::writeReplacing(
        fileName, [&](ReplacingFile &out) { return GridToHTML(grid, out, options); });
}

bool GridToHTML(const OutlineGrid &grid, ReplacingFile &file, const HtmlOptions &options) {
    const QString &fileName = file.target();
    const auto color = [&](std::uint32_t value) {
        return ColorToHTML(value, options.resolveColor);
    };
    const QDateTime now = QDateTime::currentDateTime();
    QString pictureName;
    if (options.includeChart) {
        // Encoded in memory first, so a failure to write it to disk comes with its reason.
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!options.saveChartPicture || !options.saveChartPicture(png))
            throw std::system_error(EIO, std::generic_category(),
                                    "Could not draw the chart picture for " +
                                        fileName.toStdString());
        QFile &picture = file.addCompanion(QStringLiteral(".png"), &pictureName);
        errno = 0;
        if (picture.write(png.data()) != png.data().size())
            throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(),
                                    "Could not write the chart picture " +
                                        pictureName.toStdString());
    }

    ReportStream out(file.file(), fileName);
    const auto line = [&](const QString &text) {
        out.write(text);
        out.write(QLatin1StringView("\r\n"));
    };
    const GridLook &look = grid.look();
    const QString fontName = look.fontName.isEmpty() ? options.fontName : look.fontName;
    for (const char *head :
         {"<HTML>", "<HEAD>",
          "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=utf-8\">",
          "<META NAME=\"Generator\" CONTENT=\"Cairnmeter by Velmoria\">",
          "<TITLE>Cairnmeter by Velmoria</TITLE>", "</HEAD>", "<BODY>", "", ""})
        line(QString::fromLatin1(head));
    line(QStringLiteral("<font face=\"Verdana\">"));
    line(QStringLiteral("Cairnmeter v%1.%2.%3 by Velmoria<br>")
             .arg(options.versionMajor)
             .arg(options.versionMinor)
             .arg(options.versionRevision));
    if (!options.basisLine.isEmpty())
        for (const QString &part : options.basisLine.split(u'\n'))
            line(HTMLEncode(part) + QStringLiteral("<br>"));
    line(reportDateLine(now) + QStringLiteral("<sbr><br></font>"));
    line(QString());
    line(QString());

    double widthTwips = 0;
    for (int c = 0; c < grid.cols(); ++c)
        widthTwips += grid.colWidth(c);
    widthTwips = std::max(widthTwips, static_cast<double>(options.gridWidthTwips));
    const double tableWidth = widthTwips * 1.3 / options.twipsPerPixel;
    line(QStringLiteral("<FONT FACE=\"") + fontName + QStringLiteral("\" SIZE=1>"));
    line(QStringLiteral("<TABLE BORDER CELLSPACING=0 CELLPADDING=2 VALIGN=CENTER BGCOLOR=") +
         color(orDefault(look.backColor, SysWindow)) + QStringLiteral(" BORDERCOLOR=") +
         color(orDefault(look.gridColor, SysButtonFace)) + QStringLiteral(" WIDTH=") +
         QString::number(static_cast<long long>(std::floor(tableWidth))) + u'>');
    line(QString());

    const QString fixedBack =
        QStringLiteral(" BGCOLOR=") + color(orDefault(look.backColorFixed, SysButtonFace));
    const QString fixedFore =
        QStringLiteral(" COLOR=") + color(orDefault(look.foreColorFixed, SysButtonText));
    const QString fixedGrid =
        QStringLiteral(" BORDERCOLOR=") + color(orDefault(look.gridColorFixed, SysButtonShadow));
    // What every cell of a column shares, worked out once: a million-row tree has six million
    // cells.
    struct Column {
        bool shown = false;
        int dataType = 0, align = 0;
        QString alignment; // when it does not depend on the text
    };
    std::vector<Column> columns(static_cast<std::size_t>(grid.cols()));
    for (int c = 0; c < grid.cols(); ++c) {
        Column &col = columns[static_cast<std::size_t>(c)];
        col.shown = grid.colWidth(c) != 0 && !grid.isColHidden(c);
        col.dataType = grid.colDataType(c);
        col.align = grid.colAlignment(c);
        col.alignment = alignmentAttribute(col.align, col.dataType, QStringLiteral("x"));
    }
    const auto widthOf = [&](int first, int last) {
        double twips = 0;
        for (int k = first; k <= last; ++k)
            twips += grid.colWidth(k);
        return percent(tableWidth > 0 ? twips * 1.3 / options.twipsPerPixel / tableWidth : 0);
    };
    std::vector<QString> singleWidths;
    for (int c = 0; c < grid.cols(); ++c)
        singleWidths.push_back(widthOf(c, c));

    const QLatin1StringView crlf("\r\n");
    for (int r = 0, next = 0, seen = 0; r < grid.rows(); r = next) {
        if ((++seen & 1023) == 0)
            Interrupt::check();
        // A collapsed node hides its whole subtree: the next row written is past it.
        next = r >= grid.fixedRows() && grid.isCollapsed(r) ? grid.subtreeEnd(r) : r + 1;
        if (grid.rowHeight(r) == 0 || grid.isRowHidden(r))
            continue;
        line(QStringLiteral("<TR>"));
        const bool indentRow = look.outlineBar > 0 && grid.isNode(r);
        for (int c = 0; c < grid.cols(); ++c) {
            const Column &col = columns[static_cast<std::size_t>(c)];
            if (!col.shown)
                continue;
            const GridRange range = grid.mergedRange(r, c);
            if (range.top < r || range.left < c)
                continue; // covered by a merged cell written before
            const bool fixed = r < grid.fixedRows() || c < grid.fixedCols();
            QString text = grid.displayText(r, c);
            if (col.dataType == TypeBoolean && r >= grid.fixedRows())
                text = grid.number(r, c).value_or(0) != 0 ? QStringLiteral("Y") : QString();

            out.write(QLatin1StringView("<TD WIDTH=\""));
            out.write(range.right > c ? widthOf(c, range.right)
                                      : singleWidths[static_cast<std::size_t>(c)]);
            out.write('"');
            if (const std::uint32_t own = grid.cellBackColor(r, c)) {
                out.write(QLatin1StringView(" BGCOLOR="));
                out.write(color(own));
            } else if (fixed) {
                out.write(fixedBack);
            }
            out.write(col.align >= AlignLeftTop && col.align <= AlignRightBottom
                          ? col.alignment
                          : alignmentAttribute(col.align, col.dataType, text));
            if (fixed)
                out.write(fixedGrid);
            if (range.right > c) {
                out.write(QLatin1StringView(" COLSPAN="));
                out.write(QString::number(range.right - c + 1));
            }
            if (range.bottom > r) {
                out.write(QLatin1StringView(" ROWSPAN="));
                out.write(QString::number(range.bottom - r + 1));
            }
            out.write('>');

            QString font;
            const QString cellFont = grid.cellFontName(r, c);
            if (!cellFont.isEmpty() && cellFont != fontName)
                font += QStringLiteral(" FACE=\"") + cellFont + u'"';
            if (const std::uint32_t own = grid.cellForeColor(r, c))
                font += QStringLiteral(" COLOR=") + color(own);
            else if (fixed)
                font += fixedFore;
            if (!font.isEmpty()) {
                out.write(QLatin1StringView("<FONT"));
                out.write(font);
                out.write('>');
            }
            const bool bold = grid.cellBold(r, c), italic = grid.cellItalic(r, c),
                       underline = grid.cellUnderline(r, c);
            if (bold)
                out.write(QLatin1StringView("<B>"));
            if (italic)
                out.write(QLatin1StringView("<I>"));
            if (underline)
                out.write(QLatin1StringView("<U>"));
            QString encoded = HTMLEncode(text);
            if (indentRow && c == look.outlineCol && grid.level(r) > 0) {
                for (int l = 0; l < grid.level(r); ++l)
                    out.write(QLatin1StringView("&nbsp&nbsp&nbsp&nbsp"));
                // A browser would take a leading ";" as the end of the last "&nbsp".
                if (encoded.startsWith(u';'))
                    encoded.replace(0, 1, QStringLiteral("&#59;"));
            }
            out.write(encoded);
            if (bold)
                out.write(QLatin1StringView("</B>"));
            if (italic)
                out.write(QLatin1StringView("</I>"));
            if (underline)
                out.write(QLatin1StringView("</U>"));
            if (!font.isEmpty())
                out.write(QLatin1StringView("</FONT>"));
            out.write(QLatin1StringView("</TD>"));
            out.write(crlf);
        }
        line(QStringLiteral("</TR>"));
    }
    line(QStringLiteral("</TABLE>"));
    line(QString());
    if (options.includeChart)
        line(QStringLiteral("<p><img border=\"0\" src=\"") +
             QString::fromLatin1(QUrl::toPercentEncoding(pictureName)) + QStringLiteral("\"></p>"));
    if (options.largestFiles)
        writeLargestFiles(line, *options.largestFiles, fontName);
    line(QStringLiteral("</BODY>"));
    line(QStringLiteral("</HTML>"));
    line(QString());
    line(QString());
    out.close();
    return true;
}

} // namespace GridExport

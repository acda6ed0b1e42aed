#include "GridToPDF.h"

#include "ChartPicture.h"
#include "LargestFilesList.h"
#include "OutlineGridPrintout.h"
#include "OutlineGridView.h"
#include "PdfConverter.h"
#include "PrintLayout.h"
#include "ReportFile.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace GridExport {

namespace {

constexpr double PageNumberLift = 300; // twips above the bottom margin

void setReportFont(PrintLayout &layout) {
    layout.setFontName(QStringLiteral("Arial"));
    layout.setFontSize(10);
    layout.setFontBold(false);
    layout.setFontItalic(false);
}

void renderGrid(PrintLayout &vpTree, OutlineGridView &fgTree) {
    // The layout keeps the drawing until the next report, so the printout lives with it.
    const auto printout = std::make_shared<OutlineGridPrintout>(fgTree);
    PrintLayout::Table table;
    table.width = printout->width();
    table.headerHeight = printout->headerHeight();
    table.rowHeights.reserve(static_cast<std::size_t>(printout->rowCount()));
    for (int i = 0; i < printout->rowCount(); ++i)
        table.rowHeights.push_back(printout->rowHeight(i));
    table.paint = [printout](QPainter &painter, int first, int last) {
        printout->paint(painter, first, last);
    };
    vpTree.renderTable(table);
}

void renderChart(PrintLayout &vpTree, const ChartPicture &chart) {
    // The chart keeps its physical size on screen: its size in twips, in the page's pixels.
    const double screenTwipsPerPixel = 1440.0 / std::max(1, chart.dpi);
    double width = chart.size.width() * screenTwipsPerPixel;
    double height = chart.size.height() * screenTwipsPerPixel;
    // A chart larger than the space between the margins would be cut off by the paper's
    // edge; it is shrunk to fit, keeping its proportions.
    const double roomX = vpTree.pageWidth() - vpTree.marginLeft() - vpTree.marginRight();
    const double roomY = vpTree.bottomLimit() - vpTree.marginTop();
    const double shrink = std::min({1.0, roomX / width, roomY / height});
    width *= shrink;
    height *= shrink;
    if (!vpTree.fits(height))
        vpTree.newPage();

    const QRect target(static_cast<int>(std::lround(vpTree.currentX() / vpTree.twipsPerPixelX())),
                       static_cast<int>(std::lround(vpTree.currentY() / vpTree.twipsPerPixelY())),
                       static_cast<int>(std::lround(width / vpTree.twipsPerPixelX())),
                       static_cast<int>(std::lround(height / vpTree.twipsPerPixelY())));
    vpTree.draw([chart, target](QPainter &painter) { chart.draw(painter, target); });
    vpTree.setCurrentY(vpTree.currentY() + height);
}

// The largest files as a table across the page, the header repeated on each page it runs over.
void renderLargestFiles(PrintLayout &vpTree, const LargestFilesList &list) {
    vpTree.paragraph(QString());
    // The heading stays with the first rows of its table.
    if (!vpTree.fits(vpTree.lineHeight() * 8))
        vpTree.newPage();
    vpTree.setFontBold(true);
    vpTree.paragraph(list.title);
    vpTree.setFontBold(false);
    vpTree.paragraph(list.note);
    if (list.rows.empty())
        return;
    vpTree.paragraph(QString());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(8.0 * vpTree.resolution() / 72))));
    const int rowHeight = QFontMetrics(font).height() * 3 / 2;
    PrintLayout::Table table;
    table.width =
        static_cast<int>((vpTree.pageWidth() - vpTree.marginLeft() - vpTree.marginRight()) /
                         vpTree.twipsPerPixelX());
    table.headerHeight = rowHeight;
    table.rowHeights.assign(list.rows.size(), rowHeight);
    // Shares of the width: name, size, date, folder.
    static constexpr double shares[LargestFilesList::ColumnCount] = {0.28, 0.11, 0.23, 0.38};
    table.paint = [rows = list.rows, font, rowHeight, width = table.width](QPainter &painter,
                                                                           int first, int last) {
        const auto paintRow = [&](const auto &texts, int y, bool header) {
            QFont f = font;
            f.setBold(header);
            painter.setFont(f);
            if (header)
                painter.fillRect(QRect(0, y, width, rowHeight), QColor(230, 230, 230));
            const int pad = rowHeight / 4;
            double x = 0;
            for (int c = 0; c < LargestFilesList::ColumnCount; ++c) {
                const int w = static_cast<int>(shares[c] * width);
                const QRect cell(static_cast<int>(x) + pad, y, w - 2 * pad, rowHeight);
                const QString &text = texts[static_cast<std::size_t>(c)];
                painter.drawText(
                    cell,
                    Qt::AlignVCenter |
                        (c == LargestFilesList::Size && !header ? Qt::AlignRight : Qt::AlignLeft),
                    painter.fontMetrics().elidedText(text, Qt::ElideMiddle, cell.width()));
                x += w;
            }
            painter.setPen(QColor(200, 200, 200));
            painter.drawLine(0, y + rowHeight - 1, width, y + rowHeight - 1);
            painter.setPen(Qt::black);
        };
        painter.setPen(Qt::black);
        paintRow(LargestFilesList::headers(), 0, true);
        for (int i = first, y = rowHeight; i < last; ++i, y += rowHeight)
            paintRow(rows[static_cast<std::size_t>(i)].texts, y, false);
    };
    vpTree.renderTable(table);
}

} // namespace

bool GridToPDF(OutlineGridView &fgTree, const ChartPicture &chart, PrintLayout &vpTree,
               const PdfConverter &vfTree, const QString &fileName, bool includeChart,
               const QString &basisLine, const LargestFilesList *largestFiles) {
    return ReportFile::writeReplacing(fileName, [&](ReplacingFile &out) {
        return GridToPDF(fgTree, chart, vpTree, vfTree, out, includeChart, basisLine, largestFiles);
    });
}

bool GridToPDF(OutlineGridView &fgTree, const ChartPicture &chart, PrintLayout &vpTree,
               const PdfConverter &vfTree, ReplacingFile &out, bool includeChart,
               const QString &basisLine, const LargestFilesList *largestFiles) {
    // The printed grid is drawn in the view's pixels, so the pages take the view's resolution.
    vpTree.setResolution(fgTree.logicalDpiY());
    setReportFont(vpTree);
    // The page number is written over the finished pages 300 twips above the bottom margin;
    // the grid and the chart stop above it so that it never covers a row.
    vpTree.setFooterSpace(PageNumberLift + vpTree.lineHeight() / 2);
    vpTree.startDoc();

    vpTree.paragraph(QStringLiteral("Cairnmeter v%1.%2.%3 by Velmoria")
                         .arg(CAIRNMETER_VERSION_MAJOR)
                         .arg(CAIRNMETER_VERSION_MINOR)
                         .arg(CAIRNMETER_VERSION_PATCH));
    if (!basisLine.isEmpty())
        for (const QString &part : basisLine.split(u'\n'))
            vpTree.paragraph(part);
    vpTree.paragraph(reportDateLine(QDateTime::currentDateTime()));
    vpTree.paragraph(QString());

    renderGrid(vpTree, fgTree);

    if (includeChart) {
        vpTree.paragraph(QString());
        vpTree.paragraph(QString());
        renderChart(vpTree, chart);
    }
    if (largestFiles)
        renderLargestFiles(vpTree, *largestFiles);
    vpTree.endDoc();

    const int pages = vpTree.pageCount();
    for (int i = 1; i <= pages; ++i) {
        setReportFont(vpTree);
        vpTree.openPage(i);
        const QString text = QStringLiteral("Page %1 of %2").arg(i).arg(pages);
        vpTree.setCurrentX(vpTree.pageWidth() - vpTree.marginRight() - vpTree.textWidth(text));
        vpTree.setCurrentY(vpTree.pageHeight() - vpTree.marginBottom() - PageNumberLift);
        vpTree.text(text);
        vpTree.closePage();
    }

    vfTree.convertToPdf(vpTree, out.file(), out.target());
    return true;
}

} // namespace GridExport

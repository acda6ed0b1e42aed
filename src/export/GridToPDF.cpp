#include "GridToPDF.h"

#include "ChartPicture.h"
#include "OutlineGridPrintout.h"
#include "OutlineGridView.h"
#include "PdfConverter.h"
#include "PrintLayout.h"
#include "ReportFile.h"

#include <QDateTime>
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

} // namespace

bool GridToPDF(OutlineGridView &fgTree, const ChartPicture &chart, PrintLayout &vpTree,
               const PdfConverter &vfTree, const QString &fileName, bool includeChart,
               const QString &basisLine) {
    return ReportFile::writeReplacing(fileName, [&](ReplacingFile &out) {
        return GridToPDF(fgTree, chart, vpTree, vfTree, out, includeChart, basisLine);
    });
}

bool GridToPDF(OutlineGridView &fgTree, const ChartPicture &chart, PrintLayout &vpTree,
               const PdfConverter &vfTree, ReplacingFile &out, bool includeChart,
               const QString &basisLine) {
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

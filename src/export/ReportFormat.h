#pragma once

#include "ChartPicture.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

struct LargestFilesList;
class OutlineGrid;
class QIODevice;
class ReplacingFile;

/// What a report takes of the window that shows the tree: the screen's scale, the grid's width
/// and font, and the chart as it is shown. Whoever writes a report passes it in; a report made
/// without a window uses these defaults.
struct ReportGeometry {
    double twipsPerPixel = 15; ///< of the screen, horizontally
    int gridWidthTwips = 0;    ///< the grid control's own width
    QString gridFontName{};    ///< the font the grid shows its cells in
    ChartPicture chart{};      ///< the chart shown; without a chart model, none is
};

/// What a report writer is handed: the scan tree, and for the formats that can carry one, the
/// chart and whether to include its picture.
struct ReportSource {
    const OutlineGrid &grid;
    ChartPicture chartPicture{};
    bool chartIncluded = false;
    /// Turns a stored colour value (system colours included) into a colour.
    std::function<QColor(std::uint32_t)> resolveColor{};
    /// Writes the chart's current picture as PNG to the device; false when it cannot.
    std::function<bool(QIODevice &out)> saveChartPicture{};
    double twipsPerPixel = 15; ///< of the screen, horizontally
    int gridWidthTwips = 0;    ///< the grid control's own width
    QString gridFontName{};    ///< the font the grid shows its cells in
    /// The largest files of the selection, added after the tree; null for none.
    const LargestFilesList *largestFiles = nullptr;
};

/// One format of the "Export Report As..." menu: its texts, its folder below the report root,
/// and its writer. A format whose writer is not set is left out of the menu.
struct ReportFormat {
    /// Which chart setting decides whether a report of this format carries the chart.
    enum class ChartOption { None, Html, Pdf };

    int index = -1;  ///< the item's index in the menu array, 0 HTML ... 4 Excel
    QString caption; ///< menu caption
    QString folder;  ///< subfolder of the report root, without a trailing "/"
    QString title;   ///< save dialog title
    QString filter;  ///< save dialog filter, "Desc|*.a;*.b|Desc|*.*" form
    QString failure; ///< the description of the error raised when the writer returns false
    ChartOption chartOption = ChartOption::None;
    /// Writes the report through the new file (ReportFile::writeReplacing puts it in place);
    /// true when the file is complete.
    std::function<bool(const ReportSource &, ReplacingFile &out)> write;
};

/// The five formats in menu order: HTML, PDF, CSV, Plain Text, Excel. PDF comes without a
/// writer, since it prints through the grid's and the chart's widgets: the main window sets it.
std::vector<ReportFormat> standardReportFormats();

/// A "Desc|*.a;*.b|Desc|*.*" filter in the form Qt's file dialogs take:
/// "Desc (*.a *.b);;Desc (*.*)". A description that already lists its patterns in
/// parentheses keeps them, with ";" turned into blanks.
QString qtFileFilter(const QString &filter);

/// The extension of a filter's first pattern, with its dot ("*.htm;*.html" gives ".htm");
/// empty when that pattern names no extension.
QString offeredExtension(const QString &filter);

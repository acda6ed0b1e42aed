#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>

struct LargestFilesList;
class OutlineGrid;
class QIODevice;
class ReplacingFile;

namespace GridExport {

/// What the HTML report needs besides the grid.
struct HtmlOptions {
    /// Turns a stored colour value into a colour; system colours (top bit set) through the
    /// palette. Without one, system colours come out black.
    std::function<QColor(std::uint32_t)> resolveColor;
    /// Writes the chart's current picture as PNG to the device; false on failure. Only called
    /// when the chart is included.
    std::function<bool(QIODevice &out)> saveChartPicture;
    bool includeChart = false;
    double twipsPerPixel = 15; ///< of the screen, horizontally
    int gridWidthTwips = 0;    ///< the grid control's own width
    QString fontName;          ///< the grid's font, when the grid names none of its own
    int versionMajor = 1, versionMinor = 0, versionRevision = 5;
    /// A line under the heading that names what the sizes count, when it is not the size of
    /// the files; empty for none.
    QString basisLine;
    /// The largest files of the selection, as a table after the tree; null for none.
    const LargestFilesList *largestFiles = nullptr;
};

/// The scan tree as one HTML table that copies what the grid shows (visible rows and columns,
/// colours, fonts, alignment, merged cells, outline indentation) under a short heading, with
/// the chart's picture beside the file when included: a companion of `out` named after the
/// report with a random tag, so each report keeps its own picture and both go into place
/// together. UTF-8, CR LF line ends. Throws std::system_error when the file or the picture
/// cannot be written; true when complete.
bool GridToHTML(const OutlineGrid &grid, ReplacingFile &out, const HtmlOptions &options);
/// The same, replacing the named file when complete.
bool GridToHTML(const OutlineGrid &grid, const QString &fileName, const HtmlOptions &options);

/// `"#RRGGBB"` (with the double quotes) of a stored colour value, system colours resolved.
QString ColorToHTML(std::uint32_t color, const std::function<QColor(std::uint32_t)> &resolve);
/// "&", "<" and ">" escaped; an empty text becomes "&nbsp;".
QString HTMLEncode(const QString &text);
/// Digits, "," and at most one "." after trimming, with one "-" allowed in front; empty counts.
bool IsNumericText(const QString &text);
/// Replaces every occurrence left to right; an empty search text changes nothing.
void ReplaceAll(QString &text, const QString &search, const QString &replacement);

} // namespace GridExport

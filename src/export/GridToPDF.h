#pragma once

#include "ReportDate.h"

#include <QString>

struct ChartPicture;
struct LargestFilesList;
class OutlineGridView;
class PdfConverter;
class PrintLayout;
class ReplacingFile;

namespace GridExport {

/// The PDF report: the heading "Cairnmeter v<version> by Velmoria", `basisLine` when it is not
/// empty, the date and time of the export, an empty line, the scan tree as the grid prints itself
/// and, when `includeChart` is set, the chart at its size on screen (`chart`), then with
/// `largestFiles` its title, note and table; every page carries "Page i of N" at the bottom right.
/// With `largestFiles`, its title, note and table follow. The document is composed in `vpTree`
/// (where it stays until the next report) and written by `vfTree` to `fileName`. Returns true once
/// the file is written; errors (a file that cannot be written) are thrown to the caller.
bool GridToPDF(OutlineGridView &fgTree, const ChartPicture &chart, PrintLayout &vpTree,
               const PdfConverter &vfTree, const QString &fileName, bool includeChart,
               const QString &basisLine = QString(),
               const LargestFilesList *largestFiles = nullptr);
/// The same, written through a new file that ReportFile::writeReplacing puts in place.
bool GridToPDF(OutlineGridView &fgTree, const ChartPicture &chart, PrintLayout &vpTree,
               const PdfConverter &vfTree, ReplacingFile &out, bool includeChart,
               const QString &basisLine = QString(),
               const LargestFilesList *largestFiles = nullptr);

} // namespace GridExport

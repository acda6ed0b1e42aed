#pragma once

#include <QString>

struct LargestFilesList;
class OutlineGrid;
class QIODevice;

/// The CSV and plain-text reports: the rows the grid shows, one line each, with the displayed
/// texts of columns 0 to 3 (node, size, unit, file count) and the node indented by its outline
/// level. The grid's header row comes first like any other row. Lines end with CR LF; the text
/// is UTF-8.
///
/// Both write to an open device (named `fileName` in errors), or replace the named file when
/// complete (ReportFile::writeReplacing), and throw std::system_error when the file cannot be
/// created or written; they return true when the file is complete.
namespace GridExport {

/// Each text in double quotes (embedded quotes doubled), separated by commas.
bool GridToCSV(const OutlineGrid &grid, QIODevice &out, const QString &fileName);
bool GridToCSV(const OutlineGrid &grid, QIODevice &out, const QString &fileName,
               const LargestFilesList *largestFiles);
bool GridToCSV(const OutlineGrid &grid, const QString &fileName);

/// Columns at character positions 1, 30, 45 and 55 (then the change columns, when shown); a text
/// that has passed the next position pushes the following one to that position of a new line.
bool GridToText(const OutlineGrid &grid, QIODevice &out, const QString &fileName);
bool GridToText(const OutlineGrid &grid, QIODevice &out, const QString &fileName,
                const LargestFilesList *largestFiles);
bool GridToText(const OutlineGrid &grid, const QString &fileName);

/// Character positions (from 1) of columns 1, 2 and 3 in the plain-text report, and of the
/// change columns while the tree shows a comparison (at 67 and 90).
inline constexpr int TextColumnPositions[5] = {30, 45, 55, 67, 90};
/// Character positions of the largest files' size, modification time and folder.
inline constexpr int FileColumnPositions[3] = {30, 45, 65};

} // namespace GridExport

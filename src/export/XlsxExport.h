#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>

struct LargestFilesList;
class OutlineGrid;
class QIODevice;

/// The spreadsheet report: an Office Open XML workbook of the grid's cells.
namespace XlsxExport {

/// Turns a stored colour value (0x00BBGGRR, top bit = system colour) into a colour.
using ColorResolver = std::function<QColor(std::uint32_t stored)>;

/// Every row of the grid, shown or not, on one sheet: the node names as shown (indented by
/// outline level, bold and coloured as in the grid), sizes, file counts and byte counts as
/// numbers (sizes in the size column's display format), the unit as text. The tree becomes
/// the sheet's row outline with the summary row above its group, and rows the grid hides are
/// hidden in it; the header row is frozen; column widths follow the grid's. Rows go to temporary
/// files as they are written; the finished workbook (compressed) is assembled in memory and then
/// written to `out`, so the only disk the report's own errors come from is the report's.
///
/// Throws AppError when the grid has more rows than a sheet holds (naming the limit), and
/// std::system_error when the workbook cannot be made or written (`fileName` names it); true
/// when complete. Without `resolveColor`, system colours are left out. With `largestFiles`, a
/// second sheet "Largest files" holds its title, note and rows, the byte count as a number.
bool GridToExcel(const OutlineGrid &grid, QIODevice &out, const QString &fileName,
                 const ColorResolver &resolveColor = {},
                 const LargestFilesList *largestFiles = nullptr);
/// The same, replacing the named file when complete.
bool GridToExcel(const OutlineGrid &grid, const QString &fileName,
                 const ColorResolver &resolveColor = {});

/// Rows a worksheet holds.
inline constexpr int MaxRows = 1048576;
/// The deepest row outline level a worksheet keeps; deeper rows share it.
inline constexpr int MaxOutlineLevel = 7;

} // namespace XlsxExport

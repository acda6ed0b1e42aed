#pragma once

#include "Fixed.h"

#include <QDateTime>
#include <QString>

class OutlineGrid;
class ScanTree;
struct Settings;

/// What changed between an earlier scan of a folder and a scan root in the tree.
///
/// A comparison adds the columns "Change" and "Files Change" to the tree (with two hidden ones:
/// the change in bytes, which "By Change" sorts by, and a mark of new and gone rows) and fills
/// them for every row of the compared root: the row's byte and file count minus those of the
/// same folder in the earlier scan, shown in the tree's unit and size format with a sign. Folders
/// are matched by name below matched parents, so a renamed folder is one gone and one new.
/// Folders that only the earlier scan has come back as rows of size 0 below their parent, their
/// old size as a negative change. Every folder's change is thus the sum of its children's.
///
/// Without a comparison the tree has none of these columns, so nothing else it feeds (reports,
/// the settings' column widths) changes.
namespace ScanCompare {

/// What a comparison found.
struct Result {
    int compared = 0;   ///< rows of the root matched in the earlier scan
    int added = 0;      ///< rows the earlier scan lacks (a new folder counts once)
    int gone = 0;       ///< rows only the earlier scan has, now shown as gone
    QDateTime oldTaken; ///< when the earlier scan was made
};

/// Compares the scan root `root` of `tree` with the scan root `oldRoot` of `old` (a grid
/// holding an earlier scan). `oldTaken` and `newTaken` name the two scans in the heading of
/// reports. A comparison of `root` made before is replaced. The rows added for gone folders
/// follow the grid's sort setting.
Result compare(ScanTree &tree, int root, const OutlineGrid &old, int oldRoot,
               const QDateTime &oldTaken, const QDateTime &newTaken);
/// Reads a scan file (see ScanFile::Open) and compares the root with the scan in it. Throws
/// AppError when the file cannot be read as a scan; the tree is then as it was.
Result compareWithFile(ScanTree &tree, int root, const QString &fileName, const Settings &settings,
                       const QDateTime &newTaken);
/// Ends every comparison: the rows of gone folders and the change columns go.
void stop(ScanTree &tree);
/// Whether the tree shows a comparison.
bool active(const OutlineGrid &grid);
/// Whether the root at `row` is compared with an earlier scan.
bool isCompared(const OutlineGrid &grid, int row);
/// The lines that name the scans compared, one per compared root, for a report's heading;
/// empty without a comparison.
QString heading(const OutlineGrid &grid);
/// The lines under a report's heading: the size basis (ScanTree::basisHeading), then the scans
/// compared; lines are separated by "\n".
QString reportHeading(const OutlineGrid &grid);
/// A change of `bytes` (in ten-thousandths, as the byte cells hold them) in the tree's unit and
/// size format with its sign ("+1.2 GB", "−340 MB"); empty when there is no change.
QString changeText(const ScanTree &tree, FixedRaw bytes);

} // namespace ScanCompare

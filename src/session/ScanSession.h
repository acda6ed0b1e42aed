#pragma once

#include "OutlineGrid.h"
#include "ReportFormat.h"
#include "ScanTree.h"
#include "SessionOutcome.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class mdlFileSearch;
struct Settings;

/// A scan session without a window: the scan tree in its grid, the folder walk, saved scans and
/// reports. The main window shows and drives one; a report from the command line runs on one
/// alone. Every command returns a structured outcome rather than showing anything.
///
/// Paths are the file system's bytes. The settings are read at each command, never written.
class ScanSession {
public:
    explicit ScanSession(const Settings &settings);
    ~ScanSession();
    ScanSession(const ScanSession &) = delete;
    ScanSession &operator=(const ScanSession &) = delete;

    OutlineGrid &grid() { return m_grid; }
    const OutlineGrid &grid() const { return m_grid; }
    ScanTree &tree() const { return *m_tree; }
    mdlFileSearch &walker() const { return *m_walker; }
    const Settings &settings() const { return m_settings; }

    // Scanning ----------------------------------------------------------------------------
    /// Scans a folder as a new scan root: beginScan(), walk(), then the root expanded, the
    /// scans sorted and the top row's totals written.
    SessionOutcome scan(const QByteArray &path);
    /// The first steps of a scan: the abort request is cleared, the walk's parameters are set
    /// from the settings, the tree is cleared or collapsed as they say, and the root's row is
    /// added with the drive kind and the size basis. Raises the invalid start path error, with
    /// nothing changed, when `path` names no folder.
    int beginScan(const QByteArray &path);
    /// Walks the folder of a root that beginScan() added; raises the abort error when an abort
    /// was requested, or the walk's own error.
    void walk(int root);
    /// Asks a running walk (or scan file reading) to stop at its next check.
    void requestAbort();
    bool abortRequested() const;
    /// The row that tells a scan was aborted, appended under the scan root.
    void addAbortedRow();
    /// The folders the walks since beginScan() could not read.
    void noteUnreadable(SessionOutcome &outcome) const;

    // Branches ----------------------------------------------------------------------------
    /// Walks the folder of a root or folder row again and puts its new rows in place of the
    /// row's old children; the row's totals, and those of every row above it, change by the
    /// difference. The walk uses the current filter and recursion, the unit of the row and the
    /// size basis of its scan. Rows of the branch that still exist keep their expanded state
    /// and selection; the row's ancestors are sorted again. Until the walk is complete nothing
    /// in the tree changes: an abort or an error leaves the branch as it was. `walking` is
    /// called with the row the walk fills (outside the tree) as it starts, and with -1 as it
    /// ends.
    SessionOutcome rescan(int row, const std::function<void(int walkRow)> &walking = {});
    /// Takes a row and its subtree out of the tree, its values off every total above it; the
    /// kept files below it go with it.
    void removeBranch(int row);
    /// A kept file of the scan that holds `row` left the disk: it leaves the kept files and its
    /// type's total, and its size and one file come off its folder's files row and every total
    /// above it. False when the scan keeps no such file (nothing changed) or its folder has no
    /// files row in the tree (only the kept files changed).
    bool removeKeptFile(int row, std::uint32_t file);
    /// The row of a folder (its path's bytes, ending in "/") in the scan that holds `row`, found
    /// down from the scan's root; -1 when the tree has none.
    static int rowOfFolder(const OutlineGrid &grid, int row, const QByteArray &folderPath);
    /// The `<Files in …>` row of a folder's row, or -1.
    static int filesRowOf(const OutlineGrid &grid, int folderRow);

    // Saved scans -------------------------------------------------------------------------
    /// Opens a scan file as a new scan root (outcome.root); a fault adds nothing. The reading
    /// yields to the event loop as a walk does, calling `progress` with the entries read so far
    /// just before; requestAbort() (or an interrupt) stops it, which also adds nothing.
    SessionOutcome openScanFile(const QString &fileName,
                                const std::function<void(std::uint64_t entries)> &progress = {});
    /// Saves the scan root `root` and everything below it.
    SessionOutcome saveScanFile(int root, const QString &fileName);
    /// The scan root that holds a row, or -1 for the header and the top row.
    static int rootOf(const OutlineGrid &grid, int row);

    // Reports -----------------------------------------------------------------------------
    /// The report formats by index (0 HTML ... 4 Excel); the PDF format's writer is set by the
    /// caller, which prints through the grid's widget.
    std::vector<ReportFormat> &reportFormats() { return m_formats; }
    /// The format of an index, or null when there is none or it has no writer.
    const ReportFormat *reportFormat(int index) const;
    /// Writes the tree as it stands as a report of format `index` to `fileName`, replacing a
    /// file of that name only once the report is complete. The chart goes in when the format
    /// carries one, the setting for it is on, `geometry` has a chart and the selection is a
    /// folder or a root.
    SessionOutcome writeReport(int index, const QString &fileName, const ReportGeometry &geometry);
    /// Whether the selected node may carry a chart in a report: a folder or a root, not a files
    /// row or the top row.
    static bool selectionHasChart(const OutlineGrid &grid);

private:
    /// The walk's parameters: the filter and recursion from the settings, the basis and limits
    /// given (a new scan's from the settings, a rescan's those its scan was walked with).
    void setWalkParams(const QByteArray &start, SizeBasis basis,
                       const ScanTree::StartRecord &limits);
    /// Keeps what the walk just made of its start folder `start` with the scan.
    void recordStart(const QByteArray &start);

    const Settings &m_settings;
    OutlineGrid m_grid;
    std::unique_ptr<ScanTree> m_tree;
    std::unique_ptr<mdlFileSearch> m_walker;
    std::vector<ReportFormat> m_formats;
};

#pragma once

#include "Fixed.h"
#include "KeptFiles.h"
#include "ScannedPath.h"
#include "Settings.h"
#include "TreeCol.h"

#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <unordered_map>
#include <vector>

class AppError;
class OutlineGrid;

/// What a row of the scan tree is; picks its picture.
enum class RowKind : int {
    HardDisk = 0,
    Remote,
    Removable,
    Optical,
    RamDisk,
    Undetermined,
    NoRoot,
    InvalidDriveNumber,
    Folder,
    Files,
    Warning,
    ScanFile, ///< the root of a scan opened from a file
};

/// What a row of the scan tree stands for, kept with the row (OutlineGrid::rowKind): a folder
/// (a scan's root and the top row included), the files directly in a folder, or a note such as
/// "Scan aborted". A folder may be named anything, "<old>" too.
enum class TreeRow : int { Folder = 0, Files = 1, Note = 2 };

/// The pictures of the scan tree's rows, by role.
enum class TreePicture : int {
    Desktop = 0, ///< imgDesktop, the top row
    HDD,         ///< imgHDD
    Remote,      ///< imgRemote
    Removable,   ///< imgRemovable
    Optical,     ///< imgOptical
    RAMDISK,     ///< imgRAMDISK
    Undtmnd,     ///< imgUndtmnd
    NoRoot,      ///< imgNoRoot
    InvDrvNum,   ///< imgInvDrvNum
    Folder,      ///< imgFolder
    File,        ///< imgFile
    Warning,     ///< imgWarning
    ScanFile,    ///< a scan root opened from a file
    Count
};

/// The scan tree held in the outline grid `fgTree`: its columns, the rows a scan appends, the
/// size unit, and the rule that keeps every node's size, file count and byte count (the Size,
/// Files and Bytes columns) equal to the sums of its children's.
///
/// Totals are carried up as each cell is written: the handler of the grid's cell-changed
/// notification adds the change of a child's cell to its parent's cell, which raises the
/// notification one level up, so a write costs O(depth). `AddTreeRow` applies the same rule to
/// the row it appends in one pass up the ancestors. The top row is the exception:
/// `UpdateRoots` writes its size in the current unit, and the next change that reaches it
/// re-sums its size from the scan roots.
class ScanTree : public QObject {
    Q_OBJECT
public:
    /// Installs itself as the grid's cell-changed handler; `settings` is read, never written.
    ScanTree(OutlineGrid &grid, const Settings &settings, QObject *parent = nullptr);
    ~ScanTree() override;

    /// Gives the icon for a picture (set before `InitTreeGrid`); without one, rows have no
    /// pictures.
    using PictureSource = std::function<QIcon(TreePicture)>;
    void setPictureSource(PictureSource source) { m_pictureSource = std::move(source); }
    /// Receives errors raised inside `fgTree_CellChanged` with the box's title; by default they
    /// are written to the debug log.
    using ErrorSink = std::function<void(const QString &title, const AppError &error)>;
    void setErrorSink(ErrorSink sink) { m_errorSink = std::move(sink); }

    OutlineGrid &grid() const { return m_grid; }
    const Settings &settings() const { return m_settings; }

    /// Prepares the grid: columns, header row, the "Scans" top row, unit and size format.
    void InitTreeGrid();
    /// Takes `SizeFactor` and `SizeUnit` from `Object_Size`.
    void SetSizeFactor();
    /// Takes `SizeFactor` and `SizeUnit` from the unit text of a row (column 2), so that rows
    /// added below it read in its unit; false, with nothing changed, for a text that names no
    /// unit.
    bool SetSizeFactorOf(int row);
    /// Takes `SizeFormat` from `Object_Size_Format` (trimmed; empty gives "#,##0.##") and
    /// gives it to the Size column.
    void SetSizeFormat();
    /// Appends one node row and returns its index. When the row's values, or the totals they
    /// add to, cannot be held, the row is not kept and the overflow error naming the folder
    /// whose total it is (see totalOverflow) is raised; no total has been changed then.
    int AddTreeRow(const QString &Name, int Level, RowKind Kind, Fixed Bytes, bool IsRoot,
                   Fixed FileCount);
    /// Gathers the totals a walk (or a scan file being read) adds per open folder instead of
    /// carrying each new row through all its ancestors, which would cost the square of the
    /// depth: a new row's values go to its parent at once, and each open folder's gathered
    /// change goes one level up when the folder is done (folderDone) or at flushCarry().
    /// Rows are added depth first, below the folder entered last. Between those points the
    /// open folders' ancestors lag; after flushCarry() every total is exact.
    void beginDeferredCarry();
    /// A folder whose rows are all added: its gathered change goes to its parent.
    void folderDone(int row);
    /// Carries every gathered change up, so each total shown equals the sum of its children;
    /// the open folders stay open. Costs the depth of the folder entered last.
    void flushCarry();
    /// Carries everything up and ends the gathering.
    void endDeferredCarry();
    /// Ends the gathering without carrying (the rows it was for are being removed).
    void dropDeferredCarry();
    bool carryDeferred() const { return m_deferred; }
    /// Writes a row's byte and file counts and its size in the row's own unit; the changes are
    /// carried up through every total above it (the top row's too, which UpdateRoots() then
    /// writes in the current unit).
    void setRowTotals(int row, Fixed bytes, Fixed files);
    /// Writes the top row: the byte and file totals of all scan roots, the size in the current
    /// unit.
    void UpdateRoots();
    /// Marks a folder's row as one that could not be listed: a warning badge on its picture and
    /// the system's reason for `error` (an errno value) as the note of its name.
    void MarkUnreadable(int row, int error);
    /// Marks a folder's row as one the walk left out on purpose: its name in italics, with
    /// `why` as the note.
    void MarkNotEntered(int row, const QString &why);
    /// A folder marked by MarkUnreadable: its path's bytes and the errno value.
    struct UnreadableFolder {
        QByteArray path;
        int error = 0;
    };
    /// The folders marked since the last clearUnreadable(), the first `UnreadableKept` of them
    /// (unreadableCount() counts them all).
    const std::vector<UnreadableFolder> &unreadable() const { return m_unreadable; }
    std::size_t unreadableCount() const { return m_unreadableCount; }
    void clearUnreadable();
    static constexpr std::size_t UnreadableKept = 1000;
    /// Folder rows appended so far, over the life of the tree (the live figures of a walk
    /// count the difference).
    std::uint64_t foldersAdded() const { return m_foldersAdded; }
    /// The grid's cell-changed handler; carries totals up.
    void fgTree_CellChanged(int Row, int Col);

    std::int32_t SizeFactor() const { return m_sizeFactor; }
    const QString &SizeUnit() const { return m_sizeUnit; }
    const QString &SizeFormat() const { return m_sizeFormat; }

    /// The grid's picture id of a picture (0 before `InitTreeGrid`).
    int pictureId(TreePicture picture) const {
        return m_pictureIds[static_cast<std::size_t>(picture)];
    }
    static TreePicture pictureOf(RowKind kind);
    /// The row kind of a drive type value (0 unknown ... 6 RAM disk).
    static RowKind rowKindOfDriveType(int driveType);
    /// True while the top row's size is the one `UpdateRoots` wrote in the current unit rather
    /// than the sum of the roots' sizes.
    bool topSizeInCurrentUnit() const { return m_topSizeInUnit; }

    /// A size or count cell's value: empty is zero; column 1's quotient texts are rounded to
    /// four decimals. Raises the type-mismatch error for text that is not a number.
    Fixed cellValue(int row, int col) const;

    static constexpr int TopRow = 1;

    /// The overflow error for a total beyond what the program can count, naming what it is the
    /// total of (a folder's path).
    static AppError totalOverflow(const QString &what);
    /// Whether a row is a scan's root (a node at level 0 below the top row).
    static bool isScanRoot(const OutlineGrid &grid, int row);
    /// What a row stands for; a row outside the grid is a note.
    static TreeRow rowKind(const OutlineGrid &grid, int row);
    /// A folder's row below the header: the top row, a root or a folder, never a files row or
    /// a note.
    static bool isFolderRow(const OutlineGrid &grid, int row);
    static bool isFilesRow(const OutlineGrid &grid, int row) {
        return rowKind(grid, row) == TreeRow::Files;
    }
    static void setRowKind(OutlineGrid &grid, int row, TreeRow kind);
    /// The size basis a root's scan counted in, which the scan command (or the scan file it
    /// was opened from) gives the root when it adds it.
    static SizeBasis basisOfRoot(const OutlineGrid &grid, int row);
    static void setBasisOfRoot(OutlineGrid &grid, int row, SizeBasis basis);
    /// A report's heading line naming the basis of its sizes, when any scan in the tree counted
    /// the space used on disk; empty when all of them counted the size of the files.
    static QString basisHeading(const OutlineGrid &grid);

    /// The large files and type totals of the scan that holds a row; null when that scan kept
    /// none (a scan file without them, or a row outside every scan). A later scan of the same
    /// folder takes the place of an earlier one's.
    KeptFilesPtr keptFilesOf(int row) const;
    /// Records a scan's kept files under its start folder; forgets those of folders no scan
    /// root holds any more.
    void addKeptFiles(KeptFilesPtr kept);

    /// What a scan's walk found at its start folder and how it was limited, kept so that a
    /// command on its rows finds the same folder and a rescan walks as the scan did.
    struct StartRecord {
        ScannedPath::Identity identity;
        QString excludeFolders;
        bool stayOnFileSystem = false;
    };
    /// The record of the scan that holds `row` (the latest walk of its start folder); empty
    /// when no walk opened it, or for a row outside every scan.
    StartRecord startRecordOf(int row) const;
    /// The start folder of the scan that holds `row` with its identity (unknown as above).
    /// Commands that act on the disk reach the row's item from it.
    ScannedPath::Start startOf(int row) const;
    /// Records what a walk of the start folder `path` found.
    void recordStart(const QByteArray &path, const StartRecord &record);

private:
    OutlineGrid &m_grid;
    QPointer<OutlineGrid> m_gridAlive; // to let go of the grid's handler only while it exists
    const Settings &m_settings;
    std::int32_t m_sizeFactor = 1;
    QString m_sizeUnit = QStringLiteral("B");
    QString m_sizeFormat = Settings::DefaultSizeFormat;
    std::array<int, static_cast<std::size_t>(TreePicture::Count)> m_pictureIds{};
    PictureSource m_pictureSource;
    ErrorSink m_errorSink;
    bool m_topSizeInUnit = false;
    std::uint64_t m_foldersAdded = 0;
    std::unordered_map<int, int> m_badged; // picture id -> the same picture with the warning badge
    QString m_rowText;                     // reused text buffer
    struct {
        int row = -1, col = -1;
        Fixed value;
    } m_lastWrite; // the cell writeValue() is writing, while its notification runs

    std::vector<UnreadableFolder> m_unreadable;
    std::vector<KeptFilesPtr> m_kept;
    QHash<QByteArray, StartRecord> m_starts; // by clean path
    std::size_t m_unreadableCount = 0;
    bool m_batch = false; // AddTreeRow is writing and carrying a row itself
    // The open folders of a deferred carry, outermost first, each with the change its cells
    // took that its parent has not yet.
    struct Pending {
        int row;
        std::array<Fixed, 3> delta;
    };
    std::vector<Pending> m_pending;
    std::array<Fixed, 3> m_uncarried{}; // values of rows added since the last flushCarry()
    bool m_deferred = false;

    void appendSizeText(QString &out, Fixed bytes, QChar dec) const;
    void carryUp(int row, int col);
    void carryNewRow(int row, std::array<Fixed, 3> values, bool newRow = true);
    void addToParent(int row, int parent, const std::array<Fixed, 3> &values, bool newRow,
                     Pending &gathered);
    void pendingFor(int parent);
    void popPending();
    bool fitsWhenCarried(const std::array<Fixed, 3> &values) const;
    AppError totalOverflowOf(int row) const;
    Fixed resumTopSize();
    Fixed sumOfRootSizes() const;
    void reportError(const std::exception &error);
    Fixed previousValue() const;
    void writeValue(int row, int col, Fixed value);
    QIcon iconFor(TreePicture picture) const;
};

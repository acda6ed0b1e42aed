#pragma once

#include "EventPace.h"
#include "FilePattern.h"
#include "Fixed.h"
#include "FolderListing.h"
#include "FolderReadAhead.h"
#include "InodeSet.h"
#include "KeptFiles.h"
#include "ScannedPath.h"
#include "SizeBasis.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MountTable;
class ScanTree;

/// The walk's parameters, set by the scan command before each walk.
struct SearchParams {
    bool Recurse = true;
    /// Directory entries looked at, over the whole run of the program; paces the abort test.
    std::uint32_t EntriesSeen = 0;
    QString Pattern = FilePattern::AllFiles;
    QString StartPath;
    /// What a file counts with.
    ::SizeBasis SizeBasis = ::SizeBasis::FileSize;
    /// Other file systems mounted below the start are not entered (like du -x).
    bool StayOnFileSystem = false;
    /// Folders not entered: ";"-separated patterns of names, or of full paths when they hold
    /// a "/".
    QString ExcludeFolders;
};

/// The folder walker: walks one start folder and everything below it into rows of the scan
/// tree, a folder row before each subfolder's contents and a files row after them.
///
/// Folders are read through directory descriptors, one pass over their entries, so no path length
/// limit applies; only files are stat'ed, and never through a symbolic link: a link is a file
/// of its own size, so the walk cannot loop. Kernel pseudo file systems (/proc and the like)
/// are not entered. A folder that cannot be read, or vanishes, gets an empty files row; a file
/// that vanishes before it is sized counts with size 0.
class mdlFileSearch {
public:
    explicit mdlFileSearch(ScanTree &tree);
    ~mdlFileSearch();
    mdlFileSearch(const mdlFileSearch &) = delete;
    mdlFileSearch &operator=(const mdlFileSearch &) = delete;

    SearchParams searchParams;
    /// Set by the Abort button; the walk stops with the abort error at its next check.
    bool AbortRequested = false;
    /// The Abort button, or an interrupt of the process (Interrupt.h).
    bool abortPending() const;

    void ResetSearchParams();

    /// Walks a folder (a path ending in "/"): `Level` is the outline level its children get,
    /// `FolderRow` its own row. Raises the abort error when an abort was requested.
    void SearchFolder(const QString &Path, int Level, int FolderRow);
    /// The same for a path given as the file system's bytes. `StartFd`, when given, is the
    /// folder already opened (a rescan reaches it from its scan's start without links), owned
    /// from here on; else the folder is opened by its path.
    void SearchFolder(const QByteArray &Path, int Level, int FolderRow, int StartFd = -1);
    /// The device and inode of the folder the last walk started in; unknown when it could not
    /// be opened.
    ScannedPath::Identity startIdentity() const { return m_startIdentity; }

    /// Lets the event loop run; called once per folder opened, after the totals gathered so
    /// far are carried up (ScanTree::flushCarry). Without one, processEvents() runs instead.
    using YieldFunction = std::function<void()>;
    void setYieldFunction(YieldFunction yield) { m_yield = std::move(yield); }
    /// Carries the gathered totals up and processes the application's pending events, unless
    /// this walker did so less than 10 ms ago.
    void processEvents();
    /// Inside a folder whose entries take long to read, the walk also yields, once this long
    /// has passed since its last yield, and stops there when an abort was requested.
    void setInFolderYieldGap(std::chrono::steady_clock::duration gap) { m_inFolderGap = gap; }
    /// Receives the first status panel's text (Path + name of the folder entered last). It is
    /// only stored per folder; the sink gets it at each yield and when a walk ends, since the
    /// panel can only repaint when the event loop turns.
    using StatusSink = std::function<void(const QString &)>;
    void setStatusSink(StatusSink sink) { m_statusSink = std::move(sink); }
    QString statusText() const;
    /// The system calls that list a folder, replaceable so that tests can refuse a folder, hide
    /// entry types or make a file vanish (see FolderReader).
    using OpenDirFunction = FolderReader::OpenDirFunction;
    void setOpenDirFunction(OpenDirFunction open) { m_reader.openDir = std::move(open); }
    void setReadDirFunction(FolderReader::ReadDirFunction read) {
        m_reader.readDir = std::move(read);
    }
    void setStatFunction(FolderReader::StatFunction stat) { m_reader.statAt = std::move(stat); }
    static int openDirectory(int dirFd, const char *name) {
        return FolderReader::openDirectory(dirFd, name);
    }
    /// Worker threads that open, list and size folders ahead of the walk, which takes their
    /// listings in its own order: 0 (the default) chooses by the machine's cores, -1 lets the
    /// walk's own thread make every system call itself. The rows, totals, yields and abort
    /// points are the same either way. The system-call functions above must then be safe to
    /// call from several threads at once.
    void setWorkers(int workers) { m_workers = workers; }
    int workers() const { return m_workers; }
    /// Bytes of listings the workers may read ahead of the walk.
    void setReadAheadCap(std::size_t bytes) { m_readAheadCap = bytes; }
    /// The most bytes of listings read ahead at once during the last walk with workers.
    std::size_t peakReadAheadBytes() const { return m_peakReadAhead; }
    /// At most this many folder descriptors are held open at once during a walk, however deep
    /// the tree; deeper folders are reached again from a held one.
    static constexpr std::size_t MaxHeldDescriptors = 64;
    /// Under a low limit of open files a walk holds fewer, down to this many.
    static constexpr std::size_t MinHeldDescriptors = 4;
    /// The descriptors a walk started now may hold: a quarter of the process's limit of open
    /// files (the rest is the program's), within MinHeldDescriptors and MaxHeldDescriptors.
    /// When opening a folder finds no descriptor free all the same, the walk gives up those it
    /// holds, holds fewer from then on, and reaches folders again by path.
    static std::size_t heldDescriptorCap();
    /// The most folder descriptors the last walk held open at once.
    std::size_t peakHeldDescriptors() const { return m_peakHeld; }
    /// Folders of the last (or running) walk that could not be listed, or only in part; each
    /// is marked in the tree with the reason (ScanTree::MarkUnreadable).
    std::size_t unreadableFolders() const { return m_unreadable; }
    /// In the disk basis, the files with more than one name met by the last walk, and the most
    /// memory their set took.
    std::size_t linkedFilesSeen() const { return m_linkedSeenCount; }
    std::size_t linkedSetPeakBytes() const { return m_linkedPeakBytes; }
    /// The mount table used to tell pseudo file systems; without one, the system's is read at
    /// the start of every walk.
    void setMountTable(std::shared_ptr<const MountTable> mounts);

    /// Where the walk keeps the scan's large files and type totals; none by default. Its
    /// threshold is read by the worker threads while the walk raises it.
    void setKeptFiles(KeptFilesPtr kept) { m_kept = std::move(kept); }
    const KeptFilesPtr &keptFiles() const { return m_kept; }

    static bool MatchesSpec(const QString &name, const QString &pattern);
    /// The size of a file (not following a final link); 0 when it cannot be looked up.
    static Fixed FileSizeOf(const QString &path);
    /// StripNul, then a "/" appended unless the text ends in one; empty gives "/".
    static QString NormalizePath(const QString &path);
    static QString StripNul(const QString &text);
    /// Whether the path names a folder (following links).
    static bool FolderExists(const QString &path);
    /// Trims spaces, then removes one trailing "/".
    static QString StripTrailingSlash(const QString &path);

private:
    /// A folder whose walk has begun and not ended: its listing and how far it is consumed.
    struct Frame {
        FolderListing listing;
        std::size_t next = 0; ///< next subfolder of the listing to enter
        int fd = -1;          ///< held while subfolders remain to be entered, within the bound
        int level = 0;        ///< the outline level of its children
        int folderRow = 0;
        qsizetype pathLength = 0;          ///< m_path up to and including this folder's "/"
        FolderReadAhead::FolderPtr folder; ///< the workers' record of it, when they read it
    };

    ScanTree &m_tree;
    YieldFunction m_yield;
    StatusSink m_statusSink;
    FolderReader m_reader;
    std::shared_ptr<const MountTable> m_mounts;
    bool m_mountsGiven = false;
    WalkLimits m_limits;         // folders below the start not entered
    qsizetype m_startLength = 0; // length of the start path within m_path
    EventPace m_pace;            // of the event loop's turns in processEvents()
    std::chrono::steady_clock::time_point m_lastYield; // of any kind, by this walker
    std::chrono::steady_clock::duration m_inFolderGap = std::chrono::milliseconds(10);
    QByteArray m_path;             // the folder being walked, ending in "/"
    QByteArray m_status;           // Path + name of the folder entered last, unless:
    qsizetype m_statusInPath = -1; // its length, while it is the start of m_path
    QString m_startName;           // column 0 of the start folder's row
    ScannedPath::Identity m_startIdentity;

    std::vector<Frame> m_frames;     // the walk's own stack, start folder first
    std::vector<std::size_t> m_held; // frames holding a descriptor, shallowest first
    std::size_t m_peakHeld = 0;
    std::size_t m_heldCap = MaxHeldDescriptors;
    std::size_t m_unreadable = 0;
    InodeSet m_linkedSeen; // multiply-linked files met so far, in the disk basis
    std::size_t m_linkedSeenCount = 0, m_linkedPeakBytes = 0;
    int m_workers = 0;
    std::size_t m_readAheadCap = FolderReadAhead::Options().memoryCap;
    std::size_t m_peakReadAhead = 0;
    std::unique_ptr<FolderReadAhead> m_readAhead; // during a walk with workers
    KeptFilesPtr m_kept;

    void walk(int startFd, int level, int folderRow, int openError);
    void enterFolder(int fd, int level, int folderRow, int openError);
    void enterListedFolder(FolderReadAhead::FolderPtr folder, int level, int folderRow);
    void noteUnreadable(int folderRow, int error);
    void enterNextSubfolder();
    void startReadAhead();
    void endReadAhead();
    void finishFolder();
    void countEntries(std::uint32_t entries);
    void countLinked(FolderListing &listing);
    void keepFiles(FolderListing &listing);
    void addTypes(const std::vector<FolderListing::TypeTotal> &types);
    void truncatePath(qsizetype length);
    QString folderName(std::size_t frame) const;
    bool prepareLimits(int startFd, const QByteArray &startPath);
    void yieldOnce();
    void yieldInFolder();
    void publishStatus();

    // Folder descriptors (mdlFileSearchDescriptors.cpp).
    int openSubfolder(std::size_t parent, const char *name);
    int openBelow(int dirFd, const char *name);
    int descriptorOf(std::size_t frame);
    void hold(std::size_t frame, int fd);
    void release(std::size_t frame);
    void evictOne();
    void releaseAll();
};

#include "mdlFileSearch.h"

#include "AppError.h"
#include "Interrupt.h"
#include "MountTable.h"
#include "NativeText.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "mdlDrives.h"
#include "yieldOnce.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <unordered_map>

mdlFileSearch::mdlFileSearch(ScanTree &tree) : m_tree(tree) {
    m_reader.onProgress = [this] { yieldInFolder(); };
}

mdlFileSearch::~mdlFileSearch() = default;

void mdlFileSearch::processEvents() {
    // A folder takes microseconds to walk, an event loop turn about as long again; turning it
    // once per slice of a few milliseconds keeps repaints and the Abort button just as prompt.
    if (!QCoreApplication::instance())
        return;
    m_pace.turnIfDue([this] {
        // What the window shows at a yield is exact: the totals gathered per open folder go up.
        m_tree.flushCarry();
        publishStatus();
        ::yieldOnce();
    });
}

void mdlFileSearch::ResetSearchParams() {
    searchParams.Recurse = true;
    searchParams.Pattern = FilePattern::AllFiles;
    searchParams.StartPath.clear();
    searchParams.SizeBasis = SizeBasis::FileSize;
    searchParams.StayOnFileSystem = false;
    searchParams.ExcludeFolders.clear();
}

void mdlFileSearch::setMountTable(std::shared_ptr<const MountTable> mounts) {
    m_mounts = std::move(mounts);
    m_mountsGiven = m_mounts != nullptr;
}

QString mdlFileSearch::statusText() const {
    if (m_statusInPath >= 0)
        return QString::fromUtf8(m_path.constData(), m_statusInPath);
    return QString::fromUtf8(m_status);
}

void mdlFileSearch::publishStatus() {
    if (m_statusSink)
        m_statusSink(statusText());
}

void mdlFileSearch::yieldOnce() {
    if (m_yield) {
        m_tree.flushCarry();
        publishStatus();
        m_yield();
    } else {
        processEvents();
    }
    m_lastYield = std::chrono::steady_clock::now();
}

// A folder of a few hundred thousand entries takes a noticeable time to read even from a warm
// cache; without these yields the window would not repaint, nor Abort act, until it was read.
void mdlFileSearch::yieldInFolder() {
    if (std::chrono::steady_clock::now() - m_lastYield < m_inFolderGap)
        return;
    yieldOnce();
    if (abortPending())
        throw AppError::scanAborted();
}

// Kernel pseudo file systems hold no disk space and must not be walked (/proc alone would add
// terabytes); other file systems are not walked either when the walk stays on the start's. They
// are found by mount point, once per walk: the start folder by its device, the folders below it
// by their path, so the walk needs no stat of its own per folder. Excluded folders are found by
// their name or path.
bool mdlFileSearch::prepareLimits(int startFd, const QByteArray &startPath) {
    m_limits.setExcluded(searchParams.ExcludeFolders);
    if (!m_mountsGiven)
        m_mounts = std::make_shared<const MountTable>(MountTable::current());
    struct stat st;
    if (::fstat(startFd, &st) != 0)
        return false;
    if (const MountEntry *own = m_mounts->findDevice(st.st_dev))
        if (mdlDrives::isPseudoFs(own->fsType))
            return false;

    QByteArray start = startPath;
    if (char *real = ::realpath(startPath.constData(), nullptr)) {
        start = real;
        std::free(real);
    }
    if (!start.endsWith('/'))
        start.append('/');
    std::unordered_map<std::string, bool> pseudoAt; // the last mount on a point wins
    for (const MountEntry &e : m_mounts->entries())
        if (e.mountPoint.startsWith(start) && e.mountPoint.size() > start.size())
            pseudoAt[(e.mountPoint.sliced(start.size()) + '/').toStdString()] =
                mdlDrives::isPseudoFs(e.fsType);
    for (const auto &[relative, pseudo] : pseudoAt)
        if (pseudo || searchParams.StayOnFileSystem)
            m_limits.addMount(QByteArray::fromStdString(relative),
                              pseudo ? WalkLimits::Skip::PseudoFileSystem
                                     : WalkLimits::Skip::OtherFileSystem);
    return true;
}

void mdlFileSearch::SearchFolder(const QString &Path, int Level, int FolderRow) {
    SearchFolder(QFile::encodeName(Path), Level, FolderRow);
}

void mdlFileSearch::SearchFolder(const QByteArray &Path, int Level, int FolderRow, int StartFd) {
    m_reader.pattern = FilePattern(searchParams.Pattern);
    m_reader.diskUsage = searchParams.SizeBasis == SizeBasis::DiskUsage;
    m_reader.keepAtLeast = m_kept ? m_kept->sharedThreshold() : nullptr;
    m_reader.keepAtMost = m_kept ? m_kept->cap() : SIZE_MAX;
    m_linkedSeen.clear();
    m_path = Path;
    if (!m_path.endsWith('/'))
        m_path.append('/');
    m_startLength = m_path.size();
    m_limits.reset(m_path);
    m_lastYield = std::chrono::steady_clock::now(); // the scan command has just yielded
    struct StatusOnExit {
        mdlFileSearch *self;
        ~StatusOnExit() {
            self->m_linkedSeenCount = self->m_linkedSeen.size();
            self->m_linkedPeakBytes = self->m_linkedSeen.peakBytes();
            self->m_linkedSeen.clear();
            if (self->m_kept) {
                std::vector<FolderListing::TypeTotal> left;
                self->m_reader.handOverTypes(left);
                self->addTypes(left);
                self->m_kept->finish();
            }
            self->truncatePath(0); // the next walk reuses the path
            self->publishStatus();
        }
    } statusOnExit{this};
    // With its trailing "/" the start path is opened even when it names a link to a folder.
    int fd = StartFd >= 0 ? StartFd : m_reader.openDir(AT_FDCWD, m_path.constData());
    const int openError = fd < 0 ? errno : 0;
    m_startIdentity = ScannedPath::Identity::ofDescriptor(fd);
    if (fd >= 0 && !prepareLimits(fd, Path)) {
        ::close(fd);
        fd = -1;
    }
    m_startName = m_tree.grid().text(FolderRow, TreeCol::Name);
    m_unreadable = 0;
    walk(fd, Level, FolderRow, openError);
}

// The walk keeps its own stack of folders begun and not ended, so no depth of tree can exhaust
// the thread's stack: the top folder either enters its next subfolder (pushing it) or, with
// none left, gets its files row and is popped. `startFd` (or -1) is owned from here on.
void mdlFileSearch::walk(int startFd, int level, int folderRow, int openError) {
    struct Unwind { // an abort or error leaves with folders still open
        mdlFileSearch *self;
        ~Unwind() {
            self->endReadAhead(); // the workers stop before the folders they read go
            self->releaseAll();
            self->m_frames.clear();
            if (self->m_tree.carryDeferred()) {
                // The rows added so far stay: their totals go up, as far as they can.
                try {
                    self->m_tree.endDeferredCarry();
                } catch (...) {
                }
            }
        }
    } unwind{this};
    m_tree.beginDeferredCarry();
    m_frames.clear();
    m_held.clear();
    m_peakHeld = 0;
    m_heldCap = heldDescriptorCap();
    FolderReadAhead::FolderPtr root;
    if (m_workers >= 0 && startFd >= 0) {
        startReadAhead();
        root = m_readAhead->start(startFd);
        if (!root) // no worker could be started: the walk reads every folder itself
            m_readAhead.reset();
    }
    if (root)
        enterListedFolder(std::move(root), level, folderRow);
    else
        enterFolder(startFd, level, folderRow, openError);
    while (!m_frames.empty()) {
        const Frame &top = m_frames.back();
        if (top.next < top.listing.subfolders.size())
            enterNextSubfolder();
        else
            finishFolder();
    }
    m_tree.endDeferredCarry();
}

// Pushes a folder whose row exists; `fd` is its descriptor, or -1 when it could not be opened
// (for the reason `openError`, 0 for a folder deliberately not entered), which leaves it an
// empty listing and so a files row of zeros.
void mdlFileSearch::enterFolder(int fd, int level, int folderRow, int openError) {
    Frame frame;
    frame.level = level;
    frame.folderRow = folderRow;
    frame.pathLength = m_path.size();
    m_frames.push_back(std::move(frame));
    if (fd < 0) {
        if (openError != 0)
            noteUnreadable(folderRow, openError);
        return;
    }
    const std::size_t index = m_frames.size() - 1;
    hold(index, fd);
    if (abortPending())
        throw AppError::scanAborted();
    yieldOnce();
    FolderListing &listing = m_frames[index].listing;
    try {
        m_reader.read(fd, listing);
    } catch (...) { // as when a worker reads it (FolderReadAhead::take)
        const int error = FolderReader::failureOfCurrentException();
        if (error == 0)
            throw;
        listing = FolderListing();
        listing.error = error;
    }
    if (listing.error != 0)
        noteUnreadable(m_frames[index].folderRow, listing.error);
    countLinked(listing);
    keepFiles(listing);
    if (!searchParams.Recurse || listing.subfolders.empty())
        release(index);
}

void mdlFileSearch::startReadAhead() {
    FolderReadAhead::Options options;
    options.workers = m_workers;
    options.memoryCap = m_readAheadCap;
    options.recurse = searchParams.Recurse;
    options.maxHeldDescriptors = m_heldCap;
    m_readAhead = std::make_unique<FolderReadAhead>(m_reader, m_limits, options);
    m_peakReadAhead = 0;
}

void mdlFileSearch::endReadAhead() {
    if (!m_readAhead)
        return;
    m_readAhead->stop();
    addTypes(m_readAhead->typesLeft());
    m_peakHeld = m_readAhead->peakHeldDescriptors();
    m_peakReadAhead = m_readAhead->peakReadAheadBytes();
    m_readAhead.reset();
}

// Pushes a folder whose row exists and takes its listing from the workers, waiting for it when
// they have not read it yet; the wait yields like the reading of a big folder does. A folder
// that could not be opened gets an empty listing, as in enterFolder().
void mdlFileSearch::enterListedFolder(FolderReadAhead::FolderPtr folder, int level, int folderRow) {
    Frame frame;
    frame.level = level;
    frame.folderRow = folderRow;
    frame.pathLength = m_path.size();
    frame.folder = std::move(folder);
    m_frames.push_back(std::move(frame));
    Frame &top = m_frames.back();
    const auto poll =
        std::clamp(std::chrono::duration_cast<std::chrono::milliseconds>(m_inFolderGap),
                   std::chrono::milliseconds(1), std::chrono::milliseconds(5));
    const bool opened =
        m_readAhead->take(top.folder, top.listing, m_reader, poll, [this] { yieldInFolder(); });
    if (top.listing.error != 0)
        noteUnreadable(folderRow, top.listing.error);
    if (!opened)
        return;
    countLinked(top.listing);
    keepFiles(top.listing);
    if (abortPending())
        throw AppError::scanAborted();
    yieldOnce();
}

// The next subfolder of the top folder: its row, then (when recursing) the folder itself on
// the stack, before the next entry of the top folder is looked at.
void mdlFileSearch::enterNextSubfolder() {
    const std::size_t index = m_frames.size() - 1;
    Frame &f = m_frames[index];
    const FolderListing::Subfolder sub = f.listing.subfolders[f.next++];
    countEntries(sub.entriesBefore);
    const char *name = f.listing.name(sub);
    const auto length = static_cast<qsizetype>(sub.nameLength);
    const qsizetype base = m_path.size();
    m_path.append(name, length).append('/');
    const int level = f.level;
    const int row = m_tree.AddTreeRow(QString::fromUtf8(name, length), level, RowKind::Folder,
                                      Fixed(), false, Fixed());
    // Below the start, a folder's path extends its parent's, which the walk stored itself, so
    // the paths of a deep tree share their common parts.
    if (index == 0)
        m_tree.grid().setRowDataBytes(row, m_path);
    else
        m_tree.grid().setRowDataExtending(row, f.folderRow, m_path.constData() + base, length + 1);
    m_statusInPath = m_path.size() - 1;
    if (!searchParams.Recurse) {
        truncatePath(base);
        countEntries(1);
        return;
    }
    // A folder not entered keeps its row, with a files row of zeros; one the user left out says
    // why, a pseudo file system is shown like a folder that cannot be read.
    const WalkLimits::Skip skip =
        m_limits.isEmpty() ? WalkLimits::Skip::None : m_limits.skipOf(m_path.sliced(m_startLength));
    if (skip != WalkLimits::Skip::None && skip != WalkLimits::Skip::PseudoFileSystem)
        m_tree.MarkNotEntered(row, WalkLimits::noteOf(skip));
    if (m_readAhead) { // the workers open it, or learn that it is not entered
        FolderReadAhead::FolderPtr sub = FolderReadAhead::subfolder(f.folder, f.next - 1);
        if (f.next == f.listing.subfolders.size()) {
            f.listing.releaseSubfolders();
            FolderReadAhead::releaseSubfolders(f.folder);
        }
        enterListedFolder(std::move(sub), level + 1, row);
        return;
    }
    const bool skipped = skip != WalkLimits::Skip::None;
    const int fd = skipped ? -1 : openSubfolder(index, name);
    const int openError = fd < 0 && !skipped ? (errno != 0 ? errno : ENOENT) : 0;
    if (f.next == f.listing.subfolders.size()) { // the folder's descriptor has done its work
        release(index);
        f.listing.releaseSubfolders();
    }
    enterFolder(fd, level + 1, row, openError);
}

// The folder's row is marked at once: a sort of its parent may move it later.
void mdlFileSearch::noteUnreadable(int folderRow, int error) {
    ++m_unreadable;
    m_tree.MarkUnreadable(folderRow, error);
}

void mdlFileSearch::finishFolder() {
    const std::size_t index = m_frames.size() - 1;
    Frame &f = m_frames[index];
    countEntries(f.listing.entriesAfter);
    release(index);
    // A sum beyond what can be counted ends the walk naming the folder; so does one of the
    // totals it adds to (AddTreeRow).
    if (f.listing.bytes > static_cast<unsigned __int128>(Fixed::MaxWhole))
        throw ScanTree::totalOverflow(NativeText::decode(m_path));
    m_tree.AddTreeRow(QStringLiteral("<Files in ") + folderName(index) + u'>', f.level,
                      RowKind::Files, Fixed::fromInt(static_cast<FixedRaw>(f.listing.bytes)), false,
                      Fixed::fromInt(f.listing.files));
    m_tree.folderDone(f.folderRow);
    OutlineGrid &grid = m_tree.grid();
    grid.sortNode(f.folderRow);
    grid.setOutlineState(f.folderRow, OutlineCollapsed);
    m_frames.pop_back();
    if (m_frames.empty())
        return;
    truncatePath(m_frames.back().pathLength);
    countEntries(1); // the subfolder's own entry counts once its walk is done
}

// The status text stays a prefix of the path until the path is cut shorter than it, and is
// copied out only then: copying it per folder would cost the square of the depth.
void mdlFileSearch::truncatePath(qsizetype length) {
    if (m_statusInPath >= length) {
        m_status = m_path.left(m_statusInPath);
        m_statusInPath = -1;
    }
    m_path.truncate(length);
}

// A file with several names counts where the walk meets it first, in the walk's own order (a
// folder's files before its subfolders'), and with 0 bytes wherever it meets it again; it is a
// large file and adds to its type only there.
void mdlFileSearch::countLinked(FolderListing &listing) {
    if (listing.linked.empty())
        return;
    std::vector<char> counted(listing.linked.size());
    for (std::size_t i = 0; i < listing.linked.size(); ++i) {
        const FolderListing::LinkedFile &file = listing.linked[i];
        if (!m_linkedSeen.insert(file.device, file.inode))
            continue;
        counted[i] = 1;
        listing.bytes += file.bytes;
        if (m_kept)
            m_kept->addType(file.extension, 0, file.bytes);
    }
    std::erase_if(listing.big, [&counted](const FolderListing::BigFile &big) {
        return big.linked != FolderListing::NotLinked && !counted[big.linked];
    });
    std::vector<FolderListing::LinkedFile>().swap(listing.linked);
}

// The large files and type totals a folder's listing gathered go to the scan's record of them.
void mdlFileSearch::keepFiles(FolderListing &listing) {
    if (!m_kept)
        return;
    addTypes(listing.types);
    m_kept->leftOut(listing.leftOutBelow);
    const char *names = listing.bigNames.data();
    m_kept->addFolderFiles(m_path, listing.big, [names](const FolderListing::BigFile &big) {
        return std::tuple(names + big.nameAt, big.bytes, big.mtime);
    });
    std::vector<FolderListing::TypeTotal>().swap(listing.types);
    std::vector<FolderListing::BigFile>().swap(listing.big);
    std::string().swap(listing.bigNames);
}

void mdlFileSearch::addTypes(const std::vector<FolderListing::TypeTotal> &types) {
    if (m_kept)
        for (const FolderListing::TypeTotal &type : types)
            m_kept->addType(type.extension, type.files, type.bytes);
}

// Every entry paces the abort test: at each 50th one the flag is looked at.
void mdlFileSearch::countEntries(std::uint32_t entries) {
    if (!abortPending()) {
        searchParams.EntriesSeen += entries;
        return;
    }
    for (; entries > 0; --entries)
        if (++searchParams.EntriesSeen % 50 == 0)
            throw AppError::scanAborted();
}

// The text of column 0 of a folder's row: the start folder's as given, a subfolder's its name.
QString mdlFileSearch::folderName(std::size_t frame) const {
    if (frame == 0)
        return m_startName;
    const qsizetype from = m_frames[frame - 1].pathLength;
    return QString::fromUtf8(m_path.constData() + from, m_frames[frame].pathLength - 1 - from);
}

bool mdlFileSearch::abortPending() const {
    return AbortRequested || Interrupt::requested();
}

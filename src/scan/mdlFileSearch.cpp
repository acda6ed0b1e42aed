#include "mdlFileSearch.h"

#include "AppError.h"
#include "MountTable.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "mdlDrives.h"
#include "yieldOnce.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// Every open folder on the way down holds a descriptor, so a deep tree needs many; the hard
// limit is usually far above the soft one.
void raiseDescriptorLimit() {
    struct rlimit lim;
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
        lim.rlim_cur = lim.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &lim);
    }
}

struct FdCloser {
    int fd;
    void close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    ~FdCloser() { close(); }
};

// The record getdents64 fills in; glibc declares no type for it.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

// Directory buffers: roomy near the top, small in deep chains, where one is held per level.
std::size_t dirBufferSize(std::size_t depth) {
    return depth < 32 ? 32768 : 4096;
}

bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

mdlFileSearch::mdlFileSearch(ScanTree &tree)
    : m_tree(tree), m_yield([this] { processEvents(); }), m_openDir(&mdlFileSearch::openDirectory) {
}

mdlFileSearch::~mdlFileSearch() = default;

void mdlFileSearch::processEvents() {
    // A folder takes microseconds to walk, an event loop turn about as long again; turning it at
    // most every few milliseconds keeps repaints and the Abort button just as prompt.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastEvents < std::chrono::milliseconds(10) || !QCoreApplication::instance())
        return;
    ::yieldOnce();
    m_lastEvents = std::chrono::steady_clock::now();
}

void mdlFileSearch::ResetSearchParams() {
    searchParams.Recurse = true;
    searchParams.Pattern = FilePattern::AllFiles;
    searchParams.StartPath.clear();
}

int mdlFileSearch::openDirectory(int dirFd, const char *name) {
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

void mdlFileSearch::setMountTable(std::shared_ptr<const MountTable> mounts) {
    m_mounts = std::move(mounts);
    m_mountsGiven = m_mounts != nullptr;
}

QString mdlFileSearch::statusText() const {
    return QString::fromUtf8(m_status);
}

void mdlFileSearch::publishStatus() {
    if (m_statusSink)
        m_statusSink(statusText());
}

void mdlFileSearch::yieldOnce() {
    publishStatus();
    if (m_yield)
        m_yield();
}

// Kernel pseudo file systems hold no disk space and must not be walked (/proc alone would add
// terabytes). They are found by mount point, once per walk: the start folder by its device,
// the folders below it by their path, so the walk needs no stat of its own per folder.
bool mdlFileSearch::preparePseudoMounts(int startFd, const QByteArray &startPath) {
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
        if (pseudo)
            m_pseudoBelow.insert(QByteArray::fromStdString(relative));
    return true;
}

void mdlFileSearch::SearchFolder(const QString &Path, int Level, int FolderRow) {
    SearchFolder(QFile::encodeName(Path), Level, FolderRow);
}

void mdlFileSearch::SearchFolder(const QByteArray &Path, int Level, int FolderRow) {
    raiseDescriptorLimit();
    m_pattern = FilePattern(searchParams.Pattern);
    m_path = Path;
    if (!m_path.endsWith('/'))
        m_path.append('/');
    m_startLength = m_path.size();
    m_pseudoBelow.clear();
    struct StatusOnExit {
        mdlFileSearch *self;
        ~StatusOnExit() { self->publishStatus(); }
    } statusOnExit{this};
    // With its trailing "/" the start path is opened even when it names a link to a folder.
    int fd = m_openDir(AT_FDCWD, m_path.constData());
    if (fd >= 0 && !preparePseudoMounts(fd, Path)) {
        ::close(fd);
        fd = -1;
    }
    walk(fd, Level, FolderRow, m_tree.grid().text(FolderRow, TreeCol::Name), 0);
}

// One folder: its subfolders' rows (each followed by its subtree), then its files row. `fd`
// is the folder's descriptor (or -1 when it could not be opened), which this call owns.
//
// Entries are read with getdents64 into a buffer per depth rather than through readdir, which
// would stat and fcntl every folder again when it wraps the descriptor.
void mdlFileSearch::walk(int fd, int level, int folderRow, const QString &folderName,
                         std::size_t depth) {
    OutlineGrid &grid = m_tree.grid();
    qint64 files = 0, bytes = 0;
    FdCloser closer{fd};
    if (closer.fd >= 0) {
        if (AbortRequested)
            throw AppError::scanAborted();
        yieldOnce();
        // Deeper levels may grow the list while this level still reads from its buffer, so
        // the buffers themselves never move.
        if (m_buffers.size() <= depth)
            m_buffers.resize(depth + 1);
        if (!m_buffers[depth])
            m_buffers[depth] = std::make_unique<char[]>(dirBufferSize(depth));
        char *const buf = m_buffers[depth].get();
        const qsizetype base = m_path.size();
        for (;;) {
            const long got = ::syscall(SYS_getdents64, closer.fd, buf, dirBufferSize(depth));
            if (got <= 0) // end, or the folder vanished or turned unreadable
                break;
            for (long pos = 0; pos < got;) {
                const auto *de = reinterpret_cast<const LinuxDirent64 *>(buf + pos);
                pos += de->d_reclen;
                const char *name = de->d_name;
                unsigned char type = de->d_type;
                struct stat st;
                bool statted = false;
                if (type == DT_UNKNOWN) { // some file systems do not fill in the type
                    statted = ::fstatat(closer.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
                    type = statted && S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
                }
                if (type == DT_DIR) {
                    if (!isDotOrDotDot(name)) {
                        const auto len = static_cast<qsizetype>(std::strlen(name));
                        m_path.append(name, len).append('/');
                        const QString folder = QString::fromUtf8(name, len);
                        const int row = m_tree.AddTreeRow(folder, level, RowKind::Folder, Fixed(),
                                                          false, Fixed());
                        grid.setRowDataBytes(row, m_path);
                        // Copied into the buffer it already has: no allocation per folder.
                        m_status.resize(m_path.size() - 1);
                        std::memcpy(m_status.data(), m_path.constData(), m_status.size());
                        if (searchParams.Recurse) {
                            // A pseudo file system below is treated like a folder that cannot
                            // be read.
                            const bool pseudo =
                                !m_pseudoBelow.isEmpty() &&
                                m_pseudoBelow.contains(m_path.sliced(m_startLength));
                            walk(pseudo ? -1 : m_openDir(closer.fd, name), level + 1, row, folder,
                                 depth + 1);
                        }
                        m_path.truncate(base);
                    }
                } else if (m_pattern.matchesAll() || m_pattern.matches(name, std::strlen(name))) {
                    ++files;
                    // A file that vanished since it was listed counts with size 0.
                    if (statted || ::fstatat(closer.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                        if (__builtin_add_overflow(bytes, static_cast<qint64>(st.st_size), &bytes))
                            throw AppError::overflow();
                }
                if (++searchParams.EntriesSeen % 50 == 0 && AbortRequested)
                    throw AppError::scanAborted();
            }
        }
        closer.close();
    }
    m_tree.AddTreeRow(QStringLiteral("<Files in ") + folderName + u'>', level, RowKind::Files,
                      Fixed::fromInt(bytes), false, Fixed::fromInt(files));
    grid.sortNode(folderRow);
    grid.setOutlineState(folderRow, OutlineCollapsed);
}

#include "ItemActions.h"

#include "NativePath.h"
#include "ShellLauncher.h"

#include <QDateTime>
#include <QMimeData>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace ItemActions {
namespace {

// A file descriptor closed on every way out.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd &operator=(Fd &&other) noexcept {
        if (this != &other) {
            if (fd >= 0)
                ::close(fd);
            fd = other.release();
        }
        return *this;
    }
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

Result refused(const QByteArray &path, int error) {
    return {NativePath::display(path) + QStringLiteral(": ") + qt_error_string(error)};
}

Result refused(const QString &reason) {
    return {reason};
}

bool isWithin(const QByteArray &path, const QByteArray &root) {
    return path == root || root == "/" || path.startsWith(root + '/');
}

// What the deletion needs to know of a file: its type, identity and mount. A mount point, of
// another file system or a bind mount of the same one, shows as a device or mount ID of its own.
struct Status {
    mode_t mode = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t mount = 0; // 0 where the kernel gives no mount ID
    bool sameMount(const Status &other) const {
        return dev == other.dev && (mount == 0 || other.mount == 0 || mount == other.mount);
    }
    bool sameFile(const Status &other) const { return dev == other.dev && ino == other.ino; }
};

// The status of `name` in `dirFd`, never through a link; an empty name is `dirFd` itself.
int statusAt(int dirFd, const char *name, Status &st) {
    struct statx sx {};
    const int flags = *name ? AT_SYMLINK_NOFOLLOW : AT_EMPTY_PATH;
    if (::statx(dirFd, name, flags, STATX_TYPE | STATX_INO | STATX_MNT_ID, &sx) != 0)
        return errno;
    st.mode = sx.stx_mode;
    st.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    st.ino = sx.stx_ino;
    st.mount = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    return 0;
}

// The item's clean path, its folder opened (reached from the scanned folder, never through a
// link) and its own status; a non-empty reason when any of it fails.
struct Target {
    QByteArray path, parent, name;
    std::unique_ptr<Fd> parentFd;
    Status st, parentSt;
    Result problem;
};

Target locate(const QByteArray &path, const ScannedPath::Start &within, bool rootAllowed,
              bool folder) {
    Target t;
    t.path = NativePath::clean(path);
    const QByteArray root = NativePath::clean(within.path);
    if (path.isEmpty() || root.isEmpty() || !isWithin(t.path, root) || t.path == "/" ||
        (!rootAllowed && t.path == root)) {
        t.problem = refused(NativePath::display(t.path) +
                            QStringLiteral(": only what lies inside a scanned folder is removed."));
        return t;
    }
    t.parent = NativePath::parentOf(t.path);
    t.name = NativePath::fileNameOf(t.path);
    if (t.path == root) {
        // The scanned folder itself: its name in its folder must still be that folder.
        t.parentFd =
            std::make_unique<Fd>(::open(t.parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (t.parentFd->fd < 0) {
            t.problem = refused(t.parent, errno);
            return t;
        }
    } else {
        ScannedPath::Opened folder = ScannedPath::openFolder(within, t.parent);
        t.parentFd = std::make_unique<Fd>(folder.fd);
        if (!folder.ok()) {
            t.problem = refused(folder.problem);
            return t;
        }
    }
    if (const int error = statusAt(t.parentFd->fd, t.name.constData(), t.st))
        t.problem = refused(t.path, error);
    else if (const int error = statusAt(t.parentFd->fd, "", t.parentSt))
        t.problem = refused(t.parent, error);
    else if ((folder && !S_ISDIR(t.st.mode)) ||
             (t.path == root && (t.st.dev != within.identity.device ||
                                 t.st.ino != within.identity.inode || !S_ISDIR(t.st.mode))))
        t.problem = refused(ScannedPath::replacedText(t.path));
    return t;
}

// Makes a folder the user alone may use, when it is missing; true when it is there, a real
// folder (not a link) afterwards.
bool ensurePrivateFolder(const QByteArray &path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
        errno = S_ISDIR(st.st_mode) ? EPERM : ENOTDIR;
        return false;
    }
    return true;
}

QByteArray homeDataFolder() {
    const QByteArray xdg = qgetenv("XDG_DATA_HOME");
    if (xdg.startsWith('/'))
        return NativePath::clean(xdg);
    return NativePath::clean(qgetenv("HOME") + "/.local/share");
}

// The device of a folder, or of the nearest folder above it that exists (the home trash is
// made when it is missing).
bool deviceOf(QByteArray path, dev_t &dev) {
    struct stat st;
    while (::stat(path.constData(), &st) != 0) {
        if (errno != ENOENT || path == "/")
            return false;
        path = NativePath::parentOf(path);
    }
    dev = st.st_dev;
    return true;
}

// Makes the missing folders of `path`, each for the user alone.
bool makePath(const QByteArray &path) {
    if (path == "/" || ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST)
        return true;
    return errno == ENOENT && makePath(NativePath::parentOf(path)) &&
           (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST);
}

// The top folder of the file system that holds `path` (whose device is `dev`).
QByteArray topFolderOf(QByteArray path, dev_t dev) {
    while (path != "/") {
        const QByteArray up = NativePath::parentOf(path);
        struct stat st;
        if (::lstat(up.constData(), &st) != 0 || st.st_dev != dev)
            break;
        path = up;
    }
    return path;
}

struct TrashPlace {
    QByteArray folder;   // holds "files" and "info"
    QByteArray infoBase; // what the info's Path is relative to; empty for absolute paths
};

// The trash an item of device `dev` at `path` goes to, by the freedesktop trash rules.
bool trashFor(const QByteArray &path, dev_t dev, TrashPlace &place) {
    const QByteArray data = homeDataFolder();
    dev_t homeDev = 0;
    if (deviceOf(data, homeDev) && homeDev == dev) {
        place = {data + "/Trash", {}};
        return makePath(data) && ensurePrivateFolder(place.folder);
    }
    struct stat st;
    const QByteArray top = topFolderOf(path, dev);
    const QByteArray uid = QByteArray::number(static_cast<qulonglong>(::getuid()));
    const QByteArray shared = (top == "/" ? QByteArray() : top) + "/.Trash";
    // The shared trash counts only as a real, sticky folder; else the user's own.
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        place = {shared + '/' + uid, top};
        if (ensurePrivateFolder(place.folder))
            return true;
    }
    place = {shared + '-' + uid, top};
    return ensurePrivateFolder(place.folder);
}

QByteArray infoText(const QByteArray &path, const QByteArray &infoBase) {
    QByteArray shown = path;
    if (!infoBase.isEmpty() && infoBase != "/")
        shown = path.sliced(infoBase.size() + 1);
    return "[Trash Info]\nPath=" + shown.toPercentEncoding("/") + "\nDeletionDate=" +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
           '\n';
}

// Set for a folder that was moved away while it was being deleted.
constexpr int Moved = -1;

// Removes what is in the folder `fd` (owned here), whose status is `top`, or with `remove`
// false only checks that nothing is mounted anywhere below it. It holds one descriptor however
// deep the tree: a subfolder is entered from its folder's descriptor with O_NOFOLLOW, and the
// way back up is the subfolder's "..", checked to be the folder it was entered from. Each
// folder is listed once, on entering it: its files go (or are checked) then, its subfolders'
// names wait on a stack. `where` gets the path of what stopped it.
int clearFolder(int fd, const Status &top, bool remove, QByteArray &where) {
    struct Level {
        QByteArray name;
        Status st;
        std::vector<QByteArray> subfolders;
        std::size_t next = 0;
    };
    std::vector<Level> levels;
    Fd here(fd);
    const QByteArray base = where;
    const auto pathTo = [&](const QByteArray &name) {
        QByteArray path = base;
        for (std::size_t k = 1; k < levels.size(); ++k)
            path += '/' + levels[k].name;
        return name.isEmpty() ? path : path + '/' + name;
    };
    const auto fail = [&](const QByteArray &name, int error) {
        where = pathTo(name);
        return error;
    };
    // Lists the folder just entered.
    const auto list = [&](Level &level) {
        DIR *dir = ::fdopendir(::fcntl(here.fd, F_DUPFD_CLOEXEC, 0));
        if (!dir)
            return fail({}, errno);
        const std::unique_ptr<DIR, int (*)(DIR *)> closer(dir, ::closedir);
        while (true) {
            errno = 0;
            const dirent *entry = ::readdir(dir);
            if (!entry)
                return errno ? fail({}, errno) : 0;
            const char *name = entry->d_name;
            if (!qstrcmp(name, ".") || !qstrcmp(name, ".."))
                continue;
            Status st;
            if (const int error = statusAt(here.fd, name, st))
                return error == ENOENT ? 0 : fail(name, error);
            if (!st.sameMount(top))
                return fail(name, EXDEV);
            if (S_ISDIR(st.mode))
                level.subfolders.emplace_back(name);
            else if (remove && ::unlinkat(here.fd, name, 0) != 0 && errno != ENOENT)
                return fail(name, errno);
        }
    };
    levels.push_back({{}, top, {}, 0});
    if (const int error = list(levels.back()))
        return error;
    while (true) {
        Level &level = levels.back();
        if (level.next < level.subfolders.size()) {
            const QByteArray name = level.subfolders[level.next++];
            const int sub = ::openat(here.fd, name.constData(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                if (errno == ENOENT)
                    continue;
                return fail(name, errno);
            }
            Fd opened(sub);
            Status st;
            if (const int error = statusAt(sub, "", st))
                return fail(name, error);
            if (!st.sameMount(top))
                return fail(name, EXDEV);
            here = std::move(opened);
            levels.push_back({name, st, {}, 0});
            if (const int error = list(levels.back()))
                return error;
            continue;
        }
        if (levels.size() == 1)
            return 0;
        Fd up(::openat(here.fd, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        Status upSt;
        const QByteArray name = level.name;
        if (up.fd < 0 || statusAt(up.fd, "", upSt) != 0)
            return fail({}, up.fd < 0 ? errno : EIO);
        if (!upSt.sameFile(levels[levels.size() - 2].st))
            return fail({}, Moved);
        levels.pop_back();
        here = std::move(up);
        if (remove && ::unlinkat(here.fd, name.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            return fail(name, errno);
    }
}

} // namespace

Result moveToTrash(const QByteArray &path, const ScannedPath::Start &within, bool folder) {
    Target t = locate(path, within, true, folder);
    if (!t.problem.ok())
        return t.problem;
    TrashPlace place;
    if (!trashFor(t.path, t.st.dev, place))
        return refused(NativePath::display(t.path) +
                       QStringLiteral(": there is no trash for it (") + qt_error_string(errno) +
                       QStringLiteral(")."));
    if (place.folder.startsWith(t.path + '/'))
        return refused(NativePath::display(t.path) +
                       QStringLiteral(": it holds the trash folder itself."));
    for (const char *sub : {"/files", "/info"})
        if (!ensurePrivateFolder(place.folder + sub))
            return refused(place.folder + sub, errno);
    const Fd files(::open((place.folder + "/files").constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const Fd info(::open((place.folder + "/info").constData(),
                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (files.fd < 0 || info.fd < 0)
        return refused(place.folder, errno);
    const QByteArray text = infoText(t.path, place.infoBase);
    for (int n = 1; n < 10000; ++n) {
        const QByteArray name = n == 1 ? t.name : t.name + '.' + QByteArray::number(n);
        const QByteArray infoName = name + ".trashinfo";
        // The info file claims the name; an item already in the trash under it moves us on.
        Fd out(::openat(info.fd, infoName.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (out.fd < 0) {
            if (errno == EEXIST)
                continue;
            return refused(place.folder + "/info", errno);
        }
        const bool written = ::write(out.fd, text.constData(),
                                     static_cast<std::size_t>(text.size())) == text.size() &&
                             ::close(out.release()) == 0;
        const int error = errno;
        // The rename never replaces what another program put at the name meanwhile.
        int renamed = -1;
        if (written) {
            renamed = ::renameat2(t.parentFd->fd, t.name.constData(), files.fd, name.constData(),
                                  RENAME_NOREPLACE);
            if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
                // A file system without the flag: the name is checked just before instead.
                struct stat taken;
                if (::fstatat(files.fd, name.constData(), &taken, AT_SYMLINK_NOFOLLOW) == 0)
                    errno = EEXIST;
                else
                    renamed =
                        ::renameat(t.parentFd->fd, t.name.constData(), files.fd, name.constData());
            }
        }
        if (renamed == 0)
            return {};
        const int renameError = written ? errno : error;
        ::unlinkat(info.fd, infoName.constData(), 0);
        if (renameError == EEXIST)
            continue;
        if (renameError == EXDEV)
            return refused(NativePath::display(t.path) +
                           QStringLiteral(": the trash is on another file system."));
        return refused(t.path, renameError);
    }
    return refused(t.path, EEXIST);
}

Result deletePermanently(const QByteArray &path, const ScannedPath::Start &within, bool folder) {
    Target t = locate(path, within, false, folder);
    if (!t.problem.ok())
        return t.problem;
    const auto mounted = [](const QByteArray &where) {
        return Result{NativePath::display(where) +
                          QStringLiteral(": another file system is mounted there; nothing "
                                         "was deleted."),
                      false};
    };
    if (!t.st.sameMount(t.parentSt))
        return mounted(t.path);
    folder = S_ISDIR(t.st.mode);
    if (folder) {
        // A first pass finds a mount before anything is gone.
        for (const bool remove : {false, true}) {
            const int fd = ::openat(t.parentFd->fd, t.name.constData(),
                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            QByteArray where = t.path;
            Status opened;
            int error = fd < 0 ? errno : statusAt(fd, "", opened);
            if (!error && !opened.sameFile(t.st))
                error = Moved;
            if (fd >= 0)
                error = error ? (::close(fd), error) : clearFolder(fd, t.st, remove, where);
            if (error == EXDEV)
                return remove ? Result{mounted(where).reason, true} : mounted(where);
            if (error == Moved)
                return {NativePath::display(where) +
                            QStringLiteral(": it was moved while it was being deleted; the rest "
                                           "was left alone."),
                        remove};
            if (error)
                return {refused(where, error).reason, remove};
        }
    }
    if (::unlinkat(t.parentFd->fd, t.name.constData(), folder ? AT_REMOVEDIR : 0) != 0)
        return {refused(t.path, errno).reason, folder};
    return {};
}

QString terminalProgram() {
    const QString chosen = qEnvironmentVariable("TERMINAL").trimmed();
    return chosen.isEmpty() ? QStringLiteral("x-terminal-emulator") : chosen;
}

bool openTerminal(const QByteArray &folder, ShellLauncher &launcher) {
    return launcher.startDetachedIn(terminalProgram(), {}, folder);
}

QMimeData *pathMimeData(const QByteArray &path) {
    auto *data = new QMimeData;
    data->setText(NativePath::display(path));
    data->setData(QStringLiteral("text/uri-list"), NativePath::fileUri(path).toLatin1() + "\r\n");
    return data;
}

} // namespace ItemActions

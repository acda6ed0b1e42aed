#include "ItemActions.h"

#include "NativePath.h"
#include "ShellLauncher.h"

#include <QDateTime>
#include <QMimeData>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace ItemActions {
namespace {

// A file descriptor closed on every way out.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
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

// The item's clean path, its folder opened and its own status (not through a link), checked to
// lie within `within`; a non-empty reason when any of it fails.
struct Target {
    QByteArray path, parent, name;
    std::unique_ptr<Fd> parentFd;
    struct stat st {};
    Result problem;
};

Target locate(const QByteArray &path, const QByteArray &within, bool rootAllowed) {
    Target t;
    t.path = NativePath::clean(path);
    const QByteArray root = NativePath::clean(within);
    if (path.isEmpty() || within.isEmpty() || !isWithin(t.path, root) || t.path == "/" ||
        (!rootAllowed && t.path == root)) {
        t.problem = refused(NativePath::display(t.path) +
                            QStringLiteral(": only what lies inside a scanned folder is removed."));
        return t;
    }
    t.parent = NativePath::parentOf(t.path);
    t.name = NativePath::fileNameOf(t.path);
    t.parentFd =
        std::make_unique<Fd>(::open(t.parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (t.parentFd->fd < 0)
        t.problem = refused(t.parent, errno);
    else if (::fstatat(t.parentFd->fd, t.name.constData(), &t.st, AT_SYMLINK_NOFOLLOW) != 0)
        t.problem = refused(t.path, errno);
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

// Removes what is in the folder `fd` (owned here), or with `remove` false only checks that no
// other file system is mounted anywhere below it. `where` names the item that stopped it.
int clearFolder(int fd, dev_t dev, bool remove, QByteArray &where) {
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return errno;
    }
    const std::unique_ptr<DIR, int (*)(DIR *)> closer(dir, ::closedir);
    const QByteArray here = where;
    while (true) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry)
            return errno;
        const char *name = entry->d_name;
        if (!qstrcmp(name, ".") || !qstrcmp(name, ".."))
            continue;
        where = here + '/' + name;
        struct stat st;
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno;
        if (st.st_dev != dev)
            return EXDEV;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0)
                return errno;
            if (const int error = clearFolder(sub, dev, remove, where))
                return error;
        }
        if (remove && ::unlinkat(fd, name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0)
            return errno;
    }
}

} // namespace

Result moveToTrash(const QByteArray &path, const QByteArray &within) {
    Target t = locate(path, within, true);
    if (!t.problem.ok())
        return t.problem;
    TrashPlace place;
    if (!trashFor(t.path, t.st.st_dev, place))
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
        struct stat taken;
        if (::fstatat(files.fd, name.constData(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
            ::unlinkat(info.fd, infoName.constData(), 0);
            continue;
        }
        const bool written = ::write(out.fd, text.constData(),
                                     static_cast<std::size_t>(text.size())) == text.size() &&
                             ::close(out.release()) == 0;
        const int error = errno;
        if (written &&
            ::renameat(t.parentFd->fd, t.name.constData(), files.fd, name.constData()) == 0)
            return {};
        const int renameError = written ? errno : error;
        ::unlinkat(info.fd, infoName.constData(), 0);
        if (renameError == EXDEV)
            return refused(NativePath::display(t.path) +
                           QStringLiteral(": the trash is on another file system."));
        return refused(t.path, renameError);
    }
    return refused(t.path, EEXIST);
}

Result deletePermanently(const QByteArray &path, const QByteArray &within) {
    Target t = locate(path, within, false);
    if (!t.problem.ok())
        return t.problem;
    if (S_ISDIR(t.st.st_mode)) {
        // A first pass finds a mounted file system before anything is gone.
        for (const bool remove : {false, true}) {
            const int fd = ::openat(t.parentFd->fd, t.name.constData(),
                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            QByteArray where = t.path;
            const int error = fd < 0 ? errno : clearFolder(fd, t.st.st_dev, remove, where);
            if (error == EXDEV)
                return {NativePath::display(where) +
                            QStringLiteral(": another file system is mounted there; nothing "
                                           "was deleted."),
                        false};
            if (error)
                return {refused(where, error).reason, remove};
        }
    }
    if (::unlinkat(t.parentFd->fd, t.name.constData(), S_ISDIR(t.st.st_mode) ? AT_REMOVEDIR : 0) !=
        0)
        return {refused(t.path, errno).reason, S_ISDIR(t.st.st_mode)};
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

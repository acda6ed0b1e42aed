#include "ReplacingFile.h"

#include "Interrupt.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <deque>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int MaxLinks = 40; // as the kernel allows on one path
// The permissions a replaced file passes on; set-id bits are not, the new contents being no
// program the old file's owner vouched for.
constexpr mode_t KeptMode = 01777;

[[noreturn]] void throwError(int code, const QString &what) {
    throw std::system_error(code != 0 ? code : EIO, std::generic_category(), what.toStdString());
}

// Owns a descriptor until it is handed on.
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset(int f = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = f;
    }
    int release() { return std::exchange(fd, -1); }
};

bool trustedOwner(uid_t uid) {
    return uid == geteuid() || uid == 0;
}

// Whether a link may be followed: nobody but the user (or root) can have made it or swapped it.
bool trustedLink(const struct stat &folder, const struct stat &link) {
    if (!trustedOwner(link.st_uid) || !trustedOwner(folder.st_uid))
        return false;
    const bool othersWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !othersWrite || (folder.st_mode & S_ISVTX) != 0;
}

QString shown(const QByteArray &path) {
    return QFile::decodeName(path.isEmpty() ? QByteArray(".") : path);
}

struct Location {
    int folder = -1;
    QByteArray name;
    bool exists = false;
    struct stat st {};
};

// Walks `path` one name at a time from descriptors, following links only where trustedLink()
// allows. For a file, the last name may be missing; when it exists it must be a regular file.
// For folders, every name is a folder, and missing ones are made.
enum class Walk { ToFile, MakingFolders };
Location locate(const QByteArray &path, Walk walk = Walk::ToFile) {
    std::deque<QByteArray> rest;
    for (const QByteArray &piece : path.split('/'))
        if (!piece.isEmpty() && piece != ".")
            rest.push_back(piece);
    if (rest.empty() && walk == Walk::ToFile)
        throwError(EISDIR, QStringLiteral("Cannot write to the folder ") + shown(path));
    const auto openStart = [](bool absolute) {
        const int fd = ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            throwError(errno, QStringLiteral("Cannot open the folder ") + (absolute ? "/" : "."));
        return fd;
    };
    Fd folder(openStart(path.startsWith('/')));
    QByteArray at = path.startsWith('/') ? QByteArray("") : QByteArray(); // shown folder path
    int links = 0;
    // The file's folder, opened for listing and syncing, and the file's name in it.
    const auto found = [&](const QByteArray &name, const struct stat *existing) {
        Location location;
        location.folder = ::openat(folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        // A folder the user may write but not list: written without listing or syncing it.
        if (location.folder < 0 && errno == EACCES)
            location.folder = ::fcntl(folder.fd, F_DUPFD_CLOEXEC, 0);
        if (location.folder < 0)
            throwError(errno, QStringLiteral("Cannot open the folder ") + shown(at));
        location.name = name;
        location.exists = existing != nullptr;
        if (existing)
            location.st = *existing;
        return location;
    };
    while (!rest.empty()) {
        const QByteArray name = rest.front();
        rest.pop_front();
        const bool last = rest.empty() && walk == Walk::ToFile;
        const QByteArray here = at + (path.startsWith('/') || !at.isEmpty() ? "/" : "") + name;
        struct stat st {};
        if (::fstatat(folder.fd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last && name != "..")
                return found(name, nullptr);
            if (errno == ENOENT && walk == Walk::MakingFolders &&
                (::mkdirat(folder.fd, name.constData(), 0777) == 0 || errno == EEXIST)) {
                rest.push_front(name); // looked at again: made here, or by someone else
                continue;
            }
            throwError(errno, QStringLiteral("Cannot create ") + shown(path));
        }
        if (S_ISLNK(st.st_mode)) {
            struct stat holder {};
            if (::fstat(folder.fd, &holder) != 0)
                throwError(errno, QStringLiteral("Cannot open the folder ") + shown(at));
            if (!trustedLink(holder, st))
                throwError(EPERM,
                           QStringLiteral("Refused to follow the link ") + shown(here) +
                               (here == path ? QString()
                                             : QStringLiteral(" on the way to ") + shown(path)) +
                               QStringLiteral(": another user owns it or can replace it"));
            if (++links > MaxLinks)
                throwError(ELOOP, QStringLiteral("Too many links on the way to ") + shown(path));
            QByteArray text(PATH_MAX, '\0');
            const ssize_t n = ::readlinkat(folder.fd, name.constData(), text.data(), text.size());
            if (n < 0 || n >= text.size())
                throwError(n < 0 ? errno : ENAMETOOLONG,
                           QStringLiteral("Cannot read the link ") + shown(here));
            text.truncate(n);
            const QList<QByteArray> pieces = text.split('/');
            for (auto it = pieces.crbegin(); it != pieces.crend(); ++it)
                if (!it->isEmpty() && *it != ".")
                    rest.push_front(*it);
            if (text.startsWith('/')) {
                folder.reset(openStart(true));
                at = "";
            }
            if (rest.empty() && walk == Walk::ToFile)
                throwError(EISDIR, QStringLiteral("Cannot write to the folder ") + shown(here));
            continue;
        }
        if (last && name != "..") {
            if (S_ISDIR(st.st_mode))
                throwError(EISDIR, QStringLiteral("Cannot replace the folder ") + shown(here));
            if (!S_ISREG(st.st_mode))
                throwError(EINVAL, QStringLiteral("Not a regular file: ") + shown(here));
            return found(name, &st);
        }
        // O_NOFOLLOW: a folder swapped for a link since the check above is not entered.
        const int next =
            ::openat(folder.fd, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            throwError(errno, QStringLiteral("Cannot create ") + shown(path));
        folder.reset(next);
        at = here;
    }
    if (walk == Walk::ToFile)
        throwError(EISDIR, QStringLiteral("Cannot write to the folder ") + shown(path));
    return Location{folder.release(), {}, true, {}};
}

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isTag(QByteArrayView text) {
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

// Whether users other than the owner may add, rename or remove names in the folder: a file found
// there may have been planted by any of them.
bool othersMayWrite(const struct stat &folder) {
    return (folder.st_mode & (S_IWOTH | S_ISVTX)) != 0;
}

} // namespace

bool ReplacingFile::renameExclusive(int folder, const QByteArray &from, const QByteArray &to) {
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link is just as exclusive.
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) != 0)
        return false;
    ::unlinkat(folder, from.constData(), 0);
    return true;
}

void ReplacingFile::makeFolders(const QString &path) {
    ::close(openFolders(path));
}

int ReplacingFile::openFolders(const QString &path) {
    return locate(QFile::encodeName(path), Walk::MakingFolders).folder;
}

QByteArray ReplacingFile::partialName(const QByteArray &name, quint32 tag) {
    return '.' + name + '.' + QByteArray::number(tag, 36) + ".part";
}

ReplacingFile::ReplacingFile(const QString &target) : m_target(target) {
    Location found = locate(QFile::encodeName(target));
    m_folder = found.folder;
    m_name = found.name;
    m_existed = found.exists;
    m_old = found.st;
    try {
        struct stat folder {};
        if (::fstat(m_folder, &folder) != 0)
            fail(errno, QStringLiteral("Cannot open the folder of"));
        m_sharedFolder = othersMayWrite(folder);
        removeStaleParts();
        createPart(m_name);
    } catch (...) {
        release();
        throw;
    }
}

ReplacingFile::~ReplacingFile() {
    release();
}

void ReplacingFile::release() noexcept {
    for (const auto &p : m_parts) {
        p->file.reset();
        if (!m_committed && stillOurs(p->part, p->created))
            ::unlinkat(m_folder, p->part.constData(), 0);
        ::close(p->fd);
    }
    m_parts.clear();
    if (m_folder >= 0)
        ::close(m_folder);
    m_folder = -1;
}

void ReplacingFile::fail(int code, const QString &what) const {
    throwError(code, what + u' ' + m_target);
}

ReplacingFile::Part &ReplacingFile::createPart(const QByteArray &final) {
    auto part = std::make_unique<Part>();
    part->final = final;
    // A replaced file's contents are never more visible than they were, even while written; in a
    // folder others may write, nobody else may write them either (see keepOldOwnerAndMode()).
    mode_t mode = m_existed ? (m_old.st_mode & 0666) : 0666;
    if (m_existed && m_sharedFolder)
        mode &= ~mode_t(S_IWGRP | S_IWOTH);
    for (int attempt = 0; part->fd < 0; ++attempt) {
        part->part = partialName(m_name, QRandomGenerator::system()->generate());
        part->fd = ::openat(m_folder, part->part.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (part->fd < 0 && (errno != EEXIST || attempt > 100))
            fail(errno, QStringLiteral("Could not create a file in the folder of"));
    }
    if (::fstat(part->fd, &part->created) != 0)
        fail(errno, QStringLiteral("Could not create a file in the folder of"));
    part->file = std::make_unique<CheckedFile>();
    if (!part->file->open(part->fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                          QFileDevice::DontCloseHandle))
        fail(EIO, QStringLiteral("Could not create a file in the folder of"));
    m_parts.push_back(std::move(part));
    return *m_parts.back();
}

QFile &ReplacingFile::addCompanion(const QString &suffix, QString *name) {
    QByteArray stem = m_name;
    const qsizetype dot = stem.lastIndexOf('.');
    if (dot > 0)
        stem.truncate(dot);
    const quint64 tag = QRandomGenerator::system()->generate64();
    const QByteArray final = stem + '-' + QByteArray::number(tag, 36).rightJustified(13, '0') +
                             QFile::encodeName(suffix);
    Part &part = createPart(final);
    if (name)
        *name = QFile::decodeName(final);
    return *part.file;
}

bool ReplacingFile::stillOurs(const QByteArray &name, const struct stat &created) const {
    struct stat now {};
    return ::fstatat(m_folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           sameFile(now, created);
}

void ReplacingFile::removeStaleParts() const {
    const int listing = ::openat(m_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return; // only tidying: the write itself reports what is wrong with the folder
    DIR *dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return;
    }
    const QByteArray prefix = '.' + m_name + '.', suffix = ".part";
    const time_t before = std::time(nullptr) - StaleSeconds;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (!name.startsWith(prefix) || !name.endsWith(suffix) ||
            !isTag(name.sliced(prefix.size()).chopped(suffix.size())))
            continue;
        struct stat st {};
        // Only the user's own leftovers: a shared folder may hold others' unfinished files.
        if (::fstatat(m_folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            !S_ISDIR(st.st_mode) && st.st_uid == geteuid() && st.st_mtime < before)
            ::unlinkat(m_folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

void ReplacingFile::keepOldOwnerAndMode(const Part &part) const {
    if (part.final != m_name || !m_existed)
        return;
    mode_t mode = m_old.st_mode & KeptMode;
    bool keepOwner = true;
    if (m_sharedFolder) {
        // A file of that name in a folder others may write may have been planted there to be
        // written by this user and handed back: the new file stays the user's, and only the
        // user may write it.
        mode &= ~mode_t(S_IWGRP | S_IWOTH);
        keepOwner = m_old.st_uid == geteuid();
    }
    // Owner and group are kept where the user may set them; elsewhere the file is the user's, as
    // a new one would be. The mode follows, as chown may change it.
    if (keepOwner && ::fchown(part.fd, m_old.st_uid, m_old.st_gid) != 0 && errno != EPERM)
        fail(errno, QStringLiteral("Could not keep the owner of"));
    if (::fchmod(part.fd, mode) != 0)
        fail(errno, QStringLiteral("Could not keep the permissions of"));
}

// Gives `name`, which must be free, to the file written through `part`: a link to the
// descriptor's own file, so whatever has the hidden name by now does not matter. 0 when done,
// -1 when the written file is no longer to be had, else the errno.
int ReplacingFile::linkNew(const Part &part, const QByteArray &name) const {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(part.fd);
    if (::linkat(AT_FDCWD, self.constData(), m_folder, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
        if (stillOurs(part.part, part.created))
            ::unlinkat(m_folder, part.part.constData(), 0);
        return 0;
    }
    const int code = errno;
    struct stat st {};
    if (code == ENOENT && ::fstat(part.fd, &st) == 0 && st.st_nlink == 0)
        return -1; // its hidden name was removed by someone else
    if (code != ENOENT || ::access("/proc/self/fd", F_OK) == 0)
        return code;
    // Without /proc, the file goes by its hidden name and is checked after: the name is a new
    // one, so what is removed when it is not ours held nothing of the user's.
    if (!renameExclusive(m_folder, part.part, name))
        return errno;
    if (stillOurs(name, part.created))
        return 0;
    ::unlinkat(m_folder, name.constData(), 0);
    return -1;
}

// Puts the file written through `part` in the place of the file at the target's name, or leaves
// that file where it is. 0 when done, -1 when what had the hidden name was not the written file,
// else the errno (ENOENT: nothing has the target's name).
int ReplacingFile::replaceOld(const Part &part) const {
    const char *hidden = part.part.constData(), *target = m_name.constData();
    if (::renameat2(m_folder, hidden, m_folder, target, RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
        // A file system that cannot exchange: renamed, and checked only after.
        if (::renameat(m_folder, hidden, m_folder, target) != 0)
            return errno;
        if (stillOurs(m_name, part.created))
            return 0;
        ::unlinkat(m_folder, target, 0);
        return -1;
    }
    // One step swapped the two names; the target now holds what had the hidden name.
    if (stillOurs(m_name, part.created)) {
        ::unlinkat(m_folder, hidden, 0); // the replaced file, under the hidden name now
        return 0;
    }
    ::renameat2(m_folder, hidden, m_folder, target, RENAME_EXCHANGE); // the old file goes back
    return -1;
}

void ReplacingFile::commit() {
    for (const auto &p : m_parts) {
        if (!p->file->flush())
            fail(errno, QStringLiteral("Could not write"));
        if (const int code = p->file->writeError())
            fail(code, QStringLiteral("Could not write"));
        keepOldOwnerAndMode(*p);
        if (::fsync(p->fd) != 0)
            fail(errno, QStringLiteral("Could not write"));
    }
    Interrupt::check(); // the last moment at which nothing has been replaced
    const auto swapped = [this](const Part &p) {
        fail(EEXIST, QStringLiteral("The unfinished file ") + QFile::decodeName(p.part) +
                         QStringLiteral(" was replaced by someone else; not saved:"));
    };
    for (const auto &p : m_parts)
        if (!stillOurs(p->part, p->created))
            swapped(*p);
    // The companions first, each under a name that must still be free; then the file itself,
    // so a report never names a picture that is not there.
    std::size_t placed = 1;
    const auto undoCompanions = [&] {
        for (std::size_t k = 1; k < placed; ++k)
            if (stillOurs(m_parts[k]->final, m_parts[k]->created))
                ::unlinkat(m_folder, m_parts[k]->final.constData(), 0);
    };
    for (; placed < m_parts.size(); ++placed) {
        const Part &p = *m_parts[placed];
        if (const int code = linkNew(p, p.final)) {
            undoCompanions();
            if (code < 0)
                swapped(p);
            fail(code, QStringLiteral("Could not save ") + QFile::decodeName(p.final) +
                           QStringLiteral(" for"));
        }
    }
    const Part &main = *m_parts.front();
    int code = m_existed ? replaceOld(main) : ENOENT;
    if (code == ENOENT) {
        code = linkNew(main, m_name);
        if (code == EEXIST) // the name was taken meanwhile: replaced as an old file would be
            code = replaceOld(main);
    }
    if (code != 0) {
        undoCompanions();
        if (code < 0)
            swapped(main);
        fail(code, QStringLiteral("Could not save"));
    }
    m_committed = true;
    if (::fsync(m_folder) != 0 && errno != EBADF)
        fail(errno, QStringLiteral("Could not save"));
}

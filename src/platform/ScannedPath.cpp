#include "ScannedPath.h"

#include "NativePath.h"

#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ScannedPath {

Identity Identity::ofDescriptor(int fd) {
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Identity Identity::ofPath(const QByteArray &path) {
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

QString replacedText(const QByteArray &folder) {
    return NativePath::display(folder) +
           QStringLiteral(": this is no longer the folder that was scanned (it was moved, "
                          "replaced or is now a link). Scan again to act on what is there now.");
}

Opened openFolder(const Start &start, const QByteArray &folder) {
    const QByteArray top = NativePath::clean(start.path);
    const QByteArray wanted = NativePath::clean(folder);
    const QByteArray prefix = top == "/" ? top : top + '/';
    if (top.isEmpty() || (wanted != top && !wanted.startsWith(prefix)))
        return {-1, NativePath::display(wanted) +
                        QStringLiteral(": it does not lie inside the scanned folder.")};
    int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {-1, NativePath::display(top) + QStringLiteral(": ") + qt_error_string(errno)};
    if (!start.identity.known() || Identity::ofDescriptor(fd) != start.identity) {
        ::close(fd);
        return {-1, replacedText(top)};
    }
    QByteArray reached = top;
    const QByteArray rest = wanted == top ? QByteArray() : wanted.sliced(prefix.size());
    for (const QByteArray &name : rest.split('/')) {
        if (name.isEmpty())
            continue;
        reached = reached == "/" ? reached + name : reached + '/' + name;
        const int next =
            name == ".." || name == "."
                ? (errno = EINVAL, -1)
                : ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(fd);
        if (next < 0)
            return {-1, error == ELOOP || error == ENOTDIR
                            ? replacedText(reached)
                            : NativePath::display(reached) + QStringLiteral(": ") +
                                  qt_error_string(error)};
        fd = next;
    }
    return {fd, {}};
}

} // namespace ScannedPath

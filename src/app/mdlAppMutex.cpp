#include "mdlAppMutex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mdlAppMutex {

namespace {

// Makes each missing folder of the path with mode 0700 (only the user may enter it).
bool makePrivatePath(const QString &path) {
    const QString clean = QDir::cleanPath(path);
    QString sofar;
    for (const QString &part : clean.split(u'/')) {
        sofar += part.isEmpty() && sofar.isEmpty() ? QStringLiteral("/") : part + u'/';
        if (part.isEmpty())
            continue;
        const QByteArray p = QFile::encodeName(sofar);
        if (::mkdir(p.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return ::stat(QFile::encodeName(clean).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

QString LockFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !makePrivatePath(cache))
        return QString();
    return cache;
}

int CreateAppMutex(const QString &folder) {
    const QString dir = folder.isEmpty() ? LockFolder() : folder;
    if (dir.isEmpty())
        return -1;
    const QByteArray path = QFile::encodeName(dir + u'/' + QString::fromLatin1(LockFileName));
    // O_NOFOLLOW: a link planted at the name must not make us create or lock its target.
    const int fd =
        ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace mdlAppMutex

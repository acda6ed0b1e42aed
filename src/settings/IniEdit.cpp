#include "IniEdit.h"

#include "ReplacingFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

bool sameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QByteArray readAll(int fd) {
    QByteArray out;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return out;
        out.append(buffer, n);
    }
}

} // namespace

IniEdit::IniEdit(const QString &file) : m_file(file) {
    const QByteArray path = QFile::encodeName(file);
    // The lock is on the file itself. A writer replaces the file by renaming a new one over
    // it, so a lock won on a file that is no longer the one at the path locks nothing: try
    // again on the new one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool created = false;
        int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            created = fd >= 0;
            if (fd < 0 && errno == EEXIST)
                continue;
        }
        if (fd < 0)
            return;
        int locked;
        do
            locked = ::flock(fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
        struct stat held, named;
        if (locked != 0 || ::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return;
        }
        if (::stat(path.constData(), &named) != 0 || !sameFile(held, named)) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
        m_created = created;
        m_read = readAll(fd);
        m_document = IniDocument(m_read);
        return;
    }
}

IniEdit::~IniEdit() {
    if (m_fd < 0)
        return;
    // An empty file made only to hold the lock is not left behind.
    if (m_created && !m_committed) {
        const QByteArray path = QFile::encodeName(m_file);
        struct stat held, named;
        if (::fstat(m_fd, &held) == 0 && held.st_size == 0 &&
            ::stat(path.constData(), &named) == 0 && sameFile(held, named))
            ::unlink(path.constData());
    }
    ::close(m_fd); // releases the lock
}

bool IniEdit::commit() {
    if (m_fd < 0)
        return false;
    const QByteArray bytes = m_document.bytes();
    if (bytes == m_read)
        return true;
    try {
        ReplacingFile out(m_file); // a new file beside it, synced to disk, then renamed
        if (out.file().write(bytes) != bytes.size())
            return false;
        out.commit();
    } catch (const std::system_error &) {
        return false;
    }
    m_committed = true;
    m_read = bytes;
    return true;
}

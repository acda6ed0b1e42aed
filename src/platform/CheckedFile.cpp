#include "CheckedFile.h"

#include <cerrno>

qint64 CheckedFile::writeData(const char *data, qint64 length) {
    if (m_writeError != 0) {
        errno = m_writeError;
        return -1;
    }
    errno = 0;
    const qint64 written = QFile::writeData(data, length);
    if (written != length) {
        m_writeError = errno != 0 ? errno : EIO;
        errno = m_writeError; // for a caller that reads it after a short write
    }
    return written;
}

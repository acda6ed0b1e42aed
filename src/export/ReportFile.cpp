#include "ReportFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace {

// Makes a new, empty file that nobody else holds: the name must not exist yet.
QString createFresh(const QString &target) {
    for (int attempt = 0;; ++attempt) {
        const QString name =
            ReportFile::partialName(target, QRandomGenerator::global()->generate());
        QFile file(name);
        // NewOnly creates with the usual permissions (0666 less the umask), as the report
        // would have had if written in place.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        const int code = errno != 0 ? errno : EIO;
        if (code != EEXIST || attempt > 100)
            throw std::system_error(code, std::generic_category(),
                                    "Could not create a file in the folder of " +
                                        target.toStdString());
    }
}

} // namespace

namespace ReportFile {

QString partialName(const QString &target, quint32 tag) {
    const QFileInfo info(target);
    return info.path() + QStringLiteral("/.") + info.fileName() + u'.' + QString::number(tag, 36) +
           QStringLiteral(".part");
}

bool writeReplacing(const QString &target, const Writer &writer) {
    QString finalName = target;
    const QFileInfo info(target);
    if (info.isSymLink())
        finalName = info.symLinkTarget();
    const QString fresh = createFresh(finalName);
    bool written = false;
    try {
        written = writer(fresh);
    } catch (...) {
        QFile::remove(fresh);
        throw;
    }
    if (!written) {
        QFile::remove(fresh);
        return false;
    }
    // QFile::rename refuses to replace an existing file; the system call replaces it in one
    // step, so there is never a moment without a report of that name.
    if (std::rename(QFile::encodeName(fresh).constData(),
                    QFile::encodeName(finalName).constData()) != 0) {
        const int code = errno;
        QFile::remove(fresh);
        throw std::system_error(code, std::generic_category(),
                                "Could not save " + finalName.toStdString());
    }
    return true;
}

} // namespace ReportFile

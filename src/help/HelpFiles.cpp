#include "HelpFiles.h"

#include "ReplacingFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <system_error>

namespace HelpFiles {

namespace {

/// Whether `copy` holds the same file as `original`, judged by size and time.
bool upToDate(const QFileInfo &original, const QFileInfo &copy) {
    return copy.exists() && copy.size() == original.size() &&
           copy.lastModified() >= original.lastModified();
}

bool copyFile(const QFileInfo &original, const QString &target) {
    QFile in(original.absoluteFilePath());
    if (!in.open(QIODevice::ReadOnly))
        return false;
    try {
        ReplacingFile out(target);
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(1 << 20);
            if (chunk.isEmpty() || out.file().write(chunk) != chunk.size())
                return false;
        }
        out.commit();
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

} // namespace

QString DefaultHelpFile(const QString &programFolder) {
    const QString beside = programFolder + QStringLiteral("/help/Cairnmeter.qhc");
    const QString installed =
        QDir::cleanPath(programFolder + QStringLiteral("/../share/cairnmeter/help/Cairnmeter.qhc"));
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
        return installed;
    return beside;
}

QString writableCopy(const QString &collectionFile) {
    const QFileInfo collection(collectionFile);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        return collectionFile;
    const QDir target(cache + QStringLiteral("/help"));
    if (QFileInfo(target.absolutePath()) == QFileInfo(collection.absolutePath()))
        return collectionFile;
    if (!target.exists() && !QDir().mkpath(target.absolutePath()))
        return collectionFile;

    QFileInfoList files = collection.absoluteDir().entryInfoList({QStringLiteral("*.qch")},
                                                                 QDir::Files | QDir::Readable);
    files.prepend(collection);
    bool changed = false;
    for (const QFileInfo &file : std::as_const(files)) {
        const QString copy = target.filePath(file.fileName());
        if (upToDate(file, QFileInfo(copy)))
            continue;
        if (!copyFile(file, copy))
            return collectionFile;
        changed = true;
    }
    // A changed manual needs a new search index; the help engine builds it again.
    if (changed)
        QDir(target.filePath(QLatin1Char('.') + collection.completeBaseName())).removeRecursively();
    return target.filePath(collection.fileName());
}

} // namespace HelpFiles

#include "ReportFolders.h"

#include "ReplacingFile.h"

#include <QStandardPaths>

#include <cerrno>
#include <system_error>

namespace ReportFolders {

QString DocumentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString withSlash(const QString &path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

QString ReportsFolder(const QString &documentsFolder) {
    return withSlash(documentsFolder) + QStringLiteral("Velmoria/Cairnmeter/Reports/");
}

bool CreatePath(const QString &path) {
    try {
        ReplacingFile::makeFolders(path);
    } catch (const std::system_error &e) {
        if (e.code().value() == EPERM)
            throw; // a link another user may have planted: the user must hear which
        return false;
    }
    return true;
}

QString GetFolderPart(const QString &path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash >= 0 ? path.left(slash + 1) : path + u'/';
}

} // namespace ReportFolders

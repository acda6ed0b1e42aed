#include "ReportFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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
    const QStringList pieces = path.split(u'/');
    QString built;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QString &piece = pieces.at(i);
        if (i > 0) {
            if (piece.isEmpty())
                continue;
            built += u'/';
        }
        built += piece;
        if (built.isEmpty() || QFileInfo(built).isDir())
            continue;
        if (!QDir().mkdir(built) && !QFileInfo(built).isDir())
            return false;
    }
    return true;
}

QString GetFolderPart(const QString &path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash >= 0 ? path.left(slash + 1) : path + u'/';
}

} // namespace ReportFolders

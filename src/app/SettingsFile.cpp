#include "SettingsFile.h"

#include "AppError.h"
#include "NativePath.h"
#include "basInitEntry.h"

#include <QDir>
#include <QStandardPaths>

namespace SettingsFile {

namespace {

// Creates one folder when it is missing; a folder that cannot be made is an error.
void ensureFolder(const QString &path) {
    if (NativePath::isFolder(NativePath::fromText(path)))
        return;
    if (!QDir().mkdir(path))
        throw AppError(AppError::FolderNotCreated,
                       QStringLiteral("Could not create the folder ") + path);
}

} // namespace

QString locate(bool create) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // A new account may not have its configuration folder yet; it is made like ours.
    if (create)
        QDir().mkpath(folder);
    folder = basInitEntry::AddBackslash(folder) + QStringLiteral("Velmoria/");
    if (create)
        ensureFolder(folder);
    folder = basInitEntry::AddBackslash(folder) + QStringLiteral("Cairnmeter/");
    if (create)
        ensureFolder(folder);
    return folder + QStringLiteral("Cairnmeter.ini");
}

} // namespace SettingsFile

#include "RecordingShellLauncher.h"

#include "NativePath.h"

bool RecordingShellLauncher::startDetached(const QString &program, const QStringList &arguments) {
    requests.push_back({QStringLiteral("start"), program, arguments, {}});
    return programsStart;
}

bool RecordingShellLauncher::startDetachedIn(const QString &program, const QStringList &arguments,
                                             const QByteArray &folder) {
    requests.push_back({QStringLiteral("start"), program, arguments, folder});
    return programsStart;
}

bool RecordingShellLauncher::callFileManager(const QString &method, const QStringList &uris) {
    requests.push_back({QStringLiteral("dbus"), method, uris, {}});
    return fileManagerAnswers;
}

bool RecordingShellLauncher::mayAccess(const QByteArray &path, bool) {
    return !deniedPaths.contains(NativePath::display(path));
}

bool RecordingShellLauncher::hasDefaultApplication(const QString &mimeType) {
    mimeTypesAsked << mimeType;
    return !typesWithoutApp.contains(mimeType);
}

#include "DesktopShellLauncher.h"

#include "NativePath.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

namespace {

const char FileManagerService[] = "org.freedesktop.FileManager1";
const char FileManagerPath[] = "/org/freedesktop/FileManager1";

/// True when some program owns the file manager's bus name or the bus can start one; asking
/// first spares a blocking call that could only fail.
bool fileManagerAvailable(QDBusConnection &bus) {
    QDBusConnectionInterface *names = bus.interface();
    if (!names)
        return false;
    const QString service = QString::fromLatin1(FileManagerService);
    const QDBusReply<bool> registered = names->isServiceRegistered(service);
    if (registered.isValid() && registered.value())
        return true;
    const QDBusReply<QStringList> activatable = names->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(service);
}

} // namespace

bool DesktopShellLauncher::startDetached(const QString &program, const QStringList &arguments) {
    return QProcess::startDetached(program, arguments);
}

bool DesktopShellLauncher::startDetachedIn(const QString &program, const QStringList &arguments,
                                           const QByteArray &folder) {
    // QProcess takes its working folder as text, which cannot carry a name that is not UTF-8;
    // the child inherits ours instead, changed for the moment of the start (no walk runs then,
    // and everything else of ours uses absolute paths or folder descriptors).
    const int here = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (here < 0 || ::chdir(folder.constData()) != 0) {
        if (here >= 0)
            ::close(here);
        return false;
    }
    const bool started = QProcess::startDetached(program, arguments);
    const int back = ::fchdir(here);
    ::close(here);
    return started && back == 0;
}

bool DesktopShellLauncher::callFileManager(const QString &method, const QStringList &uris) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !fileManagerAvailable(bus))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(FileManagerService), QString::fromLatin1(FileManagerPath),
        QString::fromLatin1(FileManagerService), method);
    // The second argument is the start-up notification id; we have none.
    call << uris << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, FileManagerTimeout);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool DesktopShellLauncher::mayAccess(const QByteArray &path, bool isFolder) {
    return NativePath::mayAccess(path, isFolder);
}

bool DesktopShellLauncher::hasDefaultApplication(const QString &mimeType) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    // Without a working xdg-mime we cannot tell; the launch itself then decides.
    if (!query.waitForStarted(QueryTimeout))
        return true;
    if (!query.waitForFinished(QueryTimeout)) {
        query.kill();
        query.waitForFinished(QueryTimeout);
        return true;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

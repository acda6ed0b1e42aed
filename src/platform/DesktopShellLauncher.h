#pragma once

#include "ShellLauncher.h"

/// The real desktop: programs through QProcess, the file manager through the session bus
/// (org.freedesktop.FileManager1), permissions through access(2) and default applications
/// through xdg-mime.
class DesktopShellLauncher : public ShellLauncher {
public:
    bool startDetached(const QString &program, const QStringList &arguments) override;
    bool startDetachedIn(const QString &program, const QStringList &arguments,
                         const QByteArray &folder) override;
    bool callFileManager(const QString &method, const QStringList &uris) override;
    bool mayAccess(const QByteArray &path, bool isFolder) override;
    bool hasDefaultApplication(const QString &mimeType) override;

    /// How long a file manager may take to answer, activation included (milliseconds).
    static constexpr int FileManagerTimeout = 4000;
    /// How long xdg-mime may take to answer (milliseconds).
    static constexpr int QueryTimeout = 3000;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

/// What the shell helpers ask of the desktop: start a program, talk to the file manager over
/// D-Bus, and the two questions asked before anything is launched. The desktop implementation
/// does the real thing; tests record the requests and script the answers, so no real program
/// ever starts from a test.
class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;

    /// Starts `program` with `arguments` without waiting for it; false when it cannot be
    /// started at all.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;

    /// The same, the program running in the folder `folder` (the file system's bytes).
    virtual bool startDetachedIn(const QString &program, const QStringList &arguments,
                                 const QByteArray &folder) = 0;

    /// Calls `method` ("ShowFolders", "ShowItems" or "ShowItemProperties") of the desktop's
    /// file manager with `uris` (file:// URIs); true only when a file manager answered without
    /// an error.
    virtual bool callFileManager(const QString &method, const QStringList &uris) = 0;

    /// Whether the user may open the item: read it, and also enter it when it is a folder.
    virtual bool mayAccess(const QByteArray &path, bool isFolder) = 0;

    /// Whether the desktop has a default application registered for `mimeType`.
    virtual bool hasDefaultApplication(const QString &mimeType) = 0;
};

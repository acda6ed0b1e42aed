#pragma once

#include "ShellLauncher.h"

#include <QSet>

#include <vector>

/// Records every request and answers from its settings, for tests: nothing is started.
class RecordingShellLauncher : public ShellLauncher {
public:
    struct Request {
        QString kind;          ///< "start" or "dbus"
        QString name;          ///< the program, or the file manager's method
        QStringList arguments; ///< the program's arguments, or the URIs
        QByteArray folder;     ///< the folder a program starts in, when one was given
    };
    std::vector<Request> requests;

    bool programsStart = true;       ///< answer of startDetached()
    bool fileManagerAnswers = false; ///< answer of callFileManager()
    QSet<QString> deniedPaths;       ///< paths mayAccess() refuses
    QSet<QString> typesWithoutApp;   ///< MIME types with no default application
    QStringList mimeTypesAsked;      ///< every hasDefaultApplication() question, in order

    bool startDetached(const QString &program, const QStringList &arguments) override;
    bool startDetachedIn(const QString &program, const QStringList &arguments,
                         const QByteArray &folder) override;
    bool callFileManager(const QString &method, const QStringList &uris) override;
    bool mayAccess(const QByteArray &path, bool isFolder) override;
    bool hasDefaultApplication(const QString &mimeType) override;
};

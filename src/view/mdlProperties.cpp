#include "mdlProperties.h"

#include "Prompts.h"
#include "PropertiesDialog.h"
#include "ShellLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

namespace mdlProperties {

namespace {

/// The desktop has no application for the item. Linux has no standard "open with" chooser to
/// offer instead, so this is reported as a chooser that could not be started.
constexpr int NoAssociation = 31;

/// The path without trailing separators or "." and ".." steps, so that a folder's row path
/// ("/home/ann/") names the folder itself.
QString cleanTarget(const QString &path) {
    return path.isEmpty() ? QString() : QFileInfo(QDir::cleanPath(path)).absoluteFilePath();
}

QString fileUri(const QString &path) {
    return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
}

/// Whether the item, or one of the types it is a kind of, has a default application.
bool hasApplication(const QFileInfo &item, ShellLauncher &launcher) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(item);
    QStringList names{type.name()};
    names += type.allAncestors();
    for (const QString &name : std::as_const(names)) {
        if (launcher.hasDefaultApplication(name))
            return true;
    }
    return false;
}

/// Why nothing can open the item, in the user's words.
QString noApplicationFor(const QFileInfo &item) {
    if (item.isDir())
        return QStringLiteral("No application is set up to open folders.");
    const QMimeType type = QMimeDatabase().mimeTypeForFile(item);
    const QString kind = type.comment().isEmpty() ? type.name() : type.comment();
    return QStringLiteral("No application is set up to open files of this type (") + kind +
           QStringLiteral(").");
}

/// Opens `item` with its default application through xdg-open.
int openWithDefault(const QFileInfo &item, ShellLauncher &launcher, QString *reason) {
    if (!hasApplication(item, launcher)) {
        *reason = noApplicationFor(item);
        return NoAssociation;
    }
    return launcher.startDetached(QStringLiteral("xdg-open"), {item.absoluteFilePath()})
               ? ShellSuccess
               : 0;
}

/// Shows a folder in the file manager, or a file selected in its folder.
int explore(const QFileInfo &item, ShellLauncher &launcher, QString *reason) {
    const QString path = item.absoluteFilePath();
    const QString method =
        item.isDir() ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems");
    if (launcher.callFileManager(method, {fileUri(path)}))
        return ShellSuccess;
    return openWithDefault(item.isDir() ? item : QFileInfo(item.absolutePath()), launcher, reason);
}

/// The scheme of a web or mail address ("http", "https" or "mailto"), empty for anything
/// else, which is then taken for a path.
QString addressScheme(const QString &Path) {
    const QUrl url(Path, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || !Path.startsWith(scheme + u':', Qt::CaseInsensitive))
        return {};
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return url.host().isEmpty() ? QString() : scheme;
    return scheme == QLatin1String("mailto") ? scheme : QString();
}

/// Opens a web or mail address with the desktop's browser or mail program.
int openAddress(const QString &Path, const QString &scheme, ShellLauncher &launcher,
                QString *reason) {
    if (!launcher.hasDefaultApplication(QStringLiteral("x-scheme-handler/") + scheme)) {
        *reason = scheme == QLatin1String("mailto")
                      ? QStringLiteral("No application is set up to write e-mail.")
                      : QStringLiteral("No application is set up to open web addresses.");
        return NoAssociation;
    }
    return launcher.startDetached(QStringLiteral("xdg-open"), {Path}) ? ShellSuccess : 0;
}

/// The shell's answer for `Path` with `verb`, checked before anything is launched; `reason`
/// tells why no application could take the item.
int execute(const QString &Path, const QString &verb, ShellLauncher &launcher, QString *reason) {
    if (const QString scheme = addressScheme(Path); !scheme.isEmpty())
        return openAddress(Path, scheme, launcher, reason);
    const QFileInfo item(cleanTarget(Path));
    if (!item.exists())
        return QFileInfo(item.absolutePath()).isDir() ? 2 : 3;
    if (!launcher.mayAccess(item.absoluteFilePath(), item.isDir()))
        return 5;
    if (verb == QLatin1String("Explore"))
        return explore(item, launcher, reason);
    return openWithDefault(item, launcher, reason);
}

} // namespace

QString ShellVerb(const QString &Verb) {
    if (Verb == QLatin1String("Open") || Verb == QLatin1String("Explore"))
        return Verb;
    return {};
}

QString ShellErrorText(int code) {
    switch (code) {
    case 0:
    case 8:
        return QStringLiteral("Out of Memory/Resources");
    case 2:
        return QStringLiteral("File not found");
    case 3:
        return QStringLiteral("Path not found");
    case 5:
        return QStringLiteral("Access denied");
    case 11:
        return QStringLiteral("Bad File Format. Invalid EXE file or error in EXE image");
    case 26:
        return QStringLiteral("A sharing violation occurred");
    case 27:
        return QStringLiteral("Incomplete or invalid file association");
    case 28:
        return QStringLiteral("DDE Time out");
    case 29:
        return QStringLiteral("DDE transaction failed");
    case 30:
        return QStringLiteral("DDE busy");
    case 32:
        return QStringLiteral("DLL not found");
    default:
        return QStringLiteral("Unknown error");
    }
}

int ShellOpen(const QString &Path, int Show, const QString &Verb, QWidget *owner, Prompts &prompts,
              ShellLauncher &launcher) {
    Q_UNUSED(Show) // the desktop decides how the opened window appears
    QString description;
    int code = execute(Path, ShellVerb(Verb), launcher, &description);
    if (code == ShellSuccess)
        return ShellSuccess;
    if (code == NoAssociation)
        code = 0; // the chooser that would stand in for the association never started
    else
        description = ShellErrorText(code);
    const QString text = Path + QLatin1Char('\n') + QStringLiteral("Error number: ") +
                         QString::number(code) + QLatin1Char('\n') +
                         QStringLiteral("Error description: ") + description;
    prompts.message(owner, text, QString::fromLatin1(ShellFailedTitle), Prompts::Icon::Critical);
    return code;
}

bool ShowFileProperties(const QString &path, QWidget *owner, ShellLauncher &launcher,
                        const ScanFigures &figures) {
    const QFileInfo item(cleanTarget(path));
    if (!item.exists() && !item.isSymLink())
        return false;
    if (launcher.callFileManager(QStringLiteral("ShowItemProperties"),
                                 {fileUri(item.absoluteFilePath())}))
        return true;
    auto *dialog = new PropertiesDialog(item.absoluteFilePath(), figures, owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return true;
}

} // namespace mdlProperties

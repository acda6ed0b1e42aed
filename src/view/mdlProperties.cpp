#include "mdlProperties.h"

#include "NativePath.h"
#include "Prompts.h"
#include "PropertiesDialog.h"
#include "ShellLauncher.h"

#include <QMimeDatabase>
#include <QUrl>

namespace mdlProperties {

namespace {

/// The desktop has no application for the item. Linux has no standard "open with" chooser to
/// offer instead, so this is reported as a chooser that could not be started.
constexpr int NoAssociation = 31;

/// An item looked up by its path's bytes.
struct Item {
    QByteArray path; ///< clean: no trailing separators, "." or ".." steps
    bool folder = false;
    QString text() const { return NativePath::display(path); }
};

/// The item's type by its name alone (a folder is a folder): reading its content would go
/// through Qt, which takes names as text.
QMimeType mimeTypeOf(const Item &item) {
    const QMimeDatabase types;
    return item.folder ? types.mimeTypeForName(QStringLiteral("inode/directory"))
                       : types.mimeTypeForFile(item.text(), QMimeDatabase::MatchExtension);
}

/// Whether the item, or one of the types it is a kind of, has a default application.
bool hasApplication(const Item &item, ShellLauncher &launcher) {
    const QMimeType type = mimeTypeOf(item);
    QStringList names{type.name()};
    names += type.allAncestors();
    for (const QString &name : std::as_const(names)) {
        if (launcher.hasDefaultApplication(name))
            return true;
    }
    return false;
}

/// Why nothing can open the item, in the user's words.
QString noApplicationFor(const Item &item) {
    if (item.folder)
        return QStringLiteral("No application is set up to open folders.");
    const QMimeType type = mimeTypeOf(item);
    const QString kind = type.comment().isEmpty() ? type.name() : type.comment();
    return QStringLiteral("No application is set up to open files of this type (") + kind +
           QStringLiteral(").");
}

/// Opens `item` with its default application through xdg-open, which is handed the item's
/// file URI so that a name that is not UTF-8 arrives byte for byte.
int openWithDefault(const Item &item, ShellLauncher &launcher, QString *reason) {
    if (!hasApplication(item, launcher)) {
        *reason = noApplicationFor(item);
        return NoAssociation;
    }
    return launcher.startDetached(QStringLiteral("xdg-open"), {NativePath::fileUri(item.path)})
               ? ShellSuccess
               : 0;
}

/// Shows a folder in the file manager, or a file selected in its folder.
int explore(const Item &item, ShellLauncher &launcher, QString *reason) {
    const QString method =
        item.folder ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems");
    if (launcher.callFileManager(method, {NativePath::fileUri(item.path)}))
        return ShellSuccess;
    return openWithDefault(item.folder ? item : Item{NativePath::parentOf(item.path), true},
                           launcher, reason);
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

/// The shell's answer for the item at `path` with `verb`, checked before anything is
/// launched; `reason` tells why no application could take the item.
int executeItem(const QByteArray &path, const QString &verb, ShellLauncher &launcher,
                QString *reason) {
    if (path.isEmpty())
        return 2;
    Item item{NativePath::clean(path)};
    if (!NativePath::exists(item.path))
        return NativePath::isFolder(NativePath::parentOf(item.path)) ? 2 : 3;
    item.folder = NativePath::isFolder(item.path);
    if (!launcher.mayAccess(item.path, item.folder))
        return 5;
    if (verb == QLatin1String("Explore"))
        return explore(item, launcher, reason);
    return openWithDefault(item, launcher, reason);
}

int execute(const QString &Path, const QString &verb, ShellLauncher &launcher, QString *reason) {
    if (const QString scheme = addressScheme(Path); !scheme.isEmpty())
        return openAddress(Path, scheme, launcher, reason);
    return executeItem(NativePath::fromText(Path), verb, launcher, reason);
}

/// Shows the failure box of a shell command and returns its code.
int reportFailure(int code, QString description, const QString &what, QWidget *owner,
                  Prompts &prompts) {
    if (code == NoAssociation)
        code = 0; // the chooser that would stand in for the association never started
    else
        description = ShellErrorText(code);
    const QString text = what + QLatin1Char('\n') + QStringLiteral("Error number: ") +
                         QString::number(code) + QLatin1Char('\n') +
                         QStringLiteral("Error description: ") + description;
    prompts.message(owner, text, QString::fromLatin1(ShellFailedTitle), Prompts::Icon::Critical);
    return code;
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
    const int code = execute(Path, ShellVerb(Verb), launcher, &description);
    return code == ShellSuccess ? ShellSuccess
                                : reportFailure(code, description, Path, owner, prompts);
}

int ShellOpenSilently(const QString &Path, const QString &Verb, ShellLauncher &launcher,
                      QString &reason) {
    reason.clear();
    const int code = execute(Path, ShellVerb(Verb), launcher, &reason);
    if (code != ShellSuccess && code != NoAssociation)
        reason = ShellErrorText(code);
    return code;
}

int ShellOpenItem(const QByteArray &path, const QString &Verb, QWidget *owner, Prompts &prompts,
                  ShellLauncher &launcher) {
    QString description;
    const int code = executeItem(path, ShellVerb(Verb), launcher, &description);
    return code == ShellSuccess
               ? ShellSuccess
               : reportFailure(code, description, NativePath::display(path), owner, prompts);
}

bool ShowFileProperties(const QByteArray &path, QWidget *owner, ShellLauncher &launcher,
                        const ScanFigures &figures) {
    const QByteArray item = path.isEmpty() ? QByteArray() : NativePath::clean(path);
    if (!NativePath::exists(item))
        return false;
    if (launcher.callFileManager(QStringLiteral("ShowItemProperties"), {NativePath::fileUri(item)}))
        return true;
    auto *dialog = new PropertiesDialog(item, figures, owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return true;
}

} // namespace mdlProperties

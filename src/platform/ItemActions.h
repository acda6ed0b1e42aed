#pragma once

#include "ScannedPath.h"

#include <QByteArray>
#include <QString>

class QMimeData;
class ShellLauncher;

/// What the user may do to an item found by a scan: move it to the trash, delete it, open a
/// terminal in it, copy its path. Paths are the file system's bytes; no window is involved, so
/// any list of items (tree rows, single files) can call these.
///
/// Nothing is removed outside `within`, the scanned folder the item was found in, and a
/// symbolic link is always acted on as the link, never as what it points to. The item is reached
/// from that folder one name at a time (ScannedPath), so a folder on the way that became a link,
/// or a scanned folder that was replaced, refuses the action instead of redirecting it.
namespace ItemActions {

/// How an action ended: done, or refused with the reason in words (nothing changed then,
/// unless `partly` says a deletion got part of the way).
struct Result {
    QString reason;
    bool partly = false;
    bool ok() const { return reason.isEmpty(); }
};

/// Moves the item to the freedesktop trash: the home trash ($XDG_DATA_HOME/Trash) for an item
/// on the same file system, else the trash at the top of the item's own file system
/// ($topdir/.Trash/$uid, or $topdir/.Trash-$uid). The item is never copied: it is renamed
/// into the trash, with its ".trashinfo" written first, and never over a name taken meanwhile.
/// `within` must hold the item or be it. With `folder` set the item was scanned as a folder and
/// must still be one: a link or file put in its place since is refused, not acted on.
Result moveToTrash(const QByteArray &path, const ScannedPath::Start &within, bool folder);

/// Deletes the item for good; a folder with everything in it, however deep. Links inside are
/// removed as links, and a mount anywhere below (another file system, or a bind mount of the same
/// one, told apart by mount ID) stops the deletion before anything is removed. `within` must hold
/// the item and not be it. `folder` as for moveToTrash().
Result deletePermanently(const QByteArray &path, const ScannedPath::Start &within, bool folder);

/// The desktop's terminal program: $TERMINAL when set, else "x-terminal-emulator".
QString terminalProgram();
/// Starts the terminal in `folder`; false when it could not be started.
bool openTerminal(const QByteArray &folder, ShellLauncher &launcher);

/// The path for the clipboard: as text, and as a file URI in "text/uri-list" whose percent
/// escapes keep the exact bytes of a name that is not UTF-8.
QMimeData *pathMimeData(const QByteArray &path);

} // namespace ItemActions

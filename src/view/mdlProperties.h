#pragma once

#include "ScanFigures.h"

#include <QByteArray>
#include <QString>

class Prompts;
class QWidget;
class ShellLauncher;

/// Opening items with the desktop and showing their properties.
namespace mdlProperties {

/// Result of ShellOpen() when the item was handed to the desktop.
inline constexpr int ShellSuccess = -1;
/// Title of the message box that reports a failure of ShellOpen().
inline constexpr char ShellFailedTitle[] = "Shell execute failed...";

/// The verb ShellOpen() acts on: "Open" and "Explore" (exactly so) are kept; any other, the
/// empty one included, becomes no verb, which means the item's default action.
QString ShellVerb(const QString &Verb);

/// The text for a shell failure code ("File not found" for 2, ..., "Unknown error").
QString ShellErrorText(int code);

/// Opens `Path` with the desktop: "Open" (and no verb) with the default application for the
/// item, "Explore" in the file manager (the folder itself, or a file shown in its folder),
/// over D-Bus first and xdg-open of the folder when no file manager answers. An http, https
/// or mailto address goes to the desktop's browser or mail program. Failures are
/// found before anything is launched: a missing item 2 (3 when its folder is missing too), no
/// permission 5, no application for the item 0 with an empty description, a launcher that
/// cannot be started 0. A failure is shown in a critical message box through `prompts`,
/// owned by `owner`. `Show` (the window state) is left to the desktop. Returns
/// ShellSuccess or the failure code.
int ShellOpen(const QString &Path, int Show, const QString &Verb, QWidget *owner, Prompts &prompts,
              ShellLauncher &launcher);

/// ShellOpen() without the failure box: ShellSuccess, or the failure code with `reason` set
/// to why it failed in plain words.
int ShellOpenSilently(const QString &Path, const QString &Verb, ShellLauncher &launcher,
                      QString &reason);

/// ShellOpen() for an item given by its path's bytes (a scan row's path): "Open" or
/// "Explore" as above; the failure box names the path as text.
int ShellOpenItem(const QByteArray &path, const QString &Verb, QWidget *owner, Prompts &prompts,
                  ShellLauncher &launcher);

/// Shows the properties of the item at `path` (the file system's bytes): the file manager's own
/// dialog when one answers on D-Bus, otherwise the program's Properties dialog (non-modal, owned by
/// `owner`, closing deletes it) with the scan's `figures`. False, with nothing shown, when the item
/// does not exist.
bool ShowFileProperties(const QByteArray &path, QWidget *owner, ShellLauncher &launcher,
                        const ScanFigures &figures = {});

} // namespace mdlProperties

#pragma once

#include <QString>

/// The program's per-user marker that a copy is running: a lock file held with a shared lock
/// for the life of the process. It never stops a second copy from starting.
namespace mdlAppMutex {

/// The lock file's name.
inline constexpr char LockFileName[] = "Velmoria_Cairnmeter.lock";

/// The folder for the lock file: $XDG_RUNTIME_DIR when it names a folder, else the user's own
/// cache folder ($XDG_CACHE_HOME or ~/.cache), which is made with mode 0700 when missing. Never
/// a shared temporary folder, where another user could plant a file or link in its place.
QString LockFolder();

/// Opens (creating, never through a symbolic link) the lock file in `folder` (LockFolder() when
/// empty) and takes a shared lock on it; the descriptor stays open until the process ends.
/// Returns the descriptor, or -1 when the file cannot be opened, is not a plain file or cannot
/// be locked.
int CreateAppMutex(const QString &folder = QString());

} // namespace mdlAppMutex

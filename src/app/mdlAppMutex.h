#pragma once

#include <QString>

/// The program's per-user marker that a copy is running: a lock file held with a shared lock
/// for the life of the process. It never stops a second copy from starting.
namespace mdlAppMutex {

/// Opens (creating) "Velmoria_Cairnmeter.lock" in `folder` (the runtime folder when empty) and
/// takes a shared lock on it; the descriptor stays open until the process ends. Returns the
/// descriptor or -1.
int CreateAppMutex(const QString &folder = QString());

} // namespace mdlAppMutex

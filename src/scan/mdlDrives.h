#pragma once

#include "ScanTree.h"

#include <QByteArray>
#include <QString>

#include <functional>

class MountTable;

/// The kind of drive a scan starts on, from the file system mounted there.
namespace mdlDrives {

/// Drive type values: 0 unknown, 1 no root directory, 2 removable, 3 fixed, 4 remote,
/// 5 optical, 6 RAM disk.
enum DriveType : int {
    DriveUnknown = 0,
    DriveNoRootDir = 1,
    DriveRemovable = 2,
    DriveFixed = 3,
    DriveRemote = 4,
    DriveOptical = 5,
    DriveRamDisk = 6,
};

/// Whether the block device major:minor is removable (or sits on a USB bus).
using RemovableProbe = std::function<bool(unsigned major, unsigned minor)>;

/// The drive type of a file system type; `removable` is whether its device is removable.
int driveTypeOfFs(const QByteArray &fsType, bool removable);
/// Kernel file systems that hold no disk space (proc, sysfs, ...): never walked.
bool isPseudoFs(const QByteArray &fsType);
/// Asks sysfs whether a block device is removable or on a USB bus.
bool isRemovableDevice(unsigned major, unsigned minor);

/// The drive type of a start path that is a mount point, or -1 for any other path. A listed
/// mount point that does not exist gives 1.
int GetDriveType(const QByteArray &path, const MountTable &mounts,
                 const RemovableProbe &removable = isRemovableDevice);
/// The row kind of a scan root: by drive type for a mount point, a folder otherwise.
RowKind rootRowKind(const QString &startPath, const MountTable &mounts,
                    const RemovableProbe &removable = isRemovableDevice);

} // namespace mdlDrives

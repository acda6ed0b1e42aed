#include "mdlDrives.h"

#include "MountTable.h"

#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <sys/stat.h>

namespace mdlDrives {

namespace {

bool isOneOf(const QByteArray &value, std::initializer_list<const char *> names) {
    for (const char *n : names)
        if (value == n)
            return true;
    return false;
}

} // namespace

bool isPseudoFs(const QByteArray &fsType) {
    return isOneOf(fsType, {"proc",    "sysfs",       "devtmpfs", "devpts",  "cgroup",
                            "cgroup2", "securityfs",  "debugfs",  "tracefs", "pstore",
                            "bpf",     "configfs",    "fusectl",  "mqueue",  "hugetlbfs",
                            "autofs",  "binfmt_misc", "efivarfs", "nsfs",    "rpc_pipefs"});
}

int driveTypeOfFs(const QByteArray &fsType, bool removable) {
    if (isOneOf(fsType, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "glusterfs", "afs",
                         "fuse.sshfs", "fuse.rclone", "davfs"}))
        return DriveRemote;
    if (isOneOf(fsType, {"iso9660", "udf"}))
        return DriveOptical;
    if (isOneOf(fsType, {"tmpfs", "ramfs"}))
        return DriveRamDisk;
    if (removable)
        return DriveRemovable;
    if (isOneOf(fsType, {"ext2", "ext3", "ext4", "xfs", "btrfs", "zfs", "f2fs", "jfs", "ntfs",
                         "ntfs3", "hfsplus", "bcachefs", "overlay"}))
        return DriveFixed;
    return DriveUnknown;
}

bool isRemovableDevice(unsigned major, unsigned minor) {
    if (major == 0) // anonymous devices (tmpfs, overlay, btrfs subvolumes) have no hardware
        return false;
    const QString dev =
        QFileInfo(QStringLiteral("/sys/dev/block/%1:%2").arg(major).arg(minor)).canonicalFilePath();
    if (dev.isEmpty())
        return false;
    if (dev.contains(QLatin1StringView("/usb")))
        return true;
    // A partition carries no flag of its own; its disk (the folder above) does.
    for (const QString &flag :
         {dev + QStringLiteral("/removable"), dev + QStringLiteral("/../removable")}) {
        QFile f(flag);
        if (f.open(QIODevice::ReadOnly))
            return f.readAll().trimmed() == "1";
    }
    return false;
}

int GetDriveType(const QByteArray &path, const MountTable &mounts,
                 const RemovableProbe &removable) {
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    const MountEntry *entry = mounts.findMountPoint(p);
    if (!entry) {
        // The path may name a mount point through a link or "..".
        if (char *real = ::realpath(p.constData(), nullptr)) {
            entry = mounts.findMountPoint(QByteArray(real));
            std::free(real);
        }
    }
    if (!entry)
        return -1;
    struct stat st;
    if (::stat(p.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return DriveNoRootDir;
    return driveTypeOfFs(entry->fsType, removable && removable(entry->major, entry->minor));
}

RowKind rootRowKind(const QString &startPath, const MountTable &mounts,
                    const RemovableProbe &removable) {
    const int type = GetDriveType(QFile::encodeName(startPath), mounts, removable);
    return type < 0 ? RowKind::Folder : ScanTree::rowKindOfDriveType(type);
}

} // namespace mdlDrives

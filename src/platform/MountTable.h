#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <vector>

/// One mounted file system as the kernel's mount table lists it.
struct MountEntry {
    unsigned major = 0, minor = 0; ///< the device number that st_dev of its files carries
    QByteArray mountPoint;         ///< raw bytes, escapes undone
    QByteArray fsType;             ///< such as "ext4", "proc", "fuse.sshfs"
    QByteArray source;
};

/// The mount table of this process (/proc/self/mountinfo), read once and looked up by mount
/// point or by device.
class MountTable {
public:
    MountTable() = default;
    /// Parses mountinfo text; malformed lines are skipped.
    static MountTable parse(const QByteArray &mountinfo);
    /// The current table; empty when it cannot be read.
    static MountTable current();

    const std::vector<MountEntry> &entries() const { return m_entries; }
    /// The file system mounted at `path` (no trailing "/", except for the root itself); the
    /// last one listed wins, as a later mount hides an earlier one. Null when none.
    const MountEntry *findMountPoint(const QByteArray &path) const;
    /// The file system a device number belongs to; null when none lists it.
    const MountEntry *findDevice(dev_t dev) const;

private:
    std::vector<MountEntry> m_entries;
};

#include "MountTable.h"
#include "mdlDrives.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

// A mount table as a desktop machine shows it, with an escaped space in one mount point.
const QByteArray desktopTable =
    "22 1 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
    "23 1 0:22 / /sys rw,nosuid shared:2 - sysfs sysfs rw\n"
    "27 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro\n"
    "28 27 259:1 / /boot/efi rw,relatime shared:3 - vfat /dev/nvme0n1p1 rw,fmask=0077\n"
    "40 27 0:35 / /tmp rw,nosuid,nodev shared:20 - tmpfs tmpfs rw\n"
    "41 27 8:17 / /media/ana/USB\\040STICK rw,nosuid shared:30 - exfat /dev/sdb1 rw\n"
    "42 27 0:50 / /mnt/share rw,relatime shared:31 - cifs //server/share rw,vers=3.1.1\n"
    "43 27 11:0 / /media/cdrom ro,relatime shared:32 - iso9660 /dev/sr0 ro\n"
    "44 27 0:51 / /home/ana/remote rw shared:33 - fuse.sshfs ana@host:/ rw\n"
    "45 27 8:33 / /data rw,relatime shared:34 - xfs /dev/sdc1 rw\n"
    "garbage line\n"
    "46 27 0:60 / /srv rw - btrfs\n"
    "47 27 0:61 / /tmp rw,relatime shared:40 - ramfs ramfs rw\n";

bool usbOnly(unsigned major, unsigned minor) {
    return major == 8 && minor == 17;
}

TEST(MountTable, ParsesMountinfoAndLooksUpByMountPointAndDevice) {
    const MountTable t = MountTable::parse(desktopTable);
    ASSERT_EQ(t.entries().size(), 11u); // the garbage and the short line are skipped
    const MountEntry *usb = t.findMountPoint("/media/ana/USB STICK");
    ASSERT_NE(usb, nullptr);
    EXPECT_EQ(usb->fsType, "exfat");
    EXPECT_EQ(usb->source, "/dev/sdb1");
    EXPECT_EQ(usb->major, 8u);
    EXPECT_EQ(usb->minor, 17u);
    // A later mount on the same point hides the earlier one.
    EXPECT_EQ(t.findMountPoint("/tmp")->fsType, "ramfs");
    EXPECT_EQ(t.findMountPoint("/media/ana"), nullptr);
    EXPECT_EQ(t.findDevice(makedev(0, 21))->fsType, "proc");
    EXPECT_EQ(t.findDevice(makedev(259, 2))->mountPoint, "/");
    EXPECT_EQ(t.findDevice(makedev(9, 9)), nullptr);
    // Optional fields of any number come before the separator.
    const MountTable many = MountTable::parse(
        "1 0 8:1 / /x rw shared:1 master:2 propagate_from:3 - ext4 /dev/sda1 rw\n");
    ASSERT_EQ(many.entries().size(), 1u);
    EXPECT_EQ(many.entries()[0].fsType, "ext4");
}

TEST(DriveType, FileSystemTypesMapToDriveTypes) {
    using namespace mdlDrives;
    for (const char *fs : {"ext2", "ext3", "ext4", "xfs", "btrfs", "zfs", "f2fs", "jfs", "ntfs",
                           "ntfs3", "hfsplus", "bcachefs", "overlay"})
        EXPECT_EQ(driveTypeOfFs(fs, false), DriveFixed) << fs;
    for (const char *fs : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "ceph", "glusterfs", "afs",
                           "fuse.sshfs", "fuse.rclone", "davfs"})
        EXPECT_EQ(driveTypeOfFs(fs, false), DriveRemote) << fs;
    EXPECT_EQ(driveTypeOfFs("iso9660", true), DriveOptical);
    EXPECT_EQ(driveTypeOfFs("udf", false), DriveOptical);
    EXPECT_EQ(driveTypeOfFs("tmpfs", false), DriveRamDisk);
    EXPECT_EQ(driveTypeOfFs("ramfs", false), DriveRamDisk);
    EXPECT_EQ(driveTypeOfFs("ext4", true), DriveRemovable);
    EXPECT_EQ(driveTypeOfFs("vfat", true), DriveRemovable);
    EXPECT_EQ(driveTypeOfFs("vfat", false), DriveUnknown);
    EXPECT_EQ(driveTypeOfFs("fuse.weird", false), DriveUnknown);

    for (const char *fs :
         {"proc",      "sysfs",   "devtmpfs",    "devpts",   "cgroup",   "cgroup2",   "securityfs",
          "debugfs",   "tracefs", "pstore",      "bpf",      "configfs", "fusectl",   "mqueue",
          "hugetlbfs", "autofs",  "binfmt_misc", "efivarfs", "nsfs",     "rpc_pipefs"})
        EXPECT_TRUE(isPseudoFs(fs)) << fs;
    for (const char *fs : {"ext4", "tmpfs", "overlay", "nfs", "fuse.sshfs"})
        EXPECT_FALSE(isPseudoFs(fs)) << fs;
}

TEST(DriveType, ARootPicksItsPictureByTheMountedFileSystem) {
    using namespace mdlDrives;
    QTemporaryDir dir;
    // Mount points of the fixture that exist on this machine: "/" and a temporary folder.
    const QByteArray tmp = QFile::encodeName(dir.path());
    const MountTable t =
        MountTable::parse(desktopTable + "50 27 0:70 / " + tmp + " rw - nfs4 server:/export rw\n");
    EXPECT_EQ(GetDriveType("/", t, usbOnly), DriveFixed);
    EXPECT_EQ(GetDriveType(tmp + "/", t, usbOnly), DriveRemote);
    EXPECT_EQ(GetDriveType(tmp + "/sub", t, usbOnly), -1);
    // Listed but missing here: no root directory.
    EXPECT_EQ(GetDriveType("/media/ana/USB STICK/", t, usbOnly), DriveNoRootDir);
    EXPECT_EQ(rootRowKind(QStringLiteral("/"), t, usbOnly), RowKind::HardDisk);
    EXPECT_EQ(rootRowKind(dir.path() + u'/', t, usbOnly), RowKind::Remote);
    EXPECT_EQ(rootRowKind(dir.path() + QStringLiteral("/x/"), t, usbOnly), RowKind::Folder);
    // The same folder mounted from removable hardware.
    const MountTable usb = MountTable::parse("50 27 8:17 / " + tmp + " rw - ext4 /dev/sdb1 rw\n");
    EXPECT_EQ(rootRowKind(dir.path(), usb, usbOnly), RowKind::Removable);
    const MountTable cd = MountTable::parse("50 27 11:0 / " + tmp + " ro - iso9660 /dev/sr0 ro\n");
    EXPECT_EQ(rootRowKind(dir.path(), cd, usbOnly), RowKind::Optical);
    const MountTable ram = MountTable::parse("50 27 0:9 / " + tmp + " rw - tmpfs tmpfs rw\n");
    EXPECT_EQ(rootRowKind(dir.path(), ram, usbOnly), RowKind::RamDisk);
    const MountTable odd = MountTable::parse("50 27 0:9 / " + tmp + " rw - vfat /dev/x rw\n");
    EXPECT_EQ(rootRowKind(dir.path(), odd, usbOnly), RowKind::Undetermined);
}

TEST(DriveType, TheRunningSystemsRootIsAMountPoint) {
    const MountTable t = MountTable::current();
    ASSERT_FALSE(t.entries().empty());
    struct stat st;
    ASSERT_EQ(::stat("/", &st), 0);
    // The device of "/" is listed (or is a btrfs subvolume's own number, which is not).
    const MountEntry *root = t.findMountPoint("/");
    ASSERT_NE(root, nullptr);
    EXPECT_GE(mdlDrives::GetDriveType("/", t), 0);
    EXPECT_FALSE(mdlDrives::isRemovableDevice(0, 21)); // anonymous devices have no hardware
}

} // namespace

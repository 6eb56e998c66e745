// Reading the kernel's mountinfo lines and choosing the mounts that are drives.
#include "platform/linux/MountTable.h"

#include <gtest/gtest.h>

namespace drivlet {
namespace {

TEST(MountInfo, FieldsOptionalTagsAndEscapedPaths) {
    auto table = ParseMountInfo(
        "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 shared:7 - ext3 /dev/root rw,errors=continue\n"
        "40 27 8:17 / /media/alice/MY\\040STICK\\134x rw,nosuid - vfat /dev/sdb1 rw,uid=1000\n"
        "41 27 0:45 / /mnt/plain rw - tmpfs tmpfs\n"
        "not a mount line\n"
        "42 27 8:18 / /mnt/no-dash rw shared:1 vfat /dev/sdb2 rw\n");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].mountId, 36);
    EXPECT_EQ(table[0].parentId, 35);
    EXPECT_EQ(table[0].major, 98u);
    EXPECT_EQ(table[0].minor, 0u);
    EXPECT_EQ(table[0].root, "/mnt1");
    EXPECT_EQ(table[0].mountPoint, "/mnt/parent");
    EXPECT_EQ(table[0].fsType, "ext3");
    EXPECT_EQ(table[0].source, "/dev/root");
    EXPECT_EQ(table[0].superOptions, "rw,errors=continue");
    EXPECT_EQ(table[1].mountPoint, "/media/alice/MY STICK\\x");
    EXPECT_EQ(table[1].major, 8u);
    EXPECT_EQ(table[1].minor, 17u);
    EXPECT_EQ(table[2].superOptions, "");
}

TEST(MountInfo, RealTableHoldsTheRoot) {
    auto table = ReadMountTable("/proc/self/mountinfo");
    ASSERT_TRUE(table);
    ASSERT_NE(MountHolding(*table, "/"), nullptr);
    EXPECT_FALSE(ReadMountTable("/no/such/mountinfo"));
}

MountEntry Mount(int id, const std::string& point, const std::string& fs) {
    MountEntry e;
    e.mountId = id;
    e.mountPoint = point;
    e.fsType = fs;
    return e;
}

TEST(DriveMounts, PseudoFileSystemsAndSystemTreesAreNotDrives) {
    EXPECT_TRUE(IsDriveMount(Mount(1, "/", "ext4")));
    EXPECT_TRUE(IsDriveMount(Mount(1, "/media/alice/STICK", "vfat")));
    EXPECT_TRUE(IsDriveMount(Mount(1, "/run/media/alice/STICK", "exfat")));
    EXPECT_TRUE(IsDriveMount(Mount(1, "/tmp/x", "tmpfs")));
    EXPECT_TRUE(IsDriveMount(Mount(1, "/devices", "ext4")));
    for (const char* fs : {"proc", "sysfs", "cgroup", "cgroup2", "devpts", "mqueue", "debugfs", "autofs"})
        EXPECT_FALSE(IsDriveMount(Mount(1, "/mnt/x", fs))) << fs;
    EXPECT_FALSE(IsDriveMount(Mount(1, "/dev/shm", "tmpfs")));
    EXPECT_FALSE(IsDriveMount(Mount(1, "/sys/fs/cgroup", "tmpfs")));
    EXPECT_FALSE(IsDriveMount(Mount(1, "/proc/sys/fs/binfmt_misc", "binfmt_misc")));
}

TEST(DriveMounts, AStackedMountCoversTheEarlierOneInItsPlace) {
    std::vector<MountEntry> table = {Mount(1, "/", "ext4"), Mount(2, "/media/a", "vfat"),
                                     Mount(3, "/proc", "proc"), Mount(4, "/media/b", "vfat"),
                                     Mount(5, "/media/a", "iso9660")};
    auto drives = DriveMounts(table);
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1].mountPoint, "/media/a");
    EXPECT_EQ(drives[1].mountId, 5);
    EXPECT_EQ(drives[2].mountPoint, "/media/b");
}

TEST(DriveMounts, HoldingMountIsTheLongestWholeFolderMatch) {
    std::vector<MountEntry> table = {Mount(1, "/", "ext4"), Mount(2, "/media/a", "vfat"),
                                     Mount(3, "/media/ab", "vfat")};
    EXPECT_EQ(MountHolding(table, "/media/a/Config/x.Ubk")->mountId, 2);
    EXPECT_EQ(MountHolding(table, "/media/a/")->mountId, 2);
    EXPECT_EQ(MountHolding(table, "/media/a")->mountId, 2);
    EXPECT_EQ(MountHolding(table, "/media/ab/x")->mountId, 3);
    EXPECT_EQ(MountHolding(table, "/media/abc")->mountId, 1);
    EXPECT_EQ(MountHolding(table, "/media/a/../ab/x")->mountId, 3);
    EXPECT_EQ(DrivePathOfMount("/media/a"), "/media/a/");
    EXPECT_EQ(DrivePathOfMount("/"), "/");
    EXPECT_EQ(MountHolding({}, "/x"), nullptr);
}

} // namespace
} // namespace drivlet

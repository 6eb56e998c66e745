// Volume serials, the computer identity and the USB test against fake sysfs and /dev/disk trees.
#include "FakeMachine.h"
#include "core/drives/DriveInterfaceType.h"
#include "core/drives/VolumeInfo.h"
#include "platform/linux/LinuxVolumeSystem.h"

#include <gtest/gtest.h>
#include <sys/statfs.h>

namespace drivlet {
namespace {
using test::FakeMachine;

uint32_t FoldedFsidOf(const std::string& path) {
    struct statfs s {};
    EXPECT_EQ(::statfs(path.c_str(), &s), 0);
    return FoldFsid(static_cast<uint32_t>(s.f_fsid.__val[0]), static_cast<uint32_t>(s.f_fsid.__val[1]));
}

TEST(SerialText, FourUpperCaseDigitsEachSideWithLeadingZeros) {
    EXPECT_EQ(FormatSerialNumber(0x0A1B2C3D), "0A1B - 2C3D");
    EXPECT_EQ(FormatSerialNumber(0x4a1f9c03), "4A1F - 9C03");
    EXPECT_EQ(FormatSerialNumber(0), "0000 - 0000");
    EXPECT_EQ(FormatSerialNumber(0xFFFFFFFF), "FFFF - FFFF");
}

TEST(SerialText, UuidGivesItsFirst32Bits) {
    EXPECT_EQ(SerialFromUuid("1A2B-3C4D"), 0x1A2B3C4Du);
    EXPECT_EQ(SerialFromUuid("0b6a1f2e-9d1c-4b7a-8e55-1f0c2d3e4f50"), 0x0B6A1F2Eu);
    EXPECT_EQ(SerialFromUuid("0123456789ABCDEF"), 0x01234567u);
    EXPECT_FALSE(SerialFromUuid("1A2B-3C"));
    EXPECT_FALSE(SerialFromUuid("zz2b-3c4d"));
    EXPECT_EQ(FoldFsid(0x12345678, 0xFFFF0000), 0xEDCB5678u);
}

class FakeVolumes : public ::testing::Test {
protected:
    FakeMachine machine;
};

TEST_F(FakeVolumes, FatStickOnUsbPartitionReadsItsUuidLabelAndBus) {
    machine.AddDisk("8:16", test::kUsbDisk, /*removable=*/true);
    machine.AddPartition("8:17", test::kUsbDisk, "sdb1");
    machine.AddUuid("1A2B-3C4D", "sdb1");
    machine.AddLabel("MY\\x20STICK", "sdb1");
    std::string stick = machine.MountPoint("STICK");
    machine.AddMount(30, "8:17", stick, "vfat", "/dev/sdb1");
    machine.WriteTable();
    LinuxVolumeSystem system(machine.Paths());

    TVolumeInfo info(system, stick + "/");
    ASSERT_TRUE(info.Readable());
    EXPECT_EQ(info.SerialNumber(), "1A2B - 3C4D");
    EXPECT_EQ(info.SerialNumberWord(), 0x1A2B3C4Du);
    EXPECT_EQ(info.VoulmeName(), "MY STICK");
    EXPECT_EQ(info.FileSystem(), "vfat");
    EXPECT_FALSE(info.CaseSensitiveFileNames());
    EXPECT_TRUE(info.PreservedNames());
    EXPECT_FALSE(info.ACL());
    EXPECT_GT(info.MaximumComponentLength(), 0u);
    EXPECT_EQ(info.DriveType(), drive_type::Removable);
    EXPECT_EQ(system.InterfaceTypeOfDrive(stick + "/"), "USB");
    // A folder on the stick belongs to the stick.
    EXPECT_EQ(system.InterfaceTypeOfDrive(stick + "/Config/"), "USB");
    EXPECT_EQ(system.DrivePathOf(stick + "/Config/x.Ubk"), stick + "/");
}

TEST_F(FakeVolumes, BusOfSataNvmeMappedAndDevicelessVolumes) {
    machine.AddDisk("8:0", test::kSataDisk);
    machine.AddPartition("8:2", test::kSataDisk, "sda2");
    machine.AddDisk("259:0", test::kNvmeDisk);
    machine.AddDisk("8:16", test::kUsbDisk, true);
    machine.AddPartition("8:17", test::kUsbDisk, "sdb1");
    machine.AddDisk("254:0", test::kMappedDisk);
    machine.AddSlave(test::kMappedDisk, test::kUsbDisk + "/sdb1");
    std::string sata = machine.MountPoint("sata"), nvme = machine.MountPoint("nvme"),
                crypt = machine.MountPoint("crypt"), ram = machine.MountPoint("ram");
    machine.AddMount(21, "8:2", sata, "ext4", "/dev/sda2");
    machine.AddMount(22, "259:0", nvme, "ext4", "/dev/nvme0n1");
    machine.AddMount(23, "254:0", crypt, "ext4", "/dev/mapper/luks");
    machine.AddMount(24, "0:51", ram, "tmpfs", "tmpfs");
    machine.WriteTable();
    LinuxVolumeSystem system(machine.Paths());

    EXPECT_EQ(system.InterfaceTypeOfDrive(sata + "/"), "IDE");
    EXPECT_EQ(system.InterfaceTypeOfDrive(nvme + "/"), "SCSI");
    EXPECT_EQ(system.InterfaceTypeOfDrive(crypt + "/"), "USB");
    EXPECT_EQ(system.InterfaceTypeOfDrive(ram + "/"), "");
    EXPECT_EQ(system.DriveType(sata + "/"), drive_type::Fixed);
    EXPECT_EQ(system.DriveType(ram + "/"), drive_type::RamDisk);
    EXPECT_EQ(system.DriveType(machine.Root().string() + "/absent/"), drive_type::NoRootDir);
}

TEST_F(FakeVolumes, WithoutUuidTheSerialIsTheFoldedFsid) {
    machine.AddDisk("8:0", test::kSataDisk);
    std::string data = machine.MountPoint("data");
    machine.AddMount(21, "8:0", data, "ext4", "/dev/sda");
    machine.WriteTable();
    LinuxVolumeSystem system(machine.Paths());
    auto facts = system.ReadVolume(data + "/");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->serial, FoldedFsidOf(data));
    EXPECT_EQ(facts->label, "");
    EXPECT_TRUE(facts->flags & fs_flag::CaseSensitiveSearch);
    EXPECT_TRUE(facts->flags & fs_flag::PersistentAcls);
}

TEST_F(FakeVolumes, UnreadableVolumeGivesEmptyResults) {
    LinuxVolumeSystem system(machine.Paths());
    TVolumeInfo info(system, machine.Root().string() + "/no/such/drive/");
    EXPECT_FALSE(info.Readable());
    EXPECT_EQ(info.SerialNumber(), "");
    EXPECT_EQ(info.SerialNumberWord(), 0u);
    EXPECT_EQ(info.VoulmeName(), "");
    EXPECT_EQ(info.FileSystem(), "");
    EXPECT_EQ(info.FileSystemFlags(), 0u);
    EXPECT_FALSE(info.Unicode());
    EXPECT_EQ(info.DriveType(), drive_type::NoRootDir);
    // Setting another drive reads it afresh.
    info.SetDrive(machine.Root().string() + "/");
    EXPECT_TRUE(info.Readable());
}

// The fake tables mount "/" from a fake device; statfs still reads the real root.
class FakeIdentity : public FakeVolumes {
protected:
    LinuxVolumeSystem SystemWithRoot(const std::string& majMin, const std::string& fsType) {
        machine.ClearTable();
        machine.AddMount(1, majMin, "/", fsType, "/dev/vda");
        machine.WriteTable();
        VolumePaths paths = machine.Paths();
        paths.systemFolder = machine.Root().string();
        return LinuxVolumeSystem(paths);
    }
};

TEST_F(FakeIdentity, RootWithUuidGivesUuidSerial) {
    machine.AddDisk("254:0", "devices/pci0000:00/0000:00:05.0/virtio2/block/vda");
    machine.AddUuid("0b6a1f2e-9d1c-4b7a-8e55-1f0c2d3e4f50", "vda");
    machine.SetMachineId("3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    EXPECT_EQ(ComputerIdentity(SystemWithRoot("254:0", "ext4")), "0B6A - 1F2E");
}

TEST_F(FakeIdentity, RootWithoutUuidGivesFoldedFsid) {
    machine.SetMachineId("3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    uint32_t fsid = FoldedFsidOf("/");
    if (fsid == 0) GTEST_SKIP() << "the root file system has no fsid";
    EXPECT_EQ(ComputerIdentity(SystemWithRoot("254:0", "ext4")), FormatSerialNumber(fsid));
}

TEST_F(FakeIdentity, TmpfsOrOverlayRootOrZeroSerialFallsBackToMachineId) {
    machine.SetMachineId("3d1219c7c4c5404aaa1f6d2a48adfda4\n");
    EXPECT_EQ(ComputerIdentity(SystemWithRoot("0:30", "tmpfs")), "3D12 - 19C7");
    EXPECT_EQ(ComputerIdentity(SystemWithRoot("0:31", "overlay")), "3D12 - 19C7");
    machine.AddDisk("254:0", "devices/pci0000:00/0000:00:05.0/virtio2/block/vda");
    machine.AddUuid("00000000-0000-0000-0000-000000000001", "vda");
    EXPECT_EQ(ComputerIdentity(SystemWithRoot("254:0", "ext4")), "3D12 - 19C7");
}

TEST_F(FakeIdentity, NoUsableMachineIdKeepsTheVolumeSerial) {
    machine.SetMachineId("uninitialized\n");
    machine.AddDisk("254:0", "devices/pci0000:00/0000:00:05.0/virtio2/block/vda");
    machine.AddUuid("00000000-0000-0000-0000-000000000001", "vda");
    EXPECT_EQ(ComputerIdentity(SystemWithRoot("254:0", "ext4")), "0000 - 0000");
}

TEST(RealIdentity, IsNineCharactersAndTwoBlanksAndStable) {
    auto system = MakeVolumeSystem();
    std::string id = ComputerIdentity(*system);
    ASSERT_EQ(id.size(), 11u) << id;
    EXPECT_EQ(id.substr(4, 3), " - ");
    EXPECT_EQ(id, ComputerIdentity(*system));
}

TEST_F(FakeVolumes, DriveListSkipsPseudoFileSystemsAndKeepsTableOrder) {
    machine.AddDisk("8:16", test::kUsbDisk, true);
    machine.AddPartition("8:17", test::kUsbDisk, "sdb1");
    machine.AddPartition("8:18", test::kUsbDisk, "sdb2");
    machine.AddDisk("8:0", test::kSataDisk);
    std::string e = machine.MountPoint("E"), f = machine.MountPoint("F"), home = machine.MountPoint("home");
    machine.AddMount(1, "254:0", "/", "ext4", "/dev/vda");
    machine.AddMount(2, "0:21", "/proc", "proc", "proc");
    machine.AddMount(3, "0:22", "/sys", "sysfs", "sysfs");
    machine.AddMount(4, "0:23", "/dev/shm", "tmpfs", "tmpfs");
    machine.AddMount(5, "0:24", "/sys/fs/cgroup/cpu", "cgroup", "cgroup");
    machine.AddMount(6, "8:17", e, "vfat", "/dev/sdb1");
    machine.AddMount(7, "8:0", home, "ext4", "/dev/sda");
    machine.AddMount(8, "8:18", f, "exfat", "/dev/sdb2");
    machine.WriteTable();
    LinuxVolumeSystem system(machine.Paths());

    std::vector<std::string> paths;
    for (const MountedDrive& d : system.MountedDrives())
        paths.push_back(d.drivePath);
    EXPECT_EQ(paths, (std::vector<std::string>{"/", e + "/", home + "/", f + "/"}));

    // Two partitions of one USB disk are both USB; the table is kept until refreshed.
    TDriveInterfaceType types(system);
    EXPECT_EQ(types.InterfaceTypeOf(e + "/"), "USB");
    EXPECT_EQ(types.InterfaceTypeOf(f + "/Docs/a.txt"), "USB");
    EXPECT_EQ(types.InterfaceTypeOf(f), "USB");
    EXPECT_EQ(types.InterfaceTypeOf(home + "/"), "IDE");
    EXPECT_TRUE(types.IsUsb(e + "/"));
    EXPECT_FALSE(types.IsUsb(home + "/alice/"));
    EXPECT_EQ(types.InterfaceTypeOf("relative/path"), "");
    EXPECT_EQ(types.InterfaceTypeOf(""), "");

    machine.ClearTable();
    machine.AddMount(1, "254:0", "/", "ext4", "/dev/vda");
    machine.WriteTable();
    EXPECT_EQ(types.InterfaceTypeOf(e + "/"), "USB");
    types.Refresh();
    EXPECT_EQ(types.InterfaceTypeOf(e + "/"), "");
}

TEST(InterfaceFilter, TypeMustOccurInTheFilterAndEmptyNeverMatches) {
    EXPECT_TRUE(InterfaceTypeMatchesFilter("USB", "USB"));
    EXPECT_FALSE(InterfaceTypeMatchesFilter("IDE", "USB"));
    EXPECT_FALSE(InterfaceTypeMatchesFilter("SCSI", "USB"));
    EXPECT_FALSE(InterfaceTypeMatchesFilter("", "USB"));
    EXPECT_TRUE(InterfaceTypeMatchesFilter("IDE", "USB;IDE"));
}

} // namespace
} // namespace drivlet

// The Open Drive dialog's rules over a made-up machine: which mounted drives the USB filter lists,
// the space texts of a drive, and "Next" refusing a missing choice and making an unknown drive
// know this computer, while a drive that knows it is not written to.
#include "core/drives/OpenDriveList.h"
#include "FakeMachine.h"
#include "core/app/SilentDialogs.h"
#include "core/drives/DriveRegistry.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxVolumeSystem.h"

#include <gtest/gtest.h>

using namespace drivlet;
using drivlet::test::FakeMachine;
namespace fs = std::filesystem;

namespace {

constexpr const char* kComputer = "1A2B - 3C4D";

class OpenDriveListTest : public ::testing::Test {
protected:
    FakeMachine machine;
    std::string stick, disk;

    void SetUp() override {
        machine.AddDisk("8:16", test::kUsbDisk, /*removable=*/true);
        machine.AddPartition("8:17", test::kUsbDisk, "sdb1");
        machine.AddDisk("8:0", test::kSataDisk);
        stick = machine.MountPoint("STICK");
        disk = machine.MountPoint("data");
        machine.AddMount(1, "254:0", "/", "ext4", "/dev/vda");
        machine.AddMount(6, "8:17", stick, "vfat", "/dev/sdb1");
        machine.AddMount(7, "8:0", disk, "ext4", "/dev/sda");
        machine.WriteTable();
    }
};

TEST_F(OpenDriveListTest, TheUsbFilterListsTheStickAndNotTheFixedDisks) {
    LinuxVolumeSystem system(machine.Paths());
    TDriveInterfaceType types(system);
    const std::vector<OpenDriveItem> usb = OpenDriveItems(types, "usb");
    ASSERT_EQ(usb.size(), 1u);
    EXPECT_EQ(usb[0].path, stick + "/");
    EXPECT_EQ(usb[0].name, "STICK");
    // Without a filter every drive is there, sorted by name.
    std::vector<std::string> names;
    for (const OpenDriveItem& item : OpenDriveItems(types, ""))
        names.push_back(item.name);
    EXPECT_EQ(names, (std::vector<std::string>{"/", "data", "STICK"}));
    // A stick plugged in later shows after a refresh.
    machine.AddDisk(
        "8:32", "devices/pci0000:00/0000:00:14.0/usb2/2-2/2-2:1.0/host7/target7:0:0/7:0:0:0/block/sdc", true);
    const std::string second = machine.MountPoint("SECOND");
    machine.AddMount(9, "8:32", second, "exfat", "/dev/sdc");
    machine.WriteTable();
    EXPECT_EQ(OpenDriveItems(types, "USB").size(), 1u);
    types.Refresh();
    EXPECT_EQ(OpenDriveItems(types, "USB").size(), 2u);
}

TEST(OpenDriveLabels, SpaceInGigabytesUsedBesideFreeAndUnknownAsNotAvailable) {
    const DriveSpaceLabels none;
    EXPECT_EQ(none.name, "N/A");
    EXPECT_EQ(none.usedFree, "0.00 Gb / 0.00 Gb");
    EXPECT_EQ(none.total, "0.00 Gb");
    const OpenDriveItem item{"/media/a/STICK/", "STICK"};
    const DriveSpaceLabels labels =
        DriveSpaceLabelsOf(item, DiskSpace{int64_t{5} * 1073741824, int64_t{16} * 1073741824});
    EXPECT_EQ(labels.name, "STICK");
    EXPECT_EQ(labels.usedFree, "11 Gb / 5 Gb");
    EXPECT_EQ(labels.total, "16 Gb");
    EXPECT_EQ(labels.used, int64_t{11} * 1073741824);
    const DriveSpaceLabels unknown = DriveSpaceLabelsOf(item, DiskSpace{});
    EXPECT_EQ(unknown.usedFree, "N/A");
    EXPECT_EQ(unknown.used + unknown.free, 0);
}

TEST_F(OpenDriveListTest, NextRefusesNoChoiceAndRegistersOnlyAnUnknownDrive) {
    SilentDialogs dialogs;
    const LinuxFileSystem& files = LinuxFileSystem::Instance();
    auto refusal = ChooseOpenDrive(std::nullopt, kComputer, files, dialogs);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, "No drive is selected. Please select a drive.");
    EXPECT_EQ(refusal->title, "Errors In Input.");
    refusal = ChooseOpenDrive(OpenDriveItem{stick + "/gone/", "gone"}, kComputer, files, dialogs);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, "Selected drive cannot be opened. Please select a deferent drive.");

    const OpenDriveItem item{stick + "/", "STICK"};
    EXPECT_FALSE(ChooseOpenDrive(item, kComputer, files, dialogs));
    EXPECT_TRUE(IsDriveKnown(item.path, kComputer, dialogs));
    const fs::path config = DriveConfigFile(item.path);
    const auto written = fs::last_write_time(config);
    const auto size = fs::file_size(config);
    // Known now: nothing is written again.
    fs::last_write_time(config, written - std::chrono::hours(1));
    EXPECT_FALSE(ChooseOpenDrive(item, kComputer, files, dialogs));
    EXPECT_EQ(fs::last_write_time(config), written - std::chrono::hours(1));
    EXPECT_EQ(fs::file_size(config), size);
}

} // namespace

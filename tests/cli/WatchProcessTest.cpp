// `drivlet-cli watch` as a process with a temporary program data root: a known drive mounted by
// the test is backed up on arrival by its drive-insertion schedule, a timed schedule runs once when
// due and is rescheduled, and SIGTERM cancels a running job and ends the watch cleanly.
#include "cli/WatchProcess.h"
#include "cli/MockLogind.h"
#include "core/app/Constants.h"
#include "core/db/ProgramDatabase.h"
#include "core/drives/DriveRegistry.h"
#include "core/drives/VolumeInfo.h"
#include "core/records/TArchiveData.h"
#include "core/records/TProgramData.h"
#include "core/schedule/TSchedule.h"
#include "platform/VolumeSystem.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <thread>

using namespace drivlet;
using namespace drivlet::test;

namespace {

std::string ThisComputer() {
    return ComputerIdentity(*MakeVolumeSystem());
}

// A backup of `source` into the job's drive (its "Backups" folder), saved as this computer's job.
void SaveBackupJob(const std::string& jobFile, const std::string& name, const std::string& source) {
    TArchiveData job;
    job.BackupName = name;
    job.ArchiveDir = TArchiveDir::amPcToUsb;
    job.Destination = "/Backups/";
    job.FolderList.Add(source);
    job.PCID = ThisComputer();
    const std::filesystem::path config = std::filesystem::path(jobFile).parent_path();
    std::filesystem::create_directories(config);
    // Without it the launcher asks about a missing folder, which the watch answers No.
    std::filesystem::create_directories(config.parent_path() / "Backups");
    job.SaveCompressed(jobFile);
}

class Watch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "drivlet-cli is not built";
        root = dir.path().string() + "/";
        source = root + "photos/";
        WriteFile(source + "a.jpg", "first photo");
        WriteFile(source + "b.jpg", "second photo");
    }
    std::filesystem::path ProgramDataRoot() const {
        return dir / "ProgramData" / std::string(kVendorSubPath);
    }
    // A row added as the Schedules window or `drivlet-cli schedule add` leaves it.
    int64_t AddRow(const std::string& file, int mode, std::optional<TDateTime> next = std::nullopt,
                   const TSchedule* schedule = nullptr) {
        ProgramDatabase db(ProgramDatabase::PathFor(ProgramDataRoot()));
        ScheduleRunRow row = db.AddSchedule(file, "Photos");
        row.Mode = mode;
        row.NextRunTime = next;
        if (schedule) {
            TSchedule copy;
            copy.Assign(*schedule);
            copy.TimeH = schedule->TimeH;
            copy.TimeM = schedule->TimeM;
            row.Data = copy.SaveCompressedToField();
        }
        db.SaveSchedule(row);
        return row.ID;
    }

    TempDir dir;
    std::string root, source;
};

TEST_F(Watch, AKnownDriveIsBackedUpOnArrivalAndAnUnknownOneIsLeftAlone) {
    // The drive is filled before the watch starts and appears under its mount point only later,
    // by a bind mount: a drive arrives with its files already on it.
    TmpfsMount stick(dir / "stage", "16m");
    DRIVLET_REQUIRE_MOUNT(stick);
    const std::string stage = stick.path().string() + "/";
    RegisterDrive(stage, ThisComputer(), LinuxFileSystem::Instance());
    SaveBackupJob(stage + "Config/Photos.Ubk", "Photos", source);
    // Scheduled when the drive was mounted somewhere else.
    AddRow("/media/someone/OLDSTICK/Config/Photos.Ubk", kRunAtDriveInsertion);

    WatchProcess watch(dir / "ProgramData");
    ASSERT_TRUE(watch.WaitFor("watching:")) << watch.Output();

    TmpfsMount stranger(dir / "OTHER", "1m");
    ASSERT_TRUE(stranger.mounted()) << stranger.error();
    EXPECT_TRUE(watch.WaitFor("left alone: " + root + "OTHER/")) << watch.Output();
    // A newline in a mount point stays on its line, escaped.
    TmpfsMount odd(dir / "ODD\nNAME", "1m");
    ASSERT_TRUE(odd.mounted()) << odd.error();
    EXPECT_TRUE(watch.WaitFor("left alone: " + root + "ODD\\nNAME/\n")) << watch.Output();

    const std::string drive = root + "STICK/";
    std::filesystem::create_directories(drive);
    if (mount(stage.c_str(), drive.c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "a bind mount was refused: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{drive};

    ASSERT_TRUE(watch.WaitFor("drive arrived: " + drive)) << watch.Output();
    ASSERT_TRUE(watch.WaitFor("end: " + drive + "Config/Photos.Ubk (exit 0")) << watch.Output();
    EXPECT_EQ(ReadFile(drive + "Backups/" + source.substr(1) + "a.jpg"), "first photo");
    EXPECT_EQ(ReadFile(drive + "Backups/" + source.substr(1) + "b.jpg"), "second photo");
    EXPECT_EQ(watch.Stop(), 0) << watch.Output();
    EXPECT_NE(watch.Output().find("stopped"), std::string::npos);
}

TEST_F(Watch, ATimedScheduleDueAMinuteLaterRunsOnceAndIsRescheduled) {
    const std::string job = root + "STICK/Config/Docs.Ubk";
    SaveBackupJob(job, "Docs", source);
    // Monthly on the first at midnight; the watch starts a second before, in the minute before.
    TSchedule monthly;
    monthly.DayOfMonth = 1;
    const TDateTime due = EncodeDateTime({2030, 2, 1, 0, 0, 0, 0});
    const int64_t id = AddRow(job, kRunTimed, due, &monthly);

    // And a deleted-files store over its limit, said once as a log line.
    TProgramData settings(ProgramDataRoot());
    settings.MaxDeletedSize = 100 * 1048576;
    settings.SaveCompressed(TProgramData::SettingsFile(ProgramDataRoot()));
    ProgramDatabase(ProgramDatabase::PathFor(ProgramDataRoot())).LogDeletedFile("home/a.iso", 3LL << 30);

    WatchProcess watch(dir / "ProgramData", "2030-01-31 23:59:59");
    ASSERT_TRUE(watch.WaitFor("watching:")) << watch.Output();
    EXPECT_TRUE(
        watch.WaitFor("Deleted files space overload. Please clear deleted files. (3 Gb used, the limit is "
                      "100 Mb)"))
        << watch.Output();
    ASSERT_TRUE(watch.WaitFor("end: " + job + " (exit 0")) << watch.Output();
    // Rescheduled in the pass that started it.
    ProgramDatabase db(ProgramDatabase::PathFor(ProgramDataRoot()));
    EXPECT_EQ(db.FindSchedule(id)->NextRunTime, EncodeDateTime({2030, 3, 1, 0, 0, 0, 0}));
    EXPECT_EQ(ReadFile(root + "STICK/Backups/" + source.substr(1) + "a.jpg"), "first photo");

    EXPECT_EQ(watch.Stop(), 0) << watch.Output();
    const std::string& out = watch.Output();
    size_t starts = 0;
    for (size_t at = 0; (at = out.find("start: " + job, at)) != std::string::npos; ++at)
        ++starts;
    EXPECT_EQ(starts, 1u) << out;
    size_t alerts = 0;
    for (size_t at = 0; (at = out.find("space overload", at)) != std::string::npos; ++at)
        ++alerts;
    EXPECT_EQ(alerts, 1u) << out;
}

TEST_F(Watch, AJobRunsOnceAtATimeAndSigtermCancelsItAndEndsTheWatch) {
    // Large enough to be in the middle of its copy when the signal comes; sparse, so quick to make.
    { std::ofstream big(source + "big.bin", std::ios::binary); }
    std::filesystem::resize_file(source + "big.bin", 2ull << 30);
    const std::string job = root + "STICK/Config/Big.Ubk";
    SaveBackupJob(job, "Big", source);
    AddRow(job, kRunAtStartup);
    AddRow(job, kRunAtStartup); // the same job file twice: it runs once at a time

    WatchProcess watch(dir / "ProgramData");
    ASSERT_TRUE(watch.WaitFor("start: " + job)) << watch.Output();
    const std::string backups = root + "STICK/Backups";
    // The files go in name order: once b.jpg is logged, big.bin is being copied.
    ASSERT_TRUE(watch.WaitFor("Success\t" + source + "b.jpg")) << watch.Output();
    EXPECT_EQ(watch.Stop(SIGTERM), 0) << watch.Output();
    const std::string& out = watch.Output();
    if (out.find("(exit 0") != std::string::npos) GTEST_SKIP() << "the copy ended before the signal: " << out;
    EXPECT_NE(out.find("stopping: 1 running job(s) cancelled"), std::string::npos) << out;
    EXPECT_NE(out.find("end: " + job + " (exit 2"), std::string::npos) << out;
    EXPECT_NE(out.find("Canceled"), std::string::npos) << out;
    EXPECT_NE(out.find("already running, not started again: " + job), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(backups + "/" + source.substr(1) + "big.bin"));
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(backups, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        EXPECT_EQ(it->path().filename().string().find(".drivlet-tmp-"), std::string::npos) << it->path();
}

// With a login manager, the watch holds the shut-down back while a shut-down job waits, runs the
// job when the machine goes down, and then asks for the power-off that waited for it.
TEST_F(Watch, AShutdownJobHoldsTheShutdownBackAndItsEndPowersOff) {
    MockLogind logind(dir / "bus");
    if (!logind.Ready()) GTEST_SKIP() << logind.Why();
    const std::string job = root + "STICK/Config/Last.Ubk";
    SaveBackupJob(job, "Last", source);
    AddRow(job, kRunAtShutdown);

    // The watch inherits the mock's bus as its system bus.
    struct SystemBus {
        explicit SystemBus(const std::string& address) {
            setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        }
        ~SystemBus() { unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }
    } bus(logind.Address());
    WatchProcess watch(dir / "ProgramData");
    ASSERT_TRUE(watch.WaitFor("holding the shut-down back while jobs run or wait")) << watch.Output();
    const std::string calls = logind.CallLog();
    EXPECT_NE(calls.find("Inhibit \"shutdown\" \"Drivlet\" \"Some threads are running."), std::string::npos)
        << calls;
    EXPECT_NE(calls.find("\"block\""), std::string::npos) << calls;
    EXPECT_EQ(calls.find("PowerOff"), std::string::npos) << calls;

    ASSERT_TRUE(logind.EmitPrepareForShutdown());
    ASSERT_TRUE(watch.WaitFor("the machine is shutting down")) << watch.Output();
    ASSERT_TRUE(watch.WaitFor("start: " + job)) << watch.Output();
    // Asked once the job's worker has ended, just before its last lines.
    ASSERT_TRUE(watch.WaitFor("the jobs are done: the machine is powered off")) << watch.Output();
    ASSERT_TRUE(watch.WaitFor("end: " + job + " (exit 0")) << watch.Output();
    EXPECT_EQ(ReadFile(root + "STICK/Backups/" + source.substr(1) + "a.jpg"), "first photo");
    EXPECT_EQ(watch.Stop(), 0) << watch.Output();
    EXPECT_NE(logind.CallLog().find("PowerOff False"), std::string::npos);
}

} // namespace

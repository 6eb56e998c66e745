// The launcher's steps for backup and move jobs: the computer check, the drive paths read
// against the drive's current place, the folder check, the archive folder, the start time
// written back, and the drive's registration.
#include "core/db/BackupDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/drives/DriveRegistry.h"
#include "core/launch/BackupLaunch.h"
#include "core/records/TDiskConfigFile.h"
#include "core/stream/RecordFile.h"
#include "engine/EngineTestSupport.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace drivlet;
using namespace drivlet::test;

namespace {

const TDateTime kStart = EncodeDateTime({2010, 8, 16, 14, 5, 30, 0});

TEST(DrivePaths, TheDriveIsTheFolderHoldingConfig) {
    EXPECT_EQ(DrivePathOfJobFile("/media/a/STICK/Config/x.Ubk"), "/media/a/STICK/");
    EXPECT_EQ(DrivePathOfJobFile("/media/a/STICK/config/x.Ubk"), "/media/a/STICK/");
    EXPECT_EQ(DrivePathOfJobFile("/media/a/STICK/Jobs/x.Ubk"), "/media/a/STICK/Jobs/");
    EXPECT_EQ(DrivePathOfJobFile("/Config/x.Ubk"), "/");
}

TEST(DrivePaths, RebasingKeepsPathsOnTheDriveAndReadsTheRestAgainstIt) {
    EXPECT_EQ(RebaseOntoDrive("/Photos/", "/media/b/STICK1/"), "/media/b/STICK1/Photos/");
    EXPECT_EQ(RebaseOntoDrive("/media/b/STICK1/Photos/", "/media/b/STICK1/"), "/media/b/STICK1/Photos/");
    EXPECT_EQ(RebaseOntoDrive("/", "/media/b/STICK1/"), "/media/b/STICK1/");
    EXPECT_EQ(RebaseOntoDrive("/media/b/STICK1", "/media/b/STICK1/"), "/media/b/STICK1/");
    EXPECT_EQ(RebaseOntoDrive("", "/media/b/STICK1/"), "");
}

TEST(ArchiveFolder, TimeStampedRunsNameASiblingFolder) {
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amTimeStamped, "/d/Back", kStart), "/d/Back 2010-08-16 14-05/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amTimeStampedIncremental, "/d/Back/", kStart),
              "/d/Back 2010-08-16 14-05/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amIncremental, "/d/Back", kStart), "/d/Back/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amMove, "/d/Back/", kStart), "/d/Back/");
}

TEST(FinishMessages, TextsOfEachKind) {
    EXPECT_EQ(FinishMessage(JobKind::Backup, 12, 1), "Backup file operation completed !\nTotal Files : 12\nErrors : 1");
    EXPECT_EQ(FinishMessage(JobKind::Move, -1, 0), "File moves cmpleted !\nTotal Files : 0\nErrors : 0");
    EXPECT_EQ(FinishMessage(JobKind::PCSync, 3, 0), "PC Sync file operation completed !\nTotal Files : 3\nErrors : 0");
}

class LaunchBackupTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    RecordingDialogs dialogs;
    RecordingEvents events;
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK1/";
    const std::string jobFile = drive + "Config/Docs.Ubk";
    const std::string source = root + "home/alice/Docs/";

    void SetUp() override {
        std::filesystem::create_directories(drive + "Config");
        std::filesystem::create_directories(source);
        WriteFile(source + "a.txt", "alpha");
    }
    TArchiveData Job(TArchiveMode mode = TArchiveMode::amIncremental) {
        TArchiveData job(clock);
        job.BackupName = "Docs";
        job.PCID = "PC-1";
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.ArchiveMode = mode;
        job.Destination = "/Backups/";
        job.FolderList.Add(source);
        return job;
    }
    std::optional<BackupLaunch> Launch() {
        LaunchServices services{{files, InPlaceHandoff::Instance(), clock}, dialogs, "PC-1", {}, {}};
        std::optional<BackupLaunch> launch = LaunchBackup(jobFile, services, &events);
        if (launch) launch->worker->WaitFor();
        return launch;
    }
};

TEST_F(LaunchBackupTest, AJobOfThisComputerRunsOnTheDriveWhereverItIsMounted) {
    std::filesystem::create_directories(drive + "Backups");
    Job().SaveCompressed(jobFile);
    auto launch = Launch();
    ASSERT_TRUE(launch);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(launch->archiveFolder, drive + "Backups/");
    EXPECT_EQ(ReadFile(drive + "Backups/" + source.substr(1) + "a.txt"), "alpha");
    EXPECT_EQ(launch->kind, JobKind::Backup);
    EXPECT_TRUE(std::filesystem::exists(drive + "Config/Docs.Udb"));
    // The start time is written back into the job.
    TArchiveData saved(clock);
    ASSERT_EQ(saved.LoadCompressed(jobFile, dialogs), LoadResult::Loaded);
    EXPECT_DOUBLE_EQ(saved.LastUpdate, kStart);
    launch->worker->ReleaseRunningCount();
}

TEST_F(LaunchBackupTest, AJobOfAnotherComputerAsksAndNoLeavesTheFileAlone) {
    TArchiveData job = Job();
    job.PCID = "PC-2";
    job.SaveCompressed(jobFile);
    const auto before = ReadRecordFile(jobFile);
    EXPECT_FALSE(Launch());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Load Job");
    EXPECT_EQ(ReadRecordFile(jobFile), before);
    EXPECT_FALSE(std::filesystem::exists(drive + "Config/Docs.Udb"));

    dialogs.answers = {dlg::Yes, dlg::Yes};
    auto launch = Launch();
    ASSERT_TRUE(launch);
    launch->worker->ReleaseRunningCount();
}

TEST_F(LaunchBackupTest, AMissingFolderAsksAndOnlyNoStopsTheRun) {
    Job().SaveCompressed(jobFile); // the drive has no "Backups" folder yet
    dialogs.answers = {dlg::No};
    EXPECT_FALSE(Launch());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Folder Missing");

    dialogs.answers = {dlg::NoAnswer}; // the question closed without an answer
    auto launch = Launch();
    ASSERT_TRUE(launch);
    EXPECT_EQ(ReadFile(drive + "Backups/" + source.substr(1) + "a.txt"), "alpha");
    launch->worker->ReleaseRunningCount();
}

TEST_F(LaunchBackupTest, SourcesOnTheDriveFollowTheDriveAndStampedRunsGetTheirFolder) {
    std::filesystem::create_directories(drive + "Photos");
    WriteFile(drive + "Photos/p.jpg", "jpeg");
    const std::string dest = root + "home/alice/PhotoBackup";
    std::filesystem::create_directories(dest);
    TArchiveData job = Job(TArchiveMode::amTimeStamped);
    job.ArchiveDir = TArchiveDir::amUsbToPc;
    job.Destination = dest;
    job.FolderList.Clear();
    job.FolderList.Add("/Photos/"); // as stored by the wizard: drive-relative
    job.SaveCompressed(jobFile);
    auto launch = Launch();
    ASSERT_TRUE(launch);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(launch->archiveFolder, dest + " 2010-08-16 14-05/");
    EXPECT_EQ(ReadFile(launch->archiveFolder + drive.substr(1) + "Photos/p.jpg"), "jpeg");
    const auto history = BackupDatabase(drive + "Config/Docs.Udb").ArchiveHistory();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].Status, "Finished !");
    launch->worker->ReleaseRunningCount();
}

TEST_F(LaunchBackupTest, AJobWithoutDestinationIsRefused) {
    TArchiveData job = Job();
    job.ArchiveDir = TArchiveDir::amUsbToPc;
    job.Destination.clear();
    job.SaveCompressed(jobFile);
    EXPECT_FALSE(Launch());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Error);
}

TEST(DriveRegistry, RegisteringMakesTheDriveKnownOnce) {
    TempDir dir;
    const std::string drive = dir.path().string() + "/STICK/";
    std::filesystem::create_directories(drive);
    LinuxFileSystem files;
    RecordingDialogs dialogs;
    EXPECT_FALSE(IsDriveKnown(drive, "AB12 - CD34", dialogs));
    RegisterDrive(drive, "AB12 - CD34", files, dialogs);
    RegisterDrive(drive, "ab12 - cd34", files, dialogs);
    RegisterDrive(drive, "9999 - 0000", files, dialogs);
    EXPECT_TRUE(IsDriveKnown(drive, "AB12 - CD34", dialogs));
    TDiskConfigFile config;
    ASSERT_EQ(config.LoadCompressed(DriveConfigFile(drive), dialogs), LoadResult::Loaded);
    EXPECT_EQ(config.PCList, (TStringList{"AB12 - CD34", "9999 - 0000"}));
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace

namespace {

TEST_F(LaunchBackupTest, AZipJobWritesItsArchiveWithThePassword) {
    std::filesystem::create_directories(drive + "Backups");
    TArchiveData job = Job();
    job.ArchiveType = TArchiveType::atImage;
    job.Password = "s3cret";
    job.SaveCompressed(jobFile);
    auto launch = Launch();
    ASSERT_TRUE(launch);
    EXPECT_TRUE(std::filesystem::exists(drive + "Backups/Root.Zip"));
    EXPECT_TRUE(events.errors.empty());
    ASSERT_EQ(events.logs.size(), 1u);
    EXPECT_EQ(events.logs[0].action, "Zip File");
    EXPECT_FALSE(events.logs[0].isError);
    launch->worker->ReleaseRunningCount();
}

} // namespace

// The launcher's steps for backup and move jobs: the computer check, the drive paths read
// against the drive's current place, the folder check, the archive folder, the start time
// written back, and the drive's registration.
#include "DirectLaunch.h"
#include "core/db/BackupDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/drives/DriveRegistry.h"
#include "core/records/TDiskConfigFile.h"
#include "core/stream/RecordFile.h"
#include "engine/EngineTestSupport.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

TEST(ArchiveFolder, TimeStampedRunsNameASiblingFolderOrOneInside) {
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amTimeStamped, "/d/Back", kStart), "/d/Back 2010-08-16 14-05/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amTimeStampedIncremental, "/d/Back/", kStart),
              "/d/Back 2010-08-16 14-05/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amIncremental, "/d/Back", kStart), "/d/Back/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amMove, "/d/Back/", kStart), "/d/Back/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amTimeStamped, "/d/Back", kStart, StampPlace::Inside),
              "/d/Back/2010-08-16 14-05/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amTimeStampedIncremental, "/", kStart, StampPlace::Inside),
              "/2010-08-16 14-05/");
    EXPECT_EQ(ArchiveFolderFor(TArchiveMode::amIncremental, "/d/Back", kStart, StampPlace::Inside),
              "/d/Back/");
}

// The real file service, with folders that refuse new entries.
class ReadOnlyFolders final : public ForwardingFileSystem {
public:
    ReadOnlyFolders(const IFileSystem& real, std::string readOnly)
        : ForwardingFileSystem(real), readOnly_(std::move(readOnly)) {}
    bool CanWriteIn(const std::filesystem::path& folder) const override {
        return folder.string() != readOnly_ && real_.CanWriteIn(folder);
    }

private:
    std::string readOnly_;
};

TEST(StampPlace, InsideWhereASiblingWouldLeaveTheDestinationOrCannotBeMade) {
    TempDir dir;
    LinuxFileSystem files;
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string home = root + "home/alice/";
    std::filesystem::create_directories(drive + "Config");
    std::filesystem::create_directories(home + "Backups");
    std::filesystem::create_directories(root + "data/Back");
    EXPECT_EQ(StampPlaceFor(files, root + "data/Back", drive, home), StampPlace::Beside);
    EXPECT_EQ(StampPlaceFor(files, home + "Backups/", drive, home), StampPlace::Beside);
    EXPECT_EQ(StampPlaceFor(files, "/", drive, home), StampPlace::Inside);
    EXPECT_EQ(StampPlaceFor(files, drive, drive, home), StampPlace::Inside);
    EXPECT_EQ(StampPlaceFor(files, root + "STICK", drive, home), StampPlace::Inside);
    EXPECT_EQ(StampPlaceFor(files, home, drive, home), StampPlace::Inside);
    // The home folder reached through a link is the home folder still.
    std::filesystem::create_directory_symlink(home, root + "me");
    EXPECT_EQ(StampPlaceFor(files, root + "me/", drive, home), StampPlace::Inside);

    const ReadOnlyFolders readOnly(files, root + "data/");
    EXPECT_EQ(StampPlaceFor(readOnly, root + "data/Back/", drive, home), StampPlace::Inside);
    EXPECT_EQ(StampPlaceFor(readOnly, home + "Backups/", drive, home), StampPlace::Beside);
}

TEST(StampPlace, InsideAVolumesRoot) {
    TempDir dir;
    LinuxFileSystem files;
    const std::string disk = dir.path().string() + "/media/alice/DISK";
    TmpfsMount volume(disk, "1m");
    DRIVLET_REQUIRE_MOUNT(volume);
    EXPECT_EQ(StampPlaceFor(files, disk + "/", "", ""), StampPlace::Inside);
    std::filesystem::create_directories(disk + "/Back");
    EXPECT_EQ(StampPlaceFor(files, disk + "/Back/", "", ""), StampPlace::Beside);
}

TEST(FinishMessages, TextsOfEachKind) {
    EXPECT_EQ(FinishMessage(JobKind::Backup, 12, 1),
              "Backup file operation completed !\nTotal Files : 12\nErrors : 1");
    EXPECT_EQ(FinishMessage(JobKind::Move, -1, 0), "File moves cmpleted !\nTotal Files : 0\nErrors : 0");
    EXPECT_EQ(FinishMessage(JobKind::PCSync, 3, 0),
              "PC Sync file operation completed !\nTotal Files : 3\nErrors : 0");
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
        LaunchServices services{{files, clock}, dialogs, "PC-1", {}, {}};
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
}

} // namespace

namespace {

// $HOME for one test.
class HomeFolder {
public:
    explicit HomeFolder(const std::string& home) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~HomeFolder() {
        if (old_)
            setenv("HOME", old_->c_str(), 1);
        else
            unsetenv("HOME");
    }
    HomeFolder(const HomeFolder&) = delete;
    HomeFolder& operator=(const HomeFolder&) = delete;

private:
    std::optional<std::string> old_;
};

TEST_F(LaunchBackupTest, AStampedRunIntoTheDrivesRootStaysOnTheDrive) {
    TArchiveData job = Job(TArchiveMode::amTimeStamped);
    job.Destination = "/"; // the drive's root
    job.SaveCompressed(jobFile);
    auto launch = Launch();
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->archiveFolder, drive + "2010-08-16 14-05/");
    EXPECT_EQ(ReadFile(launch->archiveFolder + source.substr(1) + "a.txt"), "alpha");
    EXPECT_FALSE(std::filesystem::exists(root + "STICK1 2010-08-16 14-05"));
    // The history key is drive-relative, so it still works when the drive is mounted elsewhere.
    const auto history = BackupDatabase(drive + "Config/Docs.Udb").ArchiveHistory();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].ArchiveFolder, "/2010-08-16 14-05/");
    EXPECT_EQ(history[0].Status, "Finished !");
}

TEST_F(LaunchBackupTest, AStampedRunIntoTheHomeFolderStaysInIt) {
    const std::string home = root + "home/alice/";
    const HomeFolder homeFolder(home);
    std::filesystem::create_directories(drive + "Photos");
    WriteFile(drive + "Photos/p.jpg", "jpeg");
    TArchiveData job = Job(TArchiveMode::amTimeStamped);
    job.ArchiveDir = TArchiveDir::amUsbToPc;
    job.Destination = home;
    job.FolderList.Clear();
    job.FolderList.Add("/Photos/");
    job.SaveCompressed(jobFile);
    auto launch = Launch();
    ASSERT_TRUE(launch);
    EXPECT_EQ(launch->archiveFolder, home + "2010-08-16 14-05/");
    EXPECT_EQ(ReadFile(launch->archiveFolder + drive.substr(1) + "Photos/p.jpg"), "jpeg");
    EXPECT_FALSE(std::filesystem::exists(root + "home/alice 2010-08-16 14-05"));
}

} // namespace

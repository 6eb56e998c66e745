// A job touches only what is its own. A job file runs only from the "Config" folder at a drive's
// root, found from its real path (a copy kept elsewhere or a link into a stick would make some
// other folder the drive); two zip jobs never share an archive; a completely-new run deletes only
// the copies its runs made; drive-side lists stay drive-relative; a read-only drive's history
// and backups can still be restored.
#include "core/launch/JobRunner.h"
#include "core/launch/RestorePoints.h"
#include "core/launch/RestoreRunner.h"
#include "engine/EngineTestSupport.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sys/mount.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 9, 12, 18, 30, 0, 0});

class JobLocationTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    RecordingEvents events;
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string home = root + "home/gail/";
    // Only the stick is a drive here, as a mount table would say.
    JobRunner runner{{{files, clock}, "PC-1", {}, [this](const std::string& path) { return path == drive; }}};

    void SetUp() override {
        fs::create_directories(drive + "Config");
        WriteFile(drive + "Config/Drive Config.cfg", "drive");
        WriteFile(home + "Documents/thesis.txt", "thesis");
        WriteFile(home + "notes.txt", "notes");
    }
    // A one-way sync of the whole drive with a folder of the computer that holds nothing, the
    // computer's side being the master: run from the wrong place it would take that place for the
    // drive and empty it.
    TSyncData RootSync() {
        TSyncData sync;
        sync.SyncName = "Whole";
        sync.PCID = "PC-1";
        sync.FolderAList.Add("<Root>");
        sync.FolderBList.Add(root + "empty/");
        sync.SyncDirection = TSyncDirection::sdUSBToPC;
        fs::create_directories(root + "empty");
        return sync;
    }
    void ExpectHomeWhole() {
        EXPECT_EQ(ReadFile(home + "Documents/thesis.txt"), "thesis");
        EXPECT_EQ(ReadFile(home + "notes.txt"), "notes");
    }
};

TEST_F(JobLocationTest, AJobFileOutsideADrivesConfigFolderIsRefusedBeforeAnythingIsTouched) {
    TSyncData sync = RootSync();
    sync.SaveCompressed(home + "Whole.Usy");
    const PreparedJob copied = runner.Prepare(home + "Whole.Usy");
    ASSERT_FALSE(copied.Ready());
    EXPECT_EQ(copied.Refusal()->reason, RefusalReason::NotOnDrive);
    EXPECT_NE(copied.Refusal()->text.find("\"Config\" folder at the root of its drive"), std::string::npos)
        << copied.Refusal()->text;

    // A folder named Config that is not at a drive's root is no better.
    fs::create_directories(home + "Config");
    sync.SaveCompressed(home + "Config/Whole.Usy");
    const PreparedJob nested = runner.Prepare(home + "Config/Whole.Usy");
    ASSERT_FALSE(nested.Ready());
    EXPECT_EQ(nested.Refusal()->reason, RefusalReason::NotOnDrive);
    EXPECT_NE(nested.Refusal()->text.find(home + " is not the root of a mounted drive"), std::string::npos);

    // Nothing was read into a run, locked or written.
    ExpectHomeWhole();
    EXPECT_FALSE(fs::exists(home + "Whole.Usy.lock"));
    EXPECT_FALSE(fs::exists(home + "Config/Whole.Usdb"));

    RestoreRunner restores({{files, clock}, "PC-1", {}, runner.Services().isDriveRoot});
    const PreparedRestore restore = restores.Prepare(home + "Whole.Usy");
    ASSERT_FALSE(restore.Ready());
    EXPECT_EQ(restore.Refusal()->reason, RefusalReason::NotOnDrive);
}

TEST_F(JobLocationTest, AJobReachedThroughALinkRunsOnTheDriveItReallyLivesOn) {
    TSyncData sync = RootSync();
    sync.SyncDirection = TSyncDirection::sdPCToUSB; // the drive's side is the master here
    sync.SaveCompressed(drive + "Config/Whole.Usy");
    WriteFile(drive + "Docs/a.txt", "alpha");
    // A link in the home folder to the stick's Config folder: its name is no "Config", and the
    // folder above it is the home folder.
    fs::create_directory_symlink(drive + "Config", home + "Jobs");
    PreparedJob job = runner.Prepare(home + "Jobs/Whole.Usy");
    ASSERT_TRUE(job.Ready()) << job.Refusal()->text;
    EXPECT_EQ(job.File(), drive + "Config/Whole.Usy");
    JobStart start = runner.Start(std::move(job), {}, &events);
    ASSERT_TRUE(start.Started());
    start.run->Wait();
    EXPECT_TRUE(start.run->Outcome().Complete()) << start.run->Outcome().finishMessage;
    // The drive's own files are the ones synced; its Config folder and the home folder untouched.
    EXPECT_EQ(ReadFile(root + "empty/Docs/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(drive + "Config/Drive Config.cfg"), "drive");
    EXPECT_TRUE(fs::exists(drive + "Config/Whole.Usy"));
    ExpectHomeWhole();
}

TEST_F(JobLocationTest, WithoutANamedDriveOnlyAMountPointIsADrive) {
    EXPECT_TRUE(IsMountPoint("/", files));
    EXPECT_FALSE(IsMountPoint(drive, files));
    EXPECT_FALSE(IsMountPoint(root + "missing/", files));
    const JobLocation unmounted = LocateJobFile(drive + "Config/Drive Config.cfg", files, {});
    ASSERT_TRUE(unmounted.refusal);
    EXPECT_EQ(unmounted.refusal->reason, RefusalReason::NotOnDrive);

    TmpfsMount stick(root + "MOUNTED", "4m");
    DRIVLET_REQUIRE_MOUNT(stick);
    fs::create_directories(root + "MOUNTED/Config");
    WriteFile(root + "MOUNTED/Config/Job.Ubk", "x");
    EXPECT_TRUE(IsMountPoint(root + "MOUNTED/", files));
    const JobLocation mounted = LocateJobFile(root + "MOUNTED/Config/Job.Ubk", files, {});
    EXPECT_FALSE(mounted.refusal) << mounted.refusal->text;
    EXPECT_EQ(mounted.drivePath, root + "MOUNTED/");
}

// The test's home folder stands for the user's while the test runs.
class HomeFolder {
public:
    explicit HomeFolder(const std::string& home) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~HomeFolder() { setenv("HOME", old_.c_str(), 1); }

private:
    std::string old_;
};

class OwnFilesTest : public JobLocationTest {
protected:
    const std::string source = home + "Documents/";
    JobRunner anyDrive{{{files, clock}, "PC-1", {}, AnyFolderIsADrive}};

    TArchiveData Backup(const std::string& name, TArchiveType type, TArchiveMode mode) {
        TArchiveData job(clock);
        job.BackupName = name;
        job.PCID = "PC-1";
        job.ArchiveType = type;
        job.ArchiveMode = mode;
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.Destination = "/Backups/";
        job.FolderList.Add(source);
        return job;
    }
    JobOutcome Run(const JobRunner& with, const std::string& file) {
        PreparedJob job = with.Prepare(file);
        EXPECT_TRUE(job.Ready()) << job.Refusal()->text;
        if (!job.Ready()) return {};
        const std::vector<int> yes(job.Questions().size(), dlg::Yes);
        JobStart start = with.Start(std::move(job), yes, &events);
        EXPECT_TRUE(start.Started());
        if (!start.Started()) return {};
        start.run->Wait();
        return start.run->Outcome();
    }
};

TEST_F(OwnFilesTest, TwoZipJobsWithOneDestinationAreRefusedBeforeEitherTouchesTheOthersArchive) {
    fs::create_directories(drive + "Backups");
    TArchiveData a = Backup("A", TArchiveType::atImage, TArchiveMode::amCompletelyNew);
    a.SaveCompressed(drive + "Config/A.Ubk");
    ASSERT_TRUE(Run(anyDrive, drive + "Config/A.Ubk").Complete());
    const std::string archive = ReadFile(drive + "Backups/Root.Zip");

    TArchiveData b = Backup("B", TArchiveType::atImage, TArchiveMode::amIncremental);
    b.FolderList.Clear();
    b.FolderList.Add(home);
    b.SaveCompressed(drive + "Config/B.Ubk");
    for (const std::string job : {"A.Ubk", "B.Ubk"}) {
        const PreparedJob refused = anyDrive.Prepare(drive + "Config/" + job);
        ASSERT_FALSE(refused.Ready()) << job;
        EXPECT_EQ(refused.Refusal()->reason, RefusalReason::SharedArchive);
        EXPECT_NE(refused.Refusal()->text.find("cannot share a destination folder"), std::string::npos);
    }
    EXPECT_EQ(ReadFile(drive + "Backups/Root.Zip"), archive);

    // Time-stamped runs each get a folder of their own, and a folder copy no zip file.
    TArchiveData stamped = Backup("B", TArchiveType::atImage, TArchiveMode::amTimeStamped);
    stamped.SaveCompressed(drive + "Config/B.Ubk");
    EXPECT_TRUE(anyDrive.Prepare(drive + "Config/B.Ubk").Ready());
}

TEST_F(OwnFilesTest, ACompletelyNewFolderCopyDeletesOnlyTheCopiesItsRunsMade) {
    // The computer's home folder as the destination of a backup from the drive.
    const HomeFolder user(home);
    WriteFile(drive + "Photos/cat.jpg", "cat");
    TArchiveData job = Backup("Photos", TArchiveType::atFile, TArchiveMode::amCompletelyNew);
    job.ArchiveDir = TArchiveDir::amUsbToPc;
    job.FolderList.Clear();
    job.FolderList.Add("/Photos/");
    job.Destination = home;
    job.SaveCompressed(drive + "Config/Photos.Ubk");
    const JobOutcome refused = Run(anyDrive, drive + "Config/Photos.Ubk");
    EXPECT_EQ(refused.ending, JobEnding::Failed) << refused.finishMessage;
    ExpectHomeWhole();

    // A folder of its own, shared with a file of the user's and another job's copy.
    job.Destination = home + "Restored/";
    job.SaveCompressed(drive + "Config/Photos.Ubk");
    fs::create_directories(home + "Restored");
    ASSERT_TRUE(Run(anyDrive, drive + "Config/Photos.Ubk").Complete());
    const std::string copy = home + "Restored" + drive + "Photos/";
    EXPECT_EQ(ReadFile(copy + "cat.jpg"), "cat");
    WriteFile(home + "Restored/mine.txt", "mine");
    WriteFile(copy + "added-by-hand.txt", "hand");
    fs::remove(drive + "Photos/cat.jpg");
    WriteFile(drive + "Photos/dog.jpg", "dog");
    clock.Advance(1);
    ASSERT_TRUE(Run(anyDrive, drive + "Config/Photos.Ubk").Complete());
    EXPECT_FALSE(fs::exists(copy + "cat.jpg")) << "the job's own old copy goes";
    EXPECT_EQ(ReadFile(copy + "dog.jpg"), "dog");
    EXPECT_EQ(ReadFile(copy + "added-by-hand.txt"), "hand");
    EXPECT_EQ(ReadFile(home + "Restored/mine.txt"), "mine");
}

TEST_F(OwnFilesTest, DriveSideListsStayDriveRelativeAndFollowTheDriveToAnotherMountPoint) {
    WriteFile(drive + "Photos/cat.jpg", "cat");
    TArchiveData job = Backup("Photos", TArchiveType::atFile, TArchiveMode::amIncremental);
    job.ArchiveDir = TArchiveDir::amUsbToPc;
    job.FolderList.Clear();
    job.FolderList.Add("/Photos/");
    job.Destination = home + "Restored/";
    job.SaveCompressed(drive + "Config/Photos.Ubk");
    ASSERT_TRUE(Run(anyDrive, drive + "Config/Photos.Ubk").Complete());
    TArchiveData saved(clock);
    ASSERT_EQ(saved.LoadCompressed(drive + "Config/Photos.Ubk"), LoadResult::Loaded);
    EXPECT_EQ(saved.FolderList.Items(), std::vector<std::string>{"/Photos/"});

    // The same stick under another name: the job still finds its folder there.
    fs::rename(root + "STICK", root + "STICK1");
    WriteFile(root + "STICK1/Photos/dog.jpg", "dog");
    clock.Advance(1);
    const JobOutcome moved = Run(anyDrive, root + "STICK1/Config/Photos.Ubk");
    EXPECT_TRUE(moved.Complete()) << moved.finishMessage;
    EXPECT_EQ(ReadFile(home + "Restored" + root + "STICK1/Photos/dog.jpg"), "dog");
    ASSERT_EQ(saved.LoadCompressed(root + "STICK1/Config/Photos.Ubk"), LoadResult::Loaded);
    EXPECT_EQ(saved.FolderList.Items(), std::vector<std::string>{"/Photos/"});
}

TEST_F(OwnFilesTest, AReadOnlyDrivesHistoryIsListedAndItsRunRestored) {
    TmpfsMount stick(root + "RO", "4m");
    DRIVLET_REQUIRE_MOUNT(stick);
    const std::string ro = root + "RO/";
    fs::create_directories(ro + "Config");
    fs::create_directories(ro + "Backups");
    WriteFile(source + "letter.txt", "dear");
    TArchiveData job = Backup("Docs", TArchiveType::atFile, TArchiveMode::amIncremental);
    job.SaveCompressed(ro + "Config/Docs.Ubk");
    ASSERT_TRUE(Run(anyDrive, ro + "Config/Docs.Ubk").Complete());
    if (mount(nullptr, ro.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "the drive could not be made read-only: " << std::strerror(errno);

    const RestorePointList history = RestorePoints(ro + "Config/Docs.Ubk");
    ASSERT_TRUE(history.ok()) << history.error;
    ASSERT_EQ(history.points.size(), 1u);
    RestoreRunner restores({{files, clock}, "PC-1", {}, {}});
    const PreparedRestore restore = restores.Prepare(ro + "Config/Docs.Ubk");
    ASSERT_TRUE(restore.Ready()) << restore.Refusal()->text;
    RestoreRequest request;
    request.backupRoot = restore.Points()[0].archiveFolder;
    request.target = root + "Recovered/";
    JobStart start = restores.Start(restore, request, &events);
    ASSERT_TRUE(start.Started()) << start.refusal->text;
    start.run->Wait();
    EXPECT_TRUE(start.run->Outcome().Complete()) << start.run->Outcome().finishMessage;
    EXPECT_EQ(ReadFile(root + "Recovered" + source + "letter.txt"), "dear");
}

// The files this process holds open below a folder.
std::vector<std::string> OpenBelow(const std::string& folder) {
    std::vector<std::string> open;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string target = fs::read_symlink(entry.path(), ec).string();
        if (!ec && target.starts_with(folder)) open.push_back(target);
    }
    return open;
}

// A finished run whose panel is still open holds nothing on the drive, so the drive can be
// unmounted.
TEST_F(OwnFilesTest, AFinishedRunHoldsNothingOpenOnTheDrive) {
    WriteFile(source + "a.txt", "alpha");
    fs::create_directories(drive + "Backups");
    TArchiveData backup = Backup("Docs", TArchiveType::atFile, TArchiveMode::amIncremental);
    backup.SaveCompressed(drive + "Config/Docs.Ubk");
    TSyncData sync = RootSync();
    sync.SyncDirection = TSyncDirection::sdPCToUSB;
    sync.SaveCompressed(drive + "Config/Whole.Usy");
    for (const std::string job : {"Docs.Ubk", "Whole.Usy"}) {
        JobStart start = anyDrive.Start(anyDrive.Prepare(drive + "Config/" + job), {}, &events);
        ASSERT_TRUE(start.Started()) << job;
        start.run->Wait();
        EXPECT_TRUE(start.run->Outcome().Complete()) << start.run->Outcome().finishMessage;
        EXPECT_EQ(OpenBelow(drive), std::vector<std::string>{}) << job;
    }
}

} // namespace

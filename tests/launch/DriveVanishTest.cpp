// A drive that goes in the middle of a run: the run stops with a thread error, writes nothing
// where the drive's mount point was, records nothing that did not reach the drive, and a move
// deletes no source whose copy is not on the drive. Once the drive is back, the next run loses
// nothing.
#include "DirectLaunch.h"
#include "core/db/BackupDatabase.h"
#include "core/db/SyncDatabase.h"
#include "core/engine/backup/TCopyFolderThread.h"
#include "core/records/TSyncData.h"
#include "engine/EngineTestSupport.h"
#include "launch/VanishingDrive.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 6, 3, 8, 0, 0, 0});
constexpr int kFiles = 40;
constexpr int kVanishAfter = 10;

// Takes the drive away when the run has done its tenth file, on the worker, in the middle of it.
class VanishMidRun : public RecordingEvents {
public:
    VanishingDrive* drive = nullptr;
    std::string action;       // the log lines counted
    std::string savingStatus; // or: vanish at the first status beginning with this
    int done = 0;
    bool vanished = false;

    void OnLogEntry(const TThreadBase& sender, const LogEntryEvent& e) override {
        RecordingEvents::OnLogEntry(sender, e);
        if (!action.empty() && e.action == action && !e.isError && ++done == kVanishAfter) Vanish();
    }
    void OnStatus(const TThreadBase& sender, const StatusEvent& e) override {
        RecordingEvents::OnStatus(sender, e);
        if (!savingStatus.empty() && e.text.rfind(savingStatus, 0) == 0) Vanish();
    }

private:
    void Vanish() {
        if (vanished) return;
        vanished = true;
        drive->Vanish();
    }
};

// Takes the drive away while a large file is half copied onto it.
class VanishInAFile : public RecordingEvents {
public:
    VanishingDrive* drive = nullptr;
    bool vanished = false;

    void OnFileProgress(const TThreadBase& sender, const FileProgressEvent& e) override {
        RecordingEvents::OnFileProgress(sender, e);
        if (vanished || e.percent <= 0 || e.percent >= 100) return;
        vanished = true;
        drive->Vanish();
    }
};

class DriveVanishTest : public ::testing::TestWithParam<VanishingDrive::Kind> {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    RecordingDialogs dialogs;
    VanishingDrive stick{GetParam(), dir.path()};
    const std::string drive = stick.Path();
    const std::string computer = dir.path().string() + "/home/dana/Docs/";

    void SetUp() override {
        if (!stick.Ready()) GTEST_SKIP() << "loop-mounting a drive image is refused here";
        fs::create_directories(drive + "Config");
        for (int i = 0; i < kFiles; ++i) {
            const std::string path =
                computer + "d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".txt";
            fs::create_directories(fs::path(path).parent_path());
            WriteFile(path, "file " + std::to_string(i));
        }
    }
    LaunchServices Services() { return {{files, clock}, dialogs, "PC-1", {}, {}}; }
    std::vector<std::string> ComputerFiles() const {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(computer))
            if (e.is_regular_file()) out.push_back(e.path().string());
        return out;
    }
    // Nothing was made where the drive was: the bare mount point is empty, a renamed folder was
    // not made again.
    void ExpectNothingWhereTheDriveWas() const {
        const fs::path bare(drive);
        if (GetParam() == VanishingDrive::Kind::Folder) {
            EXPECT_FALSE(fs::exists(bare)) << "the drive's folder was made again";
        } else {
            EXPECT_TRUE(fs::is_empty(bare)) << "files were written at the bare mount point";
        }
    }
    static bool SaysTheDriveIsGone(const RecordingEvents& events) {
        for (const ThreadErrorEvent& e : events.errors)
            if (e.kind == ThreadErrorKind::DriveGone &&
                e.text.find("is not there any more") != std::string::npos)
                return true;
        return false;
    }
    std::string BackupJob(TArchiveMode mode, TArchiveType type, bool deleteSources) {
        TArchiveData job(clock);
        job.BackupName = "Docs";
        job.PCID = "PC-1";
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.ArchiveMode = mode;
        job.ArchiveType = type;
        job.DeleteFile = deleteSources;
        job.Destination = "/Backups/";
        job.FolderList.Add(computer);
        fs::create_directories(drive + "Backups");
        const std::string file = drive + "Config/Docs.Ubk";
        job.SaveCompressed(file);
        return file;
    }
};

TEST_P(DriveVanishTest, ASyncStopsRecordsOnlyWhatReachedTheDriveAndTheNextRunDeletesNothing) {
    TSyncData job;
    job.SyncName = "Docs";
    job.PCID = "PC-1";
    job.FolderAList.Add("/Docs/");
    job.FolderBList.Add(computer);
    job.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    fs::create_directories(drive + "Docs");
    const std::string jobFile = drive + "Config/Docs.Usy";
    job.SaveCompressed(jobFile);

    VanishMidRun events;
    events.drive = &stick;
    events.action = "Copy File";
    SyncLaunch launch = LaunchSync(jobFile, Services(), &events, {});
    ASSERT_TRUE(launch.worker);
    launch.worker->WaitFor();
    launch.worker.reset(); // lets go of the database on the vanished drive
    ASSERT_TRUE(events.vanished);
    EXPECT_TRUE(SaysTheDriveIsGone(events));
    EXPECT_EQ(events.done, kVanishAfter) << "copies went on after the drive had gone";
    ExpectNothingWhereTheDriveWas();

    ASSERT_TRUE(stick.Return());
    {
        // Every file the database calls synced is on the drive.
        SyncDatabase database(SyncDatabase::PathForJob(jobFile).string());
        int recorded = 0;
        database.EachRecordOfPair("/Docs/", computer, [&](const SyncPairRecord& r) {
            if (r.DateFolderA <= 0) return;
            ++recorded;
            EXPECT_TRUE(fs::exists(drive + "Docs/" + r.FileName)) << r.FileName;
        });
        // The file whose copy ended as the drive went may or may not have its dates.
        EXPECT_GE(recorded, kVanishAfter - 1);
        EXPECT_LE(recorded, kVanishAfter);
    }
    RecordingEvents again;
    SyncLaunch next = LaunchSync(jobFile, Services(), &again, {});
    ASSERT_TRUE(next.worker);
    next.worker->WaitFor();
    EXPECT_TRUE(again.errors.empty()) << again.errors.front().text;
    for (const LogEntryEvent& e : again.logs)
        EXPECT_NE(e.action, "Delete File") << e.fileName;
    EXPECT_EQ(ComputerFiles().size(), static_cast<size_t>(kFiles));
    size_t onDrive = 0;
    for (const auto& e : fs::recursive_directory_iterator(drive + "Docs"))
        onDrive += e.is_regular_file();
    EXPECT_EQ(onDrive, static_cast<size_t>(kFiles));
}

TEST_P(DriveVanishTest, ABackupStopsAndItsHistoryNamesOnlyFilesOnTheDrive) {
    const std::string jobFile = BackupJob(TArchiveMode::amIncremental, TArchiveType::atFile, false);
    VanishMidRun events;
    events.drive = &stick;
    events.action = "Copy File";
    std::optional<BackupLaunch> launch = LaunchBackup(jobFile, Services(), &events);
    ASSERT_TRUE(launch);
    launch->worker->WaitFor();
    launch->worker.reset();
    ASSERT_TRUE(events.vanished);
    EXPECT_TRUE(SaysTheDriveIsGone(events));
    EXPECT_EQ(events.done, kVanishAfter);
    ExpectNothingWhereTheDriveWas();

    ASSERT_TRUE(stick.Return());
    BackupDatabase database(BackupDatabase::PathForJob(jobFile).string());
    int recorded = 0;
    for (const std::string& file : ComputerFiles()) {
        if (!database.LastCopied(file)) continue;
        ++recorded;
        EXPECT_TRUE(fs::exists(drive + "Backups/" + file.substr(1))) << file;
    }
    EXPECT_EQ(recorded, kVanishAfter);
}

TEST_P(DriveVanishTest, AMoveDeletesNoSourceWhoseCopyIsNotOnTheDrive) {
    const std::string jobFile = BackupJob(TArchiveMode::amMove, TArchiveType::atFile, true);
    const std::vector<std::string> sources = ComputerFiles();
    VanishMidRun events;
    events.drive = &stick;
    events.action = "Copy File";
    std::optional<BackupLaunch> launch = LaunchBackup(jobFile, Services(), &events);
    ASSERT_TRUE(launch);
    launch->worker->WaitFor();
    launch->worker.reset();
    ASSERT_TRUE(events.vanished);
    EXPECT_TRUE(SaysTheDriveIsGone(events));
    ExpectNothingWhereTheDriveWas();

    ASSERT_TRUE(stick.Return());
    int moved = 0;
    for (const std::string& file : sources) {
        const bool kept = fs::exists(file);
        const bool onDrive = fs::exists(drive + "Backups/" + fs::relative(file, computer).string());
        EXPECT_TRUE(kept || onDrive) << file << " was lost";
        moved += !kept;
    }
    EXPECT_EQ(moved, kVanishAfter);
}

TEST_P(DriveVanishTest, AZipMoveWhoseDriveGoesBeforeTheArchiveIsWrittenKeepsEverySource) {
    const std::string jobFile = BackupJob(TArchiveMode::amMove, TArchiveType::atImage, true);
    VanishMidRun events;
    events.drive = &stick;
    events.savingStatus = "Saving Archive";
    std::optional<BackupLaunch> launch = LaunchBackup(jobFile, Services(), &events);
    ASSERT_TRUE(launch);
    launch->worker->WaitFor();
    launch->worker.reset();
    ASSERT_TRUE(events.vanished);
    EXPECT_TRUE(SaysTheDriveIsGone(events));
    ExpectNothingWhereTheDriveWas();
    EXPECT_EQ(ComputerFiles().size(), static_cast<size_t>(kFiles));
    ASSERT_TRUE(stick.Return());
    EXPECT_FALSE(fs::exists(drive + "Backups/Root.Zip"));
}

TEST_P(DriveVanishTest, ARunWhoseDriveIsGoneBeforeItStartsTouchesNothing) {
    const std::string jobFile = BackupJob(TArchiveMode::amIncremental, TArchiveType::atFile, false);
    RecordingEvents events;
    auto worker = std::make_unique<TCopyFolderThread>(ThreadServices{files, clock});
    worker->SetEvents(&events);
    worker->SetJobDrive(drive, files.VolumeId(drive)); // as the launcher saw it
    worker->SetArchiveFolder(drive + "Backups/");
    worker->SetFolderList({computer});
    stick.Vanish();
    worker->Start();
    worker->WaitFor();
    EXPECT_TRUE(SaysTheDriveIsGone(events));
    ExpectNothingWhereTheDriveWas();
    ASSERT_TRUE(stick.Return());
    EXPECT_TRUE(fs::is_empty(drive + "Backups"));
}

// Every write of the run goes through the drive's handle: the file being copied when the drive
// goes ends on the detached drive (or fails), never in the bare mount-point folder or a folder
// made again at the drive's path.
TEST_P(DriveVanishTest, ADrivePulledInTheMiddleOfAFileGetsNothingWrittenWhereItWas) {
    WriteFile(computer + "big.bin", std::string(24 << 20, 'x'));
    const std::string jobFile = BackupJob(TArchiveMode::amIncremental, TArchiveType::atFile, false);
    VanishInAFile events;
    events.drive = &stick;
    std::optional<BackupLaunch> launch = LaunchBackup(jobFile, Services(), &events);
    ASSERT_TRUE(launch);
    launch->worker->WaitFor();
    launch->worker.reset();
    ASSERT_TRUE(events.vanished);
    EXPECT_TRUE(SaysTheDriveIsGone(events));
    ExpectNothingWhereTheDriveWas();
    ASSERT_TRUE(stick.Return()) << "the run still holds something open on the drive";
}

INSTANTIATE_TEST_SUITE_P(Drives, DriveVanishTest,
                         ::testing::Values(VanishingDrive::Kind::Mounted, VanishingDrive::Kind::Folder),
                         [](const auto& info) {
                             return info.param == VanishingDrive::Kind::Mounted ? "LoopMounted"
                                                                                : "RenamedFolder";
                         });

} // namespace

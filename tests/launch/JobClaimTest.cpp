// One run of a job at a time, and only jobs named by their full path: a second launch while the
// first runs, or a launch by a relative path, is refused with a message and touches nothing.
#include "core/launch/JobClaim.h"
#include "DirectLaunch.h"
#include "core/records/TSyncData.h"
#include "core/stream/RecordFile.h"
#include "engine/EngineTestSupport.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 6, 3, 8, 0, 0, 0});

// Starts a second run of the same job from inside the first, once the first has begun its work.
class SecondRunFromInside : public RecordingEvents {
public:
    std::function<bool()> launchAgain; // true when the second run started
    bool tried = false;
    bool secondStarted = false;
    std::vector<uint8_t> jobBytes;      // the job file as the second launch found it
    std::vector<uint8_t> jobBytesAfter; // and as it left it

    void OnStatus(const TThreadBase& sender, const StatusEvent& e) override {
        RecordingEvents::OnStatus(sender, e);
        const bool working = e.text.rfind("Adding File", 0) == 0 || e.text.rfind("File :", 0) == 0;
        if (tried || !launchAgain || !working) return;
        tried = true;
        secondStarted = launchAgain();
    }
};

class JobClaimTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    RecordingDialogs dialogs;
    const std::string drive = dir.path().string() + "/STICK/";
    const std::string computer = dir.path().string() + "/home/eve/Docs/";

    void SetUp() override {
        fs::create_directories(drive + "Config");
        fs::create_directories(drive + "Backups");
        fs::create_directories(drive + "Docs");
        for (int i = 0; i < 20; ++i)
            WriteFile(computer + "f" + std::to_string(i) + ".txt", std::string(100, 'a' + i % 26));
    }
    LaunchServices Services() { return {{files, clock}, dialogs, "PC-1", {}, {}}; }
    size_t ComputerFileCount() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(computer))
            n += e.is_regular_file();
        return n;
    }
    bool RefusedAsRunning() const {
        for (const ShownMessage& m : dialogs.shown)
            if (m.text.find("already running") != std::string::npos) return true;
        return false;
    }
};

TEST_F(JobClaimTest, ASecondZipMoveOfTheSameJobIsRefusedAndEveryFileEndsInTheArchive) {
    TArchiveData job(clock);
    job.BackupName = "Docs";
    job.PCID = "PC-1";
    job.ArchiveDir = TArchiveDir::amPcToUsb;
    job.ArchiveMode = TArchiveMode::amMove;
    job.ArchiveType = TArchiveType::atImage;
    job.DeleteFile = true;
    job.Destination = "/Backups/";
    job.FolderList.Add(computer);
    const std::string jobFile = drive + "Config/Docs.Umv";
    job.SaveCompressed(jobFile);

    SecondRunFromInside events;
    RecordingEvents secondEvents;
    events.launchAgain = [&] {
        events.jobBytes = ReadRecordFile(jobFile);
        std::optional<BackupLaunch> second = LaunchBackup(jobFile, Services(), &secondEvents);
        events.jobBytesAfter = ReadRecordFile(jobFile);
        return second.has_value();
    };
    std::optional<BackupLaunch> first = LaunchBackup(jobFile, Services(), &events);
    ASSERT_TRUE(first);
    first->worker->WaitFor();
    ASSERT_TRUE(events.tried);
    EXPECT_FALSE(events.secondStarted);
    EXPECT_TRUE(RefusedAsRunning());
    EXPECT_EQ(events.jobBytes, events.jobBytesAfter) << "the refused run wrote the job file";
    EXPECT_TRUE(secondEvents.lines.empty());
    EXPECT_TRUE(events.errors.empty());
    // The one run moved every file into its archive.
    EXPECT_EQ(ComputerFileCount(), 0u);
    EXPECT_TRUE(fs::exists(drive + "Backups/Root.Zip"));
    first.reset();
    // Once it has ended, the job runs again.
    EXPECT_FALSE(fs::exists(JobLockFile(jobFile)));
    std::optional<BackupLaunch> later = LaunchBackup(jobFile, Services(), &secondEvents);
    ASSERT_TRUE(later);
    later->worker->WaitFor();
}

TEST_F(JobClaimTest, ASecondSyncOfTheSameJobIsRefused) {
    TSyncData job;
    job.SyncName = "Docs";
    job.PCID = "PC-1";
    job.FolderAList.Add("/Docs/");
    job.FolderBList.Add(computer);
    job.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    const std::string jobFile = drive + "Config/Docs.Usy";
    job.SaveCompressed(jobFile);

    SecondRunFromInside events;
    RecordingEvents secondEvents;
    events.launchAgain = [&] { return LaunchSync(jobFile, Services(), &secondEvents, {}).worker != nullptr; };
    SyncLaunch first = LaunchSync(jobFile, Services(), &events, {});
    ASSERT_TRUE(first.worker);
    first.worker->WaitFor();
    ASSERT_TRUE(events.tried);
    EXPECT_FALSE(events.secondStarted);
    EXPECT_TRUE(RefusedAsRunning());
    EXPECT_TRUE(events.errors.empty());
    size_t onDrive = 0;
    for (const auto& e : fs::directory_iterator(drive + "Docs"))
        onDrive += e.is_regular_file();
    EXPECT_EQ(onDrive, 20u);
    EXPECT_EQ(ComputerFileCount(), 20u);
}

TEST_F(JobClaimTest, ARelativeJobPathIsRefusedBeforeAnythingIsRead) {
    TArchiveData job(clock);
    job.PCID = "PC-1";
    job.Destination = "/Backups/";
    job.FolderList.Add(computer);
    job.SaveCompressed(drive + "Config/Docs.Ubk");
    const fs::path cwd = fs::current_path();
    fs::current_path(drive);
    RecordingEvents events;
    const bool backupStarted = LaunchBackup("Config/Docs.Ubk", Services(), &events).has_value();
    const bool syncStarted = LaunchSync("Docs.Usy", Services(), &events, {}).worker != nullptr;
    fs::current_path(cwd);
    EXPECT_FALSE(backupStarted);
    EXPECT_FALSE(syncStarted);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_NE(dialogs.shown[0].text.find("full path"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(drive + "Backups"));
    EXPECT_FALSE(fs::exists(drive + "Config/Docs.Udb"));
}

} // namespace

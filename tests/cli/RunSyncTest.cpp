// drivlet-cli run on sync and computer-to-computer jobs: the conflict answers, the dry run, the
// item of this computer, and the start time written back.
#include "cli/RecordCommands.h"
#include "cli/RunCommand.h"
#include "core/records/TSyncData.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace drivlet;
using namespace drivlet::test;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 6, 3, 8, 0, 0, 0});
const TDateTime kOlder = EncodeDateTime({2024, 6, 1, 8, 0, 0, 0});
const TDateTime kNewer = EncodeDateTime({2024, 6, 2, 8, 0, 0, 0});

class RunSyncTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string computer = root + "home/carol/Docs/";
    std::istringstream in;
    std::ostringstream out, err;

    void SetUp() override {
        std::filesystem::create_directories(drive + "Config");
        std::filesystem::create_directories(drive + "Docs");
        std::filesystem::create_directories(computer);
    }
    void Make(const std::string& path, const std::string& content, TDateTime time) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, content);
        files.SetFileTime(path, time);
    }
    std::string SyncJob(TSyncDefaultAction action) {
        TSyncData job;
        job.SyncName = "Docs";
        job.PCID = "PC-1";
        job.FolderAList.Add("/Docs/");
        job.FolderBList.Add(computer);
        job.SyncDirection = TSyncDirection::sdBidi;
        job.SyncDefaultAction = action;
        const std::string file = drive + "Config/Docs.Usy";
        job.SaveCompressed(file);
        return file;
    }
    int Run(const std::string& file, cli::ConflictAnswer conflicts, bool dryRun = false,
            std::optional<int> item = std::nullopt, const std::string& computerId = "PC-1") {
        out.str("");
        err.str("");
        cli::CliConsole console{in, out, err, false, false, std::nullopt};
        cli::RunOptions options;
        options.conflicts = conflicts;
        options.dryRun = dryRun;
        options.item = item;
        const cli::CliEnvironment environment{dir.path() / "ProgramData", computerId, files, clock,
                                              AnyFolderIsADrive};
        return cli::RunJob(file, options, environment, console);
    }
};

TEST_F(RunSyncTest, ATwoWaySyncCopiesNewFilesBothWaysAndRecordsItsStart) {
    Make(drive + "Docs/from-drive.txt", "drive", kOlder);
    Make(computer + "sub/from-pc.txt", "pc", kOlder);
    const std::string job = SyncJob(TSyncDefaultAction::sdaNewVersion);
    ASSERT_EQ(Run(job, cli::ConflictAnswer::Ask), cli::exitcode::Ok) << err.str() << out.str();
    EXPECT_EQ(ReadFile(computer + "from-drive.txt"), "drive");
    EXPECT_EQ(ReadFile(drive + "Docs/sub/from-pc.txt"), "pc");
    EXPECT_NE(out.str().find("Sync file operation completed !\nTotal Files : 2\nErrors : 0"),
              std::string::npos)
        << out.str();
    TSyncData saved;
    ASSERT_EQ(saved.LoadCompressed(job), LoadResult::Loaded);
    EXPECT_DOUBLE_EQ(saved.LastUpdate, kStart);
    EXPECT_TRUE(std::filesystem::exists(drive + "Config/Docs.Usdb"));
}

TEST_F(RunSyncTest, ADryRunListsTheDecisionsAndTouchesNothing) {
    Make(drive + "Docs/from-drive.txt", "drive", kOlder);
    const std::string job = SyncJob(TSyncDefaultAction::sdaNewVersion);
    const auto before = ReadFile(job);
    ASSERT_EQ(Run(job, cli::ConflictAnswer::Ask, true), cli::exitcode::Ok) << err.str();
    EXPECT_NE(out.str().find(drive + "Docs/from-drive.txt\t" + computer + "from-drive.txt\n"),
              std::string::npos)
        << out.str();
    EXPECT_FALSE(std::filesystem::exists(computer + "from-drive.txt"));
    EXPECT_FALSE(std::filesystem::exists(drive + "Config/Docs.Usdb"));
    EXPECT_EQ(ReadFile(job), before);
}

TEST_F(RunSyncTest, ConflictsAreAnsweredFromTheCommandLineOrCancelWithoutATerminal) {
    Make(drive + "Docs/report.txt", "drive version", kOlder);
    Make(computer + "report.txt", "computer version", kNewer);
    const std::string job = SyncJob(TSyncDefaultAction::sdaAsk);
    EXPECT_EQ(Run(job, cli::ConflictAnswer::Ask), cli::exitcode::Cancelled);
    EXPECT_EQ(ReadFile(drive + "Docs/report.txt"), "drive version");
    EXPECT_EQ(ReadFile(computer + "report.txt"), "computer version");

    EXPECT_EQ(Run(job, cli::ConflictAnswer::Skip), cli::exitcode::Ok) << err.str();
    EXPECT_EQ(ReadFile(computer + "report.txt"), "computer version");
    EXPECT_EQ(ReadFile(drive + "Docs/report.txt"), "drive version");

    // The older drive version wins because it was chosen, not because of its date.
    EXPECT_EQ(Run(job, cli::ConflictAnswer::Drive), cli::exitcode::Ok) << err.str();
    EXPECT_EQ(ReadFile(computer + "report.txt"), "drive version");
}

TEST_F(RunSyncTest, AComputerToComputerJobRunsTheItemOfThisComputer) {
    const std::string other = root + "home/dave/Docs/";
    std::filesystem::create_directories(other);
    Make(drive + "Shared/plan.txt", "plan", kOlder);
    TPCSyncData job;
    job.SyncName = "Shared";
    for (const auto& [id, pc, folder] :
         {std::tuple{"ITEM-A", "PC-2", other}, std::tuple{"ITEM-B", "PC-1", computer}}) {
        TSyncDataItem& item = job.SyncDataItems.Add();
        item.ID = id;
        item.PCID = pc;
        item.SyncName = std::string("Shared on ") + pc;
        item.FolderAList.Add("/Shared/");
        item.FolderBList.Add(folder);
        item.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    }
    const std::string file = drive + "Config/Shared.Upcsy";
    job.SaveCompressed(file);

    ASSERT_EQ(Run(file, cli::ConflictAnswer::Ask), cli::exitcode::Ok) << err.str();
    EXPECT_EQ(ReadFile(computer + "plan.txt"), "plan");
    EXPECT_FALSE(std::filesystem::exists(other + "plan.txt"));
    EXPECT_TRUE(std::filesystem::exists(drive + "Config/ITEM-B.Usdb"));
    EXPECT_FALSE(std::filesystem::exists(drive + "Config/ITEM-A.Usdb"));
    EXPECT_NE(out.str().find("PC Sync file operation completed !"), std::string::npos);
    TPCSyncData saved;
    ASSERT_EQ(saved.LoadCompressed(file), LoadResult::Loaded);
    EXPECT_DOUBLE_EQ(saved.SyncDataItems[0].LastUpdate, 0);
    EXPECT_DOUBLE_EQ(saved.SyncDataItems[1].LastUpdate, kStart);

    // The other computer runs its own item against its own database.
    ASSERT_EQ(Run(file, cli::ConflictAnswer::Ask, false, std::nullopt, "PC-2"), cli::exitcode::Ok)
        << err.str();
    EXPECT_EQ(ReadFile(other + "plan.txt"), "plan");
    EXPECT_TRUE(std::filesystem::exists(drive + "Config/ITEM-A.Usdb"));

    EXPECT_EQ(Run(file, cli::ConflictAnswer::Ask, false, std::nullopt, "PC-3"), cli::exitcode::Unreadable);
    EXPECT_NE(err.str().find("no item"), std::string::npos);
    EXPECT_EQ(Run(file, cli::ConflictAnswer::Ask, false, 5), cli::exitcode::Unreadable);
}

} // namespace

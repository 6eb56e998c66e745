// drivlet-cli run on real job files: what it prints, the exit codes, the questions answered from
// the options, the deleted-files store from the program's settings, and cancelling.
#include "cli/RunCommand.h"
#include "cli/CliRunEvents.h"
#include "cli/RecordCommands.h"
#include "core/records/TArchiveData.h"
#include "core/records/TProgramData.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace drivlet;
using namespace drivlet::test;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 5, 2, 10, 0, 0, 0});

class RunCommandTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string jobFile = drive + "Config/Docs.Ubk";
    const std::string source = root + "home/bob/Docs/";
    std::istringstream in;
    std::ostringstream out, err;
    KnownReach known; // none: no first-run question

    void SetUp() override {
        std::filesystem::create_directories(drive + "Config");
        std::filesystem::create_directories(drive + "Backups");
        std::filesystem::create_directories(source + "sub");
        WriteFile(source + "a.txt", "alpha");
        WriteFile(source + "sub/b.txt", "bravo");
    }
    TArchiveData Job() {
        TArchiveData job(clock);
        job.BackupName = "Docs";
        job.PCID = "PC-1";
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.Destination = "/Backups/";
        job.FolderList.Add(source);
        return job;
    }
    int Run(const std::string& file, bool yes = false, std::stop_token cancel = {}) {
        out.str("");
        err.str("");
        cli::CliConsole console{in, out, err, false, yes, std::nullopt};
        cli::RunOptions options;
        options.cancel = cancel;
        const cli::CliEnvironment environment{dir.path() / "ProgramData", "PC-1", files, clock,
                                              AnyFolderIsADrive,          known};
        return cli::RunJob(file, options, environment, console);
    }
    std::string Backup(const std::string& path) const { return drive + "Backups/" + path.substr(1); }
};

// A move job from the drive takes the user's files off the computer: its first run is asked
// about; without a terminal that is a No, and a schedule the user made lets it run (and it is
// known from then on).
TEST_F(RunCommandTest, AFirstRunWithoutATerminalIsAnsweredNoAndYesRunsIt) {
    known = KnownReachIn(dir.path() / "ProgramData", clock, root + "home/bob");
    TArchiveData job = Job();
    job.ArchiveMode = TArchiveMode::amMove;
    job.SaveCompressed(jobFile);
    EXPECT_EQ(Run(jobFile), cli::exitcode::Cancelled);
    EXPECT_NE(err.str().find(source + "\n    will be moved to the drive (deleted here)"), std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("answered no; --yes answers yes"), std::string::npos) << err.str();
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_FALSE(std::filesystem::exists(drive + "Backups/a.txt"));

    // A schedule the user made answers it.
    out.str("");
    err.str("");
    cli::CliConsole console{in, out, err, false, false, std::nullopt};
    const cli::CliEnvironment environment{dir.path() / "ProgramData", "PC-1", files, clock,
                                          AnyFolderIsADrive,          known};
    cli::RunOptions scheduled;
    scheduled.reachAnswered = true; // as the watch runs a scheduled job
    ASSERT_EQ(cli::RunJob(jobFile, scheduled, environment, console), cli::exitcode::Ok) << err.str();
    EXPECT_NE(out.str().find("Copy File\tSuccess\t" + source + "a.txt"), std::string::npos) << out.str();
    EXPECT_EQ(err.str().find("First run"), std::string::npos) << err.str();
    EXPECT_EQ(Run(jobFile), cli::exitcode::Ok) << err.str();
    EXPECT_EQ(err.str().find("First run"), std::string::npos) << err.str();
}

TEST_F(RunCommandTest, AFinishedRunPrintsEachFileAndTheFinishMessage) {
    Job().SaveCompressed(jobFile);
    ASSERT_EQ(Run(jobFile), cli::exitcode::Ok) << err.str();
    EXPECT_EQ(ReadFile(Backup(source + "sub/b.txt")), "bravo");
    const std::string text = out.str();
    EXPECT_NE(text.find("Copy File\tSuccess\t" + source + "a.txt\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Finished !\n"), std::string::npos);
    // Two files: their folder is not counted.
    EXPECT_NE(text.find("Backup file operation completed !\nTotal Files : 2\nErrors : 0\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("File : "), std::string::npos) << "per-file statuses repeat the log lines";
}

TEST_F(RunCommandTest, ExitCodesTellLoadFailuresDeclinedQuestionsAndFailedFiles) {
    EXPECT_EQ(Run(drive + "Config/None.Ubk"), cli::exitcode::Unreadable);
    WriteFile(drive + "Config/Bad.Ubk", "not a record");
    EXPECT_EQ(Run(drive + "Config/Bad.Ubk"), cli::exitcode::Unreadable);
    EXPECT_EQ(Run(drive + "Config/notes.txt"), cli::exitcode::Unreadable);

    TArchiveData other = Job();
    other.PCID = "PC-2";
    other.SaveCompressed(jobFile);
    EXPECT_EQ(Run(jobFile), cli::exitcode::Cancelled);
    EXPECT_NE(err.str().find("deferent pc"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Backup(source + "a.txt")));
    EXPECT_EQ(Run(jobFile, true), cli::exitcode::Ok) << err.str();

    // A folder where the copy of a changed file must go: that one file fails.
    Job().SaveCompressed(jobFile);
    WriteFile(source + "c.txt", "charlie");
    std::filesystem::create_directories(Backup(source + "c.txt") + "/x");
    EXPECT_EQ(Run(jobFile), cli::exitcode::SomeFailed);
    EXPECT_NE(out.str().find("Copy File\tFailed\t" + source + "c.txt\t"), std::string::npos) << out.str();
}

TEST_F(RunCommandTest, ACancelledRunEndsWithTheCancelCode) {
    // Big enough that the request always arrives while the run is still copying.
    WriteFile(source + "big.bin", std::string(48 << 20, 'x'));
    Job().SaveCompressed(jobFile);
    std::stop_source cancel;
    cancel.request_stop();
    EXPECT_EQ(Run(jobFile, false, cancel.get_token()), cli::exitcode::Cancelled);
    EXPECT_NE(out.str().find("Canceled\n"), std::string::npos) << out.str();
    EXPECT_FALSE(std::filesystem::exists(Backup(source + "big.bin")));
}

TEST_F(RunCommandTest, TheProgramSettingsSendReplacedBackupsToTheStore) {
    const std::filesystem::path dataRoot = dir.path() / "ProgramData";
    TProgramData settings(dataRoot);
    settings.MoveToDeleted = true;
    settings.DeletedFolder = root + "Deleted/";
    std::filesystem::create_directories(TProgramData::SettingsFile(dataRoot).parent_path());
    settings.SaveCompressed(TProgramData::SettingsFile(dataRoot));

    TArchiveData job = Job();
    job.ArchiveMode = TArchiveMode::amCompletelyNew;
    job.SaveCompressed(jobFile);
    ASSERT_EQ(Run(jobFile), cli::exitcode::Ok) << err.str();
    WriteFile(source + "a.txt", "alpha, second edition");
    clock.Advance(1.0);
    ASSERT_EQ(Run(jobFile), cli::exitcode::Ok) << err.str();
    EXPECT_EQ(ReadFile(Backup(source + "a.txt")), "alpha, second edition");
    // The first backup's copy went into the store, not away.
    bool found = false;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root + "Deleted/"))
        if (entry.is_regular_file() && entry.path().filename() == "a.txt")
            found = ReadFile(entry.path()) == "alpha";
    EXPECT_TRUE(found);
}

TEST(CliRunEvents, RemainingTimeText) {
    EXPECT_EQ(cli::RemainingText(-1), "N/A");
    EXPECT_EQ(cli::RemainingText(1.5 / 24), "01:30:00");
    EXPECT_EQ(cli::RemainingText(61.0 / 86400), "00:01:01");
}

} // namespace

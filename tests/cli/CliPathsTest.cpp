// drivlet-cli as a process given a job by a relative path, and a job that already runs: the drive
// is found from where the job file really is, and a second run is refused without touching a file.
#include "cli/CliProcessSupport.h"
#include "core/launch/JobClaim.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class CliPathsTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::string drive = dir.path().string() + "/STICK/";
    const std::string computer = dir.path().string() + "/home/fay/Docs/";
    const fs::path output = dir.path() / "out.txt";

    void SetUp() override {
        if (!fs::exists(kCli)) GTEST_SKIP() << "drivlet-cli is not built";
        fs::create_directories(drive + "Config");
        fs::create_directories(drive + "Backups");
        fs::create_directories(computer);
        WriteFile(computer + "a.txt", "alpha");
    }
    std::string BackupJob() {
        TArchiveData job;
        job.BackupName = "Docs";
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.Destination = "/Backups/";
        job.FolderList.Add(computer);
        job.SaveCompressed(drive + "Config/Docs.Ubk");
        return drive + "Config/Docs.Ubk";
    }
    int Run(const std::vector<std::string>& args, const fs::path& workingFolder) {
        return Wait(Spawn(args, output, dir.path() / "ProgramData", workingFolder));
    }
};

TEST_F(CliPathsTest, AJobNamedRelativeToTheDriveOrToItsConfigFolderBacksUpOntoTheDrive) {
    BackupJob();
    const std::string copy = drive + "Backups/" + computer.substr(1) + "a.txt";
    EXPECT_EQ(Run({"run", "Config/Docs.Ubk", "--yes"}, drive), 0) << ReadText(output);
    EXPECT_EQ(ReadFile(copy), "alpha");
    fs::remove_all(drive + "Backups");
    fs::create_directories(drive + "Backups");
    EXPECT_EQ(Run({"run", "./Docs.Ubk", "--yes"}, drive + "Config"), 0) << ReadText(output);
    EXPECT_EQ(ReadFile(copy), "alpha");
    EXPECT_FALSE(fs::exists(drive + "Config/Backups"));
}

TEST_F(CliPathsTest, AWholeDriveSyncNamedFromInsideConfigSyncsTheDriveOnly) {
    WriteFile(drive + "Photos/p.jpg", "jpeg");
    TSyncData job;
    job.SyncName = "All";
    job.FolderAList.Add("/");
    job.FolderBList.Add(computer);
    job.SyncDirection = TSyncDirection::sdPCToUSB; // "Only To Computer": the drive is the master
    job.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    job.SaveCompressed(drive + "Config/All.Usy");
    EXPECT_EQ(Run({"run", "All.Usy", "--yes", "--conflicts=newest"}, drive + "Config"), 0) << ReadText(output);
    EXPECT_EQ(ReadFile(computer + "Photos/p.jpg"), "jpeg") << ReadText(output);
    // Nothing of the computer's own folders, nor the drive's jobs.
    for (const auto& e : fs::directory_iterator(computer)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "Photos" || name == "a.txt" || name == "Backups") << name;
    }
}

TEST_F(CliPathsTest, ARunOfAJobThatAlreadyRunsIsRefusedAndTouchesNothing) {
    const std::string jobFile = BackupJob();
    const std::vector<uint8_t> before = [&] {
        std::ifstream in(jobFile, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
    }();
    FileStatus status;
    // The other run is another process; the kernel sees this test's lock the same way.
    std::unique_ptr<IFileLock> running = LinuxFileSystem().TryLock(JobLockFile(jobFile), status);
    ASSERT_TRUE(running) << status.message();
    EXPECT_EQ(Run({"run", jobFile, "--yes"}, {}), 2);
    const std::string text = ReadText(output);
    EXPECT_NE(text.find("already running"), std::string::npos) << text;
    EXPECT_TRUE(fs::is_empty(drive + "Backups"));
    EXPECT_FALSE(fs::exists(drive + "Config/Docs.Udb"));
    std::ifstream in(jobFile, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {}), before);
    running.reset();
    EXPECT_EQ(Run({"run", jobFile, "--yes"}, {}), 0) << ReadText(output);
}

TEST_F(CliPathsTest, APointWithTrailingTextIsRefusedNotReadAsItsLeadingNumber) {
    const std::string jobFile = BackupJob();
    ASSERT_EQ(Run({"run", jobFile, "--yes"}, {}), 0) << ReadText(output);
    const std::string target = dir.path().string() + "/Out";
    for (const std::string point : {"1x", "abc", "0", ""}) {
        EXPECT_EQ(Run({"restore", jobFile, "--point", point, "--to", target}, {}), 2) << point;
        EXPECT_NE(ReadText(output).find("--point takes the number of a run"), std::string::npos) << point;
        EXPECT_FALSE(fs::exists(target)) << point;
    }
    EXPECT_EQ(Run({"restore", jobFile, "--point=1", "--to", target}, {}), 0) << ReadText(output);
    EXPECT_EQ(ReadFile(target + computer + "a.txt"), "alpha");
}

// The log is read a line per file: a control character in a name is shown escaped.
TEST_F(CliPathsTest, ANewlineInAFileNameKeepsItsLogLineWhole) {
    WriteFile(computer + "two\nlines.txt", "odd");
    const std::string jobFile = BackupJob();
    ASSERT_EQ(Run({"run", jobFile, "--yes"}, {}), 0) << ReadText(output);
    const std::string text = ReadText(output);
    EXPECT_NE(text.find("Success\t" + computer + "two\\nlines.txt\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nlines.txt"), std::string::npos) << text;
    EXPECT_EQ(ReadFile(drive + "Backups/" + computer.substr(1) + "two\nlines.txt"), "odd");
}

} // namespace

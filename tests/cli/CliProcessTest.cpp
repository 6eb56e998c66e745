// drivlet-cli as a process: Ctrl-C cancels a run like the panel's Cancel button, the sample
// drive of the README runs to its end, and a sync's held deletions go ahead on request.
#include "cli/CliProcessSupport.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace drivlet;
using namespace drivlet::test;

namespace {

TEST(CliProcess, CtrlCCancelsTheRunAndLeavesNoPartialFile) {
    if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "drivlet-cli is not built";
    TempDir dir;
    const std::string root = dir.path().string() + "/";
    const std::string source = root + "src/";
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(root + "STICK/Config");
    std::filesystem::create_directories(root + "STICK/Backups");
    {
        // Large enough to be in the middle of its copy when the signal comes.
        std::ofstream big(source + "big.bin", std::ios::binary);
        const std::string chunk(1 << 20, 'z');
        for (int i = 0; i < 768; ++i) big << chunk;
    }
    TArchiveData job;
    job.BackupName = "Big";
    job.ArchiveDir = TArchiveDir::amPcToUsb;
    job.Destination = "/Backups/";
    job.FolderList.Add(source);
    job.SaveCompressed(root + "STICK/Config/Big.Ubk");

    const std::filesystem::path output = dir / "out.txt";
    const pid_t pid = Spawn({"run", root + "STICK/Config/Big.Ubk", "--yes"}, output, dir / "ProgramData");
    // Interrupt once the copy's target is open, that is in the middle of the copy. Its temporary
    // file has no name in the folder, so it is found among the process's open files.
    const std::string backups = root + "STICK/Backups/";
    const auto copying = [&] {
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
             !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            std::error_code linkError;
            const std::string target = std::filesystem::read_symlink(it->path(), linkError).string();
            if (!linkError && target.rfind(backups, 0) == 0) return true;
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!copying() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGINT);
    const int code = Wait(pid);
    const std::string text = ReadText(output);
    if (code == 0) GTEST_SKIP() << "the copy ended before the signal arrived: " << text;
    EXPECT_EQ(code, 2) << text;
    EXPECT_NE(text.find("Canceled"), std::string::npos) << text;
    const std::string target = root + "STICK/Backups/" + source.substr(1) + "big.bin";
    EXPECT_FALSE(std::filesystem::exists(target));
    for (const auto& e : std::filesystem::recursive_directory_iterator(root + "STICK/Backups"))
        EXPECT_EQ(e.path().filename().string().find(".drivlet-tmp-"), std::string::npos) << e.path();
}

TEST(CliProcess, AllowDeletionsLetsASyncCarryOutTheDeletionsOfAnEmptiedFolder) {
    if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "drivlet-cli is not built";
    TempDir dir;
    const std::string root = dir.path().string() + "/";
    const std::string computer = root + "home/Docs/";
    std::filesystem::create_directories(computer);
    std::filesystem::create_directories(root + "STICK/Config");
    std::filesystem::create_directories(root + "STICK/Docs");
    std::ofstream(root + "STICK/Docs/a.txt") << "a";
    TSyncData job;
    job.SyncName = "Docs";
    job.FolderAList.Add("/Docs/");
    job.FolderBList.Add(computer);
    job.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    const std::string file = root + "STICK/Config/Docs.Usy";
    job.SaveCompressed(file);
    const std::filesystem::path output = dir / "out.txt";
    const auto run = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"run", file, "--yes"};
        args.insert(args.end(), extra.begin(), extra.end());
        return Wait(Spawn(args, output, dir / "ProgramData"));
    };

    ASSERT_EQ(run({}), 0) << ReadText(output);
    ASSERT_TRUE(std::filesystem::exists(computer + "a.txt"));
    std::filesystem::remove(computer + "a.txt");
    // Partial, not a success: the deletion waits, and the run says once how to allow it.
    EXPECT_EQ(run({}), 1) << ReadText(output);
    EXPECT_TRUE(std::filesystem::exists(root + "STICK/Docs/a.txt"));
    const std::string said = ReadText(output);
    const size_t how = said.find("--allow-deletions");
    ASSERT_NE(how, std::string::npos) << said;
    EXPECT_EQ(said.find("--allow-deletions", how + 1), std::string::npos) << said;
    EXPECT_NE(said.find("Delete File\tFailed\t" + root + "STICK/Docs/a.txt\tHeld back"), std::string::npos)
        << said;
    EXPECT_EQ(run({"--allow-deletion"}), 2) << ReadText(output); // a misspelt flag runs nothing
    EXPECT_EQ(run({"--allow-deletions"}), 0) << ReadText(output);
    EXPECT_FALSE(std::filesystem::exists(root + "STICK/Docs/a.txt"));
}

} // namespace

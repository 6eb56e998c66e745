// drivlet-cli as a process: Ctrl-C cancels a run like the panel's Cancel button, the sample
// drive of the README runs to its end, and a sync's held deletions go ahead on request.
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

const std::string kCli = std::string(DRIVLET_BINARY_DIR) + "/src/cli/drivlet-cli";

// Starts the CLI with its output in a file; returns the child's pid.
pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& output,
            const std::filesystem::path& programData) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ProgramData", programData.c_str(), 1);
        FILE* out = std::fopen(output.c_str(), "w");
        dup2(fileno(out), 1);
        dup2(fileno(out), 2);
        std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(kCli.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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
    // Interrupt once the copy's temporary file is there, that is in the middle of the copy.
    const auto copying = [&] {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(root + "STICK/Backups", ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->path().filename().string().find(".drivlet-tmp-") != std::string::npos) return true;
        return false;
    };
    for (int i = 0; i < 5000 && !copying(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGINT);
    const int code = Wait(pid);
    std::ifstream in(output);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (code == 0) GTEST_SKIP() << "the copy ended before the signal arrived: " << text;
    EXPECT_EQ(code, 2) << text;
    EXPECT_NE(text.find("Canceled"), std::string::npos) << text;
    const std::string target = root + "STICK/Backups/" + source.substr(1) + "big.bin";
    EXPECT_FALSE(std::filesystem::exists(target));
    for (const auto& e : std::filesystem::recursive_directory_iterator(root + "STICK/Backups"))
        EXPECT_EQ(e.path().filename().string().find(".drivlet-tmp-"), std::string::npos) << e.path();
}

// The whole output of a finished run.
std::string Output(const std::filesystem::path& output) {
    std::ifstream in(output);
    return std::string((std::istreambuf_iterator<char>(in)), {});
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

    ASSERT_EQ(run({}), 0) << Output(output);
    ASSERT_TRUE(std::filesystem::exists(computer + "a.txt"));
    std::filesystem::remove(computer + "a.txt");
    // Partial, not a success: the deletion waits, and the run says once how to allow it.
    EXPECT_EQ(run({}), 1) << Output(output);
    EXPECT_TRUE(std::filesystem::exists(root + "STICK/Docs/a.txt"));
    const std::string said = Output(output);
    const size_t how = said.find("--allow-deletions");
    ASSERT_NE(how, std::string::npos) << said;
    EXPECT_EQ(said.find("--allow-deletions", how + 1), std::string::npos) << said;
    EXPECT_NE(said.find("Delete File\tFailed\t" + root + "STICK/Docs/a.txt\tHeld back"), std::string::npos)
        << said;
    EXPECT_EQ(run({"--allow-deletion"}), 2) << Output(output); // a misspelt flag runs nothing
    EXPECT_EQ(run({"--allow-deletions"}), 0) << Output(output);
    EXPECT_FALSE(std::filesystem::exists(root + "STICK/Docs/a.txt"));
}

} // namespace

// drivlet-cli as a process: Ctrl-C cancels a run like the panel's Cancel button, and the sample
// drive of the README runs to its end.
#include "cli/CliProcessSupport.h"
#include "core/records/TArchiveData.h"
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
    const std::string text = ReadText(output);
    if (code == 0) GTEST_SKIP() << "the copy ended before the signal arrived: " << text;
    EXPECT_EQ(code, 2) << text;
    EXPECT_NE(text.find("Canceled"), std::string::npos) << text;
    const std::string target = root + "STICK/Backups/" + source.substr(1) + "big.bin";
    EXPECT_FALSE(std::filesystem::exists(target));
    for (const auto& e : std::filesystem::recursive_directory_iterator(root + "STICK/Backups"))
        EXPECT_EQ(e.path().filename().string().find(".drivlet-tmp-"), std::string::npos) << e.path();
}

} // namespace

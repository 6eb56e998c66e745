#pragma once
// drivlet-cli started as a process of its own, with its output in a file.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace drivlet::test {

inline const std::string kCli = std::string(DRIVLET_BINARY_DIR) + "/src/cli/drivlet-cli";

// In the child: the test's drive folders beside the program data (those holding a "Config"
// folder) stand for mounted drives.
inline void NameTestDrives(const std::filesystem::path& programData) {
    std::string drives;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(programData.parent_path(), ec))
        if (std::filesystem::is_directory(entry.path() / "Config", ec)) drives += entry.path().string() + ":";
    setenv("DRIVLET_DRIVE_FOLDERS", drives.c_str(), 1);
}

// Starts the CLI in the given working folder (the test's own when empty); returns the child's pid.
inline pid_t Spawn(const std::vector<std::string>& args, const std::filesystem::path& output,
                   const std::filesystem::path& programData,
                   const std::filesystem::path& workingFolder = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("ProgramData", programData.c_str(), 1);
        NameTestDrives(programData);
        if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(126);
        FILE* out = std::fopen(output.c_str(), "w");
        dup2(fileno(out), 1);
        dup2(fileno(out), 2);
        std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(kCli.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// The exit code; -1 when the process did not exit by itself.
inline int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace drivlet::test

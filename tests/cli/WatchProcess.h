#pragma once
// `drivlet-cli watch` started as a process of its own, its output read from a pipe line by line
// as it comes, so that a test waits for the very line it expects.
#include "cli/CliProcessSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>

namespace drivlet::test {

class WatchProcess {
public:
    // clockStart: the watch's clock starts there ("yyyy-mm-dd hh:nn:ss"); empty: the real time.
    WatchProcess(const std::filesystem::path& programData, const std::string& clockStart = {}) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            setenv("ProgramData", programData.c_str(), 1);
            NameTestDrives(programData);
            if (clockStart.empty())
                unsetenv("DRIVLET_CLI_CLOCK");
            else
                setenv("DRIVLET_CLI_CLOCK", clockStart.c_str(), 1);
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            const char* argv[] = {kCli.c_str(), "watch", nullptr};
            execv(kCli.c_str(), const_cast<char**>(argv));
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
    }
    ~WatchProcess() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
    }
    WatchProcess(const WatchProcess&) = delete;
    WatchProcess& operator=(const WatchProcess&) = delete;

    // Reads until output after the last line waited for contains `text`; false when the output
    // ends or the (generous) deadline passes first.
    bool WaitFor(const std::string& text, std::chrono::seconds deadline = std::chrono::seconds(120)) {
        const auto until = std::chrono::steady_clock::now() + deadline;
        for (;;) {
            const size_t at = output_.find(text, cursor_);
            if (at != std::string::npos) {
                cursor_ = at + text.size();
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return false;
        }
    }

    // Sends the signal and reads to the end; the exit code, -1 when it did not exit by itself.
    int Stop(int signal = SIGTERM) {
        kill(pid_, signal);
        while (ReadSome(120000)) {
        }
        ended_ = true;
        return Wait(pid_);
    }

    const std::string& Output() const { return output_; }

private:
    // False at the end of the output or when nothing came in time.
    bool ReadSome(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    bool ended_ = false;
    std::string output_;
    size_t cursor_ = 0;
};

} // namespace drivlet::test

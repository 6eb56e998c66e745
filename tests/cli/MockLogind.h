#pragma once
// A login manager for process tests: a private bus (dbus-daemon) with python3-dbusmock's logind
// on it, standing in for the system bus of the programs the test starts. Its calls are logged to
// a file. Not ready (with the reason) where the tools are missing.
#include "cli/CliProcessSupport.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace drivlet::test {

class MockLogind {
public:
    explicit MockLogind(const std::filesystem::path& folder) : log_(folder / "calls.log") {
        std::filesystem::create_directories(folder);
        if (std::system("command -v dbus-daemon gdbus >/dev/null 2>&1") != 0) {
            why_ = "dbus-daemon or gdbus is not installed (packages dbus, libglib2.0-bin)";
            return;
        }
        if (std::system("/usr/bin/python3 -c 'import dbusmock' >/dev/null 2>&1") != 0) {
            why_ = "python3-dbusmock is not installed";
            return;
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        daemon_ = fork();
        if (daemon_ == 0) {
            dup2(fds[1], 1);
            execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr);
            _exit(127);
        }
        close(fds[1]);
        address_ = ReadLine(fds[0]);
        close(fds[0]);
        if (address_.empty()) {
            why_ = "dbus-daemon gave no address";
            return;
        }
        mock_ = fork();
        if (mock_ == 0) {
            // The template is for the system bus; ours stands in for it.
            setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
            setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
            execl("/usr/bin/python3", "python3", "-m", "dbusmock", "--template", "logind", "-l", log_.c_str(),
                  nullptr);
            _exit(127);
        }
        if (Gdbus("wait --address '" + address_ + "' --timeout 120 org.freedesktop.login1") != 0) {
            why_ = "the mock login manager did not come up";
            return;
        }
        ready_ = true;
    }
    ~MockLogind() {
        for (const pid_t pid : {mock_, daemon_}) {
            if (pid <= 0) continue;
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    MockLogind(const MockLogind&) = delete;
    MockLogind& operator=(const MockLogind&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Why() const { return why_; }
    const std::string& Address() const { return address_; }

    // The machine is going down.
    bool EmitPrepareForShutdown() {
        return Call(
            "org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.login1.Manager PrepareForShutdown b "
            "'[<true>]'");
    }
    // The calls it has had. A call made before this one has been logged by then: the mock answers
    // in the order the bus delivers.
    std::string CallLog() {
        Call("org.freedesktop.DBus.Peer.Ping");
        return ReadText(log_);
    }

private:
    static std::string ReadLine(int fd) {
        std::string line;
        pollfd p{fd, POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 60000) > 0 && read(fd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    int Gdbus(const std::string& arguments) const {
        return std::system(("gdbus " + arguments + " >/dev/null 2>&1").c_str());
    }
    bool Call(const std::string& method) {
        return Gdbus("call --address '" + address_ +
                     "' --dest org.freedesktop.login1 --object-path /org/freedesktop/login1 --method " +
                     method) == 0;
    }

    std::filesystem::path log_;
    std::string address_, why_;
    pid_t daemon_ = -1, mock_ = -1;
    bool ready_ = false;
};

} // namespace drivlet::test

#include "GuardCopy.h"

#include "platform/ApplicationInstance.h"

#include <csignal>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace drivlet::test {

namespace {

void Report(int fd, char c) {
    [[maybe_unused]] ssize_t n = write(fd, &c, 1);
}

// Only the copy's own pipe ends may stay open: an inherited write end of another copy's control
// pipe would keep that copy from ever seeing its release.
void CloseAllBut(int a, int b, int c) {
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != a && fd != b && fd != c) close(fd);
}

[[noreturn]] void RunCopy(const GuardCopyOptions& o, int reports, int control) {
    CloseAllBut(reports, control, o.startFd);
    try {
        TApplicationInstance instance(o.programPath, o.runtimeFolder);
        instance.SetMaxInstances(o.maxInstances);
        char c;
        if (o.startFd >= 0)
            while (read(o.startFd, &c, 1) > 0) {
            }
        const bool second = instance.IsSecondInstance();
        if (!second && o.listen && !instance.ListenForFrontRequests([reports] { Report(reports, 'F'); }))
            Report(reports, 'E');
        Report(reports, second ? 'S' : 'A');
        while (read(control, &c, 1) > 0) {
        }
    } catch (...) {
        Report(reports, 'E');
    }
    _exit(0);
}

} // namespace

GuardCopy::GuardCopy(const GuardCopyOptions& options) {
    int reports[2], control[2];
    if (pipe(reports) != 0 || pipe(control) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        close(reports[0]);
        close(control[1]);
        RunCopy(options, reports[1], control[0]);
    }
    close(reports[1]);
    close(control[0]);
    reports_ = reports[0];
    control_ = control[1];
}

GuardCopy::~GuardCopy() {
    if (pid_ > 0) Kill();
    if (reports_ >= 0) close(reports_);
}

char GuardCopy::Next(int timeoutMs) {
    pollfd fd = {reports_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return 0;
    char c = 0;
    return read(reports_, &c, 1) == 1 ? c : 0;
}

void GuardCopy::Release() {
    if (control_ >= 0) close(control_);
    control_ = -1;
    Wait();
}

void GuardCopy::Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
    Wait();
}

void GuardCopy::Wait() {
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
    if (control_ >= 0) close(control_);
    control_ = -1;
}

StartSignal::StartSignal() {
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    read_ = fds[0];
    write_ = fds[1];
}

StartSignal::~StartSignal() {
    Fire();
    if (read_ >= 0) close(read_);
}

void StartSignal::Fire() {
    if (write_ >= 0) close(write_);
    write_ = -1;
}

} // namespace drivlet::test

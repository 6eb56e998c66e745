#pragma once
// A forked copy of the test program that runs the single-instance guard as the program's start-up
// would, and reports over a pipe: 'A' admitted, 'S' turned away, 'F' a front request arrived,
// 'E' an error. It keeps running until released or killed.
#include <filesystem>
#include <string>

namespace drivlet::test {

struct GuardCopyOptions {
    std::string programPath;
    std::filesystem::path runtimeFolder;
    int maxInstances = 1;
    bool listen = false; // listen for front requests once admitted
    int startFd = -1;    // when set, the copy starts when this pipe reaches its end
};

class GuardCopy {
public:
    explicit GuardCopy(const GuardCopyOptions& options);
    ~GuardCopy();
    GuardCopy(const GuardCopy&) = delete;
    GuardCopy& operator=(const GuardCopy&) = delete;

    // The next report byte, or 0 when none came within the time.
    char Next(int timeoutMs = 10000);
    // Lets the copy end normally (its guard object is destroyed) and waits for it.
    void Release();
    // Ends the copy with SIGKILL and waits for it.
    void Kill();

private:
    void Wait();

    int pid_ = -1;
    int reports_ = -1; // read end
    int control_ = -1; // write end; closing it releases the copy
};

// A pipe whose write end, once closed, starts every copy waiting on its read end at once.
class StartSignal {
public:
    StartSignal();
    ~StartSignal();
    int ReadEnd() const { return read_; }
    void Fire();

private:
    int read_ = -1, write_ = -1;
};

} // namespace drivlet::test

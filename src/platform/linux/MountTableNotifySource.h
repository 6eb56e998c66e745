#pragma once
// Drive notifications from the mount table. Each registration has its own thread that waits on
// the table (poll for POLLPRI on /proc/.../mountinfo; a plain file, as tests give, is re-read
// at an interval or on request), compares the drive mounts with the previous reading and reports
// a new mount point as drive added, a vanished one as drive removed, and another volume now shown
// at a known mount point as media inserted.
#include "platform/ShellNotifySource.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

namespace drivlet {

struct MountWatchOptions {
    std::filesystem::path mountTable = "/proc/self/mountinfo";
    // How often a table that cannot be polled is re-read; zero: only on RescanNow.
    std::chrono::milliseconds fileInterval{1000};
};

class MountTableNotifySource final : public IShellNotifySource {
public:
    explicit MountTableNotifySource(MountWatchOptions options = {});
    ~MountTableNotifySource() override;
    MountTableNotifySource(const MountTableNotifySource&) = delete;
    MountTableNotifySource& operator=(const MountTableNotifySource&) = delete;

    // Refused (0) when the table cannot be read or the thread cannot start.
    uint64_t Register(const ShellRegistration& registration, std::shared_ptr<IShellNotifySink> sink) override;
    void Deregister(uint64_t id) override;

    // Every registration re-reads the table now; returns when each has handed its events to its
    // sink. Called from a sink, it only asks and returns.
    void RescanNow();

private:
    class Watcher;

    MountWatchOptions options_;
    std::mutex mutex_;
    uint64_t nextId_ = 1;
    std::map<uint64_t, std::shared_ptr<Watcher>> watchers_;
};

} // namespace drivlet

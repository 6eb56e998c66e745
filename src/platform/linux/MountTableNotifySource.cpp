#include "platform/linux/MountTableNotifySource.h"

#include "platform/linux/MountTable.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>

namespace drivlet {
namespace {

struct DriveState {
    std::string mountPoint;
    int mountId = 0;
};

std::optional<std::string> ReadAll(int fd) {
    if (::lseek(fd, 0, SEEK_SET) != 0) return std::nullopt;
    std::string text;
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return text;
        text.append(buffer, static_cast<size_t>(n));
    }
}

std::vector<DriveState> StatesOf(const std::vector<MountEntry>& table) {
    std::vector<DriveState> states;
    for (const MountEntry& e : DriveMounts(table))
        states.push_back({e.mountPoint, e.mountId});
    return states;
}

const DriveState* Find(const std::vector<DriveState>& states, const std::string& mountPoint) {
    auto it = std::find_if(states.begin(), states.end(),
                           [&](const DriveState& s) { return s.mountPoint == mountPoint; });
    return it == states.end() ? nullptr : &*it;
}

} // namespace

class MountTableNotifySource::Watcher : public std::enable_shared_from_this<Watcher> {
public:
    Watcher(const MountWatchOptions& options, const ShellRegistration& registration,
            std::shared_ptr<IShellNotifySink> sink)
        : options_(options), registration_(registration), sink_(std::move(sink)) {}

    ~Watcher() {
        if (tableFd_ >= 0) ::close(tableFd_);
        if (wakeFd_ >= 0) ::close(wakeFd_);
    }

    // Takes the first reading and starts the thread; false when either fails.
    bool Begin() {
        tableFd_ = ::open(options_.mountTable.c_str(), O_RDONLY | O_CLOEXEC);
        if (tableFd_ < 0) return false;
        struct statfs info {};
        // Only the kernel's own table signals changes; a plain file is read again instead.
        pollable_ = ::fstatfs(tableFd_, &info) == 0 && info.f_type == PROC_SUPER_MAGIC;
        if (!pollable_) {
            ::close(tableFd_);
            tableFd_ = -1;
        }
        wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd_ < 0) return false;
        auto table = ReadTable();
        if (!table) return false;
        drives_ = StatesOf(*table);
        try {
            thread_ = std::thread([self = shared_from_this()] {
                self->threadId_ = std::this_thread::get_id();
                self->Run();
            });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    void Stop() {
        stop_ = true;
        Wake();
        if (!thread_.joinable()) return;
        // Asked from the sink on the thread itself: it ends after the current delivery.
        if (std::this_thread::get_id() == threadId_)
            thread_.detach();
        else
            thread_.join();
    }

    void RequestRescan() {
        uint64_t target;
        {
            std::lock_guard lock(mutex_);
            target = ++requested_;
        }
        Wake();
        if (std::this_thread::get_id() == threadId_) return;
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return completed_ >= target || finished_; });
    }

private:
    void Wake() {
        if (wakeFd_ < 0) return;
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }

    std::optional<std::vector<MountEntry>> ReadTable() const {
        if (!pollable_) return ReadMountTable(options_.mountTable);
        auto text = ReadAll(tableFd_);
        if (!text) return std::nullopt;
        return ParseMountInfo(*text);
    }

    void Run() {
        const int interval = static_cast<int>(options_.fileInterval.count());
        while (!stop_) {
            pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {tableFd_, POLLPRI, 0}};
            const int timeout = (!pollable_ && interval > 0) ? interval : -1;
            int ready = ::poll(fds, pollable_ ? 2 : 1, timeout);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) break;
            if (fds[0].revents & POLLIN) {
                uint64_t count;
                [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
            }
            if (stop_) break;
            uint64_t target;
            {
                std::lock_guard lock(mutex_);
                target = requested_;
            }
            bool changed = pollable_ && (fds[1].revents & (POLLPRI | POLLERR));
            if (ready == 0 || changed || target > completed_) Rescan();
            {
                std::lock_guard lock(mutex_);
                completed_ = std::max(completed_, target);
            }
            done_.notify_all();
        }
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
    }

    void Rescan() {
        auto table = ReadTable();
        // A table that cannot be read is no news: nothing is reported as gone.
        if (!table) return;
        std::vector<DriveState> now = StatesOf(*table);
        for (const DriveState& old : drives_)
            if (!Find(now, old.mountPoint)) Report(shcne::DriveRemoved, old.mountPoint);
        for (const DriveState& state : now) {
            const DriveState* old = Find(drives_, state.mountPoint);
            if (!old)
                Report(shcne::DriveAdd, state.mountPoint);
            else if (old->mountId != state.mountId)
                Report(shcne::MediaInserted, state.mountPoint);
        }
        drives_ = std::move(now);
    }

    void Report(uint32_t code, const std::string& mountPoint) {
        if (stop_ || !(registration_.eventMask & code)) return;
        try {
            sink_->Deliver({registration_.messageNo, code, DrivePathOfMount(mountPoint), std::nullopt});
        } catch (...) {
            // A failing receiver must not end the feed for the drives that follow.
        }
    }

    const MountWatchOptions options_;
    const ShellRegistration registration_;
    const std::shared_ptr<IShellNotifySink> sink_;
    int tableFd_ = -1;
    int wakeFd_ = -1;
    bool pollable_ = false;
    std::atomic<bool> stop_{false};
    std::vector<DriveState> drives_;
    std::thread thread_;
    std::atomic<std::thread::id> threadId_{};

    std::mutex mutex_;
    std::condition_variable done_;
    uint64_t requested_ = 0;
    uint64_t completed_ = 0;
    bool finished_ = false;
};

MountTableNotifySource::MountTableNotifySource(MountWatchOptions options) : options_(std::move(options)) {}

MountTableNotifySource::~MountTableNotifySource() {
    std::map<uint64_t, std::shared_ptr<Watcher>> watchers;
    {
        std::lock_guard lock(mutex_);
        watchers.swap(watchers_);
    }
    for (auto& [id, watcher] : watchers)
        watcher->Stop();
}

uint64_t MountTableNotifySource::Register(const ShellRegistration& registration,
                                          std::shared_ptr<IShellNotifySink> sink) {
    if (!sink) return 0;
    auto watcher = std::make_shared<Watcher>(options_, registration, std::move(sink));
    if (!watcher->Begin()) {
        watcher->Stop();
        return 0;
    }
    std::lock_guard lock(mutex_);
    uint64_t id = nextId_++;
    watchers_[id] = std::move(watcher);
    return id;
}

void MountTableNotifySource::Deregister(uint64_t id) {
    std::shared_ptr<Watcher> watcher;
    {
        std::lock_guard lock(mutex_);
        auto it = watchers_.find(id);
        if (it == watchers_.end()) return;
        watcher = std::move(it->second);
        watchers_.erase(it);
    }
    watcher->Stop();
}

void MountTableNotifySource::RescanNow() {
    std::vector<std::shared_ptr<Watcher>> watchers;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, watcher] : watchers_)
            watchers.push_back(watcher);
    }
    for (auto& watcher : watchers)
        watcher->RequestRescan();
}

std::unique_ptr<IShellNotifySource> MakeShellNotifySource() {
    return std::make_unique<MountTableNotifySource>();
}

} // namespace drivlet

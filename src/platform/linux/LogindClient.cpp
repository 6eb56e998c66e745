#include "platform/linux/LogindClient.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace drivlet {
namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// The errors that say no login manager is there to ask.
bool SaysAbsent(const sd_bus_error* error) {
    if (!error || !error->name) return false;
    for (const char* name :
         {SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_UNKNOWN_OBJECT, SD_BUS_ERROR_UNKNOWN_INTERFACE,
          SD_BUS_ERROR_UNKNOWN_METHOD, SD_BUS_ERROR_DISCONNECTED, SD_BUS_ERROR_NO_REPLY})
        if (std::strcmp(error->name, name) == 0) return true;
    return false;
}

sd_bus* OpenBus(const std::string& address) {
    sd_bus* bus = nullptr;
    if (address.empty()) return sd_bus_open_system(&bus) < 0 ? nullptr : bus;
    if (sd_bus_new(&bus) < 0) return nullptr;
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return bus;
}

uint64_t MonotonicMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

} // namespace

LogindClient::LogindClient(std::string busAddress, std::string sessionId, std::string reason)
    : sessionId_(std::move(sessionId)), reason_(std::move(reason)) {
    if (sessionId_.empty()) {
        const char* id = std::getenv("XDG_SESSION_ID");
        // logind's own name for the caller's session.
        sessionId_ = id && *id ? id : "auto";
    }
    // Connecting to a local socket does not wait; the rest of the handshake is the thread's.
    bus_ = OpenBus(busAddress);
    wakeFd_ = bus_ ? eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1;
    if (wakeFd_ < 0) {
        unavailable_ = true;
        if (bus_) sd_bus_unref(bus_);
        bus_ = nullptr;
        return;
    }
    thread_ = std::thread([this] { Serve(); });
}

LogindClient::~LogindClient() {
    SetBlock(false);
    ending_ = true;
    Wake();
    if (thread_.joinable()) thread_.join();
    if (wakeFd_ >= 0) close(wakeFd_);
}

void LogindClient::OnPrepareForShutdown(std::function<void()> handler) {
    std::lock_guard lock(handlersMutex_);
    prepareForShutdown_ = std::move(handler);
}

void LogindClient::OnLockTaken(std::function<void()> handler) {
    std::lock_guard lock(handlersMutex_);
    lockTaken_ = std::move(handler);
}

void LogindClient::Call(const std::function<void()>& handler) {
    std::lock_guard lock(handlersMutex_);
    if (handler) handler();
}

bool LogindClient::Holding() const {
    std::lock_guard lock(mutex_);
    return lockFd_ >= 0;
}

void LogindClient::SetBlock(bool block) {
    {
        std::lock_guard lock(mutex_);
        wanted_ = block;
        if (!block) {
            // Closing our copy of the descriptor releases the lock.
            if (lockFd_ >= 0) close(lockFd_);
            lockFd_ = -1;
            return;
        }
        if (lockFd_ >= 0 || pending_ || unavailable_) return;
        pending_ = true;
    }
    Post({Request::Kind::Inhibit});
}

bool LogindClient::EndSession(bool logOff) {
    SetBlock(false);
    if (unavailable_ || !thread_.joinable()) return false;
    Post({logOff ? Request::Kind::TerminateSession : Request::Kind::PowerOff});
    return true;
}

void LogindClient::Post(Request request) {
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }
    Wake();
}

void LogindClient::Wake() {
    if (wakeFd_ < 0) return;
    const uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
}

void LogindClient::Granted(int fd) {
    {
        std::lock_guard lock(mutex_);
        pending_ = false;
        // Let go meanwhile: the descriptor is dropped here, which ends the lock at once.
        if (!wanted_ || lockFd_ >= 0) {
            close(fd);
            return;
        }
        lockFd_ = fd;
    }
    Call(lockTaken_);
}

void LogindClient::Serve() {
    sd_bus* bus = bus_;
    const auto onSignal = [](sd_bus_message* m, void* self, sd_bus_error*) -> int {
        int starting = 0;
        if (sd_bus_message_read(m, "b", &starting) < 0 || !starting) return 0;
        auto* client = static_cast<LogindClient*>(self);
        client->Call(client->prepareForShutdown_);
        return 0;
    };
    const auto onInhibit = [](sd_bus_message* m, void* self, sd_bus_error*) -> int {
        auto* client = static_cast<LogindClient*>(self);
        int fd = -1;
        if (sd_bus_message_is_method_error(m, nullptr)) {
            if (SaysAbsent(sd_bus_message_get_error(m))) client->unavailable_ = true;
        } else if (sd_bus_message_read(m, "h", &fd) >= 0 && fd >= 0) {
            // The message owns its descriptor: ours is a copy.
            const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
            if (copy >= 0) {
                client->Granted(copy);
                return 0;
            }
        }
        std::lock_guard lock(client->mutex_);
        client->pending_ = false;
        return 0;
    };
    sd_bus_match_signal_async(bus, nullptr, kService, kPath, kManager, "PrepareForShutdown", onSignal,
                              nullptr, this);

    while (!ending_) {
        std::vector<Request> requests;
        {
            std::lock_guard lock(mutex_);
            requests.swap(requests_);
        }
        for (const Request& request : requests) {
            switch (request.kind) {
            case Request::Kind::Inhibit:
                if (sd_bus_call_method_async(bus, nullptr, kService, kPath, kManager, "Inhibit", onInhibit,
                                             this, "ssss", "shutdown", "Drivlet", reason_.c_str(),
                                             "block") < 0) {
                    std::lock_guard lock(mutex_);
                    pending_ = false;
                }
                break;
            case Request::Kind::PowerOff:
                // The answer does not matter: a refusal is not reported, as nothing more can be done.
                sd_bus_call_method_async(bus, nullptr, kService, kPath, kManager, "PowerOff", nullptr,
                                         nullptr, "b", 0);
                break;
            case Request::Kind::TerminateSession:
                sd_bus_call_method_async(bus, nullptr, kService, kPath, kManager, "TerminateSession", nullptr,
                                         nullptr, "s", sessionId_.c_str());
                break;
            }
        }
        int processed = 0;
        while ((processed = sd_bus_process(bus, nullptr)) > 0) {
        }
        if (processed < 0) {
            // The bus went away: nothing more can be asked.
            unavailable_ = true;
            break;
        }
        uint64_t until = UINT64_MAX;
        sd_bus_get_timeout(bus, &until);
        int timeout = -1;
        if (until != UINT64_MAX) {
            const uint64_t now = MonotonicMicroseconds();
            timeout =
                until <= now ? 0 : static_cast<int>(std::min<uint64_t>((until - now + 999) / 1000, 60000));
        }
        pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0},
                         {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN)) {
            uint64_t count = 0;
            (void)!read(wakeFd_, &count, sizeof count);
        }
    }
    sd_bus_flush_close_unref(bus);
}

} // namespace drivlet

#pragma once
// The login manager over the system bus: a "block" inhibitor lock on shut-down while jobs run, its
// PrepareForShutdown signal as a shut-down query, and the forced power-off or end of the session
// once the jobs are done. The bus is served by a thread of the client's own, so no caller ever
// waits on it; every call returns at once. Without a bus or a login manager it stays silent and
// does nothing. The tray and `drivlet-cli watch` use it alike.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sd_bus;

namespace drivlet {

class LogindClient {
public:
    // `busAddress`: empty for the system bus. `sessionId` names the session ended on a log-off;
    // empty: $XDG_SESSION_ID, else the caller's own. `reason` is what the desktop shows for the lock.
    LogindClient(std::string busAddress, std::string sessionId, std::string reason);
    // Lets the lock go and ends the bus's thread.
    ~LogindClient();
    LogindClient(const LogindClient&) = delete;
    LogindClient& operator=(const LogindClient&) = delete;

    // Called on the bus's thread when the machine is about to shut down (it may not wait for us);
    // the owner hands it to its own thread. Setting a handler waits for a call of the old one.
    void OnPrepareForShutdown(std::function<void()> handler);
    // Called on the bus's thread when the login manager has granted the lock.
    void OnLockTaken(std::function<void()> handler);

    // Takes the lock or lets it go; letting go is immediate.
    void SetBlock(bool block);
    bool Holding() const;
    // The login manager answered with an error that says it is not there, or there is no bus.
    bool Unavailable() const { return unavailable_.load(); }

    // Log-off (the session ended) when true, else power-off, both without asking the user again;
    // the lock is let go first, since it would hold back our own request. False when there is no
    // one to ask.
    bool EndSession(bool logOff);

private:
    struct Request {
        enum class Kind { Inhibit, PowerOff, TerminateSession } kind;
    };

    void Serve();
    void Post(Request request);
    void Wake();
    void Granted(int fd);
    void Call(const std::function<void()>& handler);

    std::string sessionId_;
    std::string reason_;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    // Held while a handler runs, so that one replaced or cleared is not called afterwards.
    std::mutex handlersMutex_;
    std::function<void()> prepareForShutdown_;
    std::function<void()> lockTaken_;
    int lockFd_ = -1;
    bool wanted_ = false;
    bool pending_ = false;
    std::atomic<bool> unavailable_{false};
    std::atomic<bool> ending_{false};
    int wakeFd_ = -1;
    sd_bus* bus_ = nullptr; // used by the thread only, once it runs
    std::thread thread_;
};

} // namespace drivlet

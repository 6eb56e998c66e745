#pragma once
// The receiver that carries notifications from a feed thread to the thread owning a component.
// The GUI posts into its event loop; the CLI and tests use the two windows below.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace drivlet {

class IMessageWindow {
public:
    virtual ~IMessageWindow() = default;
    // Queues the message for the owner's thread; called from any thread, never blocks for long.
    virtual void Post(std::function<void()> message) = 0;
};

// Runs each message at once on the posting thread.
class InPlaceMessageWindow final : public IMessageWindow {
public:
    void Post(std::function<void()> message) override { message(); }
};

// Keeps messages until the owner runs them.
class QueuedMessageWindow final : public IMessageWindow {
public:
    void Post(std::function<void()> message) override;
    // Runs what is queued now; returns how many ran.
    int RunPending();
    // Waits up to the timeout for at least one message, then runs what is queued.
    int WaitAndRun(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> queue_;
};

} // namespace drivlet

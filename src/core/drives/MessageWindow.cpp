#include "core/drives/MessageWindow.h"

namespace drivlet {

void QueuedMessageWindow::Post(std::function<void()> message) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(message));
    }
    posted_.notify_all();
}

int QueuedMessageWindow::RunPending() {
    size_t count;
    {
        std::lock_guard lock(mutex_);
        count = queue_.size();
    }
    // One at a time outside the lock: a message may post more, and one that throws leaves the
    // rest queued.
    for (size_t i = 0; i < count; ++i) {
        std::function<void()> message;
        {
            std::lock_guard lock(mutex_);
            message = std::move(queue_.front());
            queue_.pop_front();
        }
        message();
    }
    return static_cast<int>(count);
}

int QueuedMessageWindow::WaitAndRun(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        posted_.wait_for(lock, timeout, [&] { return !queue_.empty(); });
    }
    return RunPending();
}

} // namespace drivlet

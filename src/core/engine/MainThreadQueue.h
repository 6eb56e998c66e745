#pragma once
// A hand-off that queues each task to the thread that created the queue, which runs them with
// RunOne or RunPending (a front end's main loop without an event loop of its own, and tests).
#include "core/engine/MainThreadHandoff.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace drivlet {

class MainThreadQueue final : public IMainThreadHandoff {
public:
    MainThreadQueue();

    // From a worker: queues and blocks until the main thread has run the task. Called on the main
    // thread itself, runs the task at once (waiting for itself would never end).
    void RunAndWait(const std::function<void()>& task) override;

    // On the main thread: runs the next task, waiting up to the timeout for one to arrive.
    bool RunOne(std::chrono::milliseconds timeout);
    // Runs every task queued now; returns how many ran.
    int RunPending();

private:
    struct Job {
        const std::function<void()>* task = nullptr;
        bool done = false;
        std::exception_ptr error;
    };
    void Run(const std::shared_ptr<Job>& job);

    std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<std::shared_ptr<Job>> jobs_;
};

} // namespace drivlet

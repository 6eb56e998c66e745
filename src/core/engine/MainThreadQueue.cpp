#include "core/engine/MainThreadQueue.h"

namespace drivlet {

MainThreadQueue::MainThreadQueue() : owner_(std::this_thread::get_id()) {}

void MainThreadQueue::RunAndWait(const std::function<void()>& task) {
    if (std::this_thread::get_id() == owner_) {
        task();
        return;
    }
    auto job = std::make_shared<Job>();
    job->task = &task;
    std::unique_lock lock(mutex_);
    jobs_.push_back(job);
    queued_.notify_one();
    finished_.wait(lock, [&] { return job->done; });
    if (job->error) std::rethrow_exception(job->error);
}

void MainThreadQueue::Run(const std::shared_ptr<Job>& job) {
    std::exception_ptr error;
    try {
        (*job->task)();
    } catch (...) {
        error = std::current_exception();
    }
    std::lock_guard lock(mutex_);
    job->error = error;
    job->done = true;
    finished_.notify_all();
}

bool MainThreadQueue::RunOne(std::chrono::milliseconds timeout) {
    std::shared_ptr<Job> job;
    {
        std::unique_lock lock(mutex_);
        if (!queued_.wait_for(lock, timeout, [&] { return !jobs_.empty(); })) return false;
        job = jobs_.front();
        jobs_.pop_front();
    }
    Run(job);
    return true;
}

int MainThreadQueue::RunPending() {
    int count = 0;
    while (RunOne(std::chrono::milliseconds(0)))
        ++count;
    return count;
}

} // namespace drivlet

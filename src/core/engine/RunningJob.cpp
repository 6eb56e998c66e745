#include "core/engine/RunningJob.h"

#include <stdexcept>
#include <utility>

namespace drivlet {

RunningJob::RunningJob(IThreadEvents& sink, ThreadEventQueue::Wake wake)
    : sink_(sink), queue_(std::move(wake)) {}

RunningJob::~RunningJob() {
    if (worker_) worker_->Terminate(); // releases a waiting question through the listener
    // Nobody drains any more: nothing more is handed over, and no question is asked.
    queue_.Close();
    if (worker_) worker_->WaitFor();
    worker_.reset();
    while (!kept_.empty())
        kept_.pop_back();
}

void RunningJob::Take(std::unique_ptr<TThreadBase> worker) {
    if (worker_) throw std::logic_error("a running job owns one worker");
    if (!worker) return;
    ThreadEventQueue* queue = &queue_;
    worker->AddTerminateListener([queue] { queue->Cancel(); });
    // A cancel made before the worker was handed over still counts.
    if (worker->Terminated()) queue_.Cancel();
    worker_ = std::move(worker);
}

void RunningJob::Start() {
    if (worker_) worker_->Start();
}

void RunningJob::Cancel() {
    if (worker_) worker_->Terminate();
    queue_.Cancel();
}

size_t RunningJob::Drain() {
    return queue_.Drain(sink_, [](TThreadBase& worker) { worker.WaitFor(); });
}

bool RunningJob::DrainUntilEnded(std::chrono::steady_clock::time_point deadline) {
    while (!Ended()) {
        if (!queue_.WaitForEvents(deadline)) return false;
        Drain();
        if (!Ended() && std::chrono::steady_clock::now() >= deadline) return false;
    }
    return true;
}

} // namespace drivlet

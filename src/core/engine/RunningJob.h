#pragma once
// The owner of one running job: its worker, the queue that carries the worker's events to the
// front end's sink, and whatever else the body uses (a prompt, a log). The worker is joined
// before any of that is destroyed, so destroying a running job cancels it, releases a question
// it waits on, waits for it and only then frees what it used.
#include "core/engine/TThreadBase.h"
#include "core/engine/ThreadEventQueue.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

namespace drivlet {

class RunningJob {
public:
    // `sink` receives the events on the thread that drains (it outlives the job); `wake` is
    // called from the worker when events arrive and none were waiting.
    explicit RunningJob(IThreadEvents& sink, ThreadEventQueue::Wake wake = {});
    // Cancels, releases a waiting question, joins the worker, then frees the rest. On the front
    // end's thread, never from inside one of the sink's handlers.
    ~RunningJob();
    RunningJob(const RunningJob&) = delete;
    RunningJob& operator=(const RunningJob&) = delete;

    // What the worker is given as its events before it starts, and what its questions go through.
    ThreadEventQueue& Queue() { return queue_; }
    // Takes the worker, set up with Queue() as its events, started or not; once per job. The
    // queue is what keeps it from waiting on the front end.
    template <typename Worker>
    Worker& Adopt(std::unique_ptr<Worker> worker) {
        Worker& adopted = *worker;
        Take(std::move(worker));
        return adopted;
    }
    // Keeps something the body uses until the worker has been joined; freed in reverse order.
    void Keep(std::shared_ptr<void> state) { kept_.push_back(std::move(state)); }

    void Start();
    // The Cancel button: the worker stops at its next check, and a question it waits on, or asks
    // later, gets the answer that touches nothing. Events still arrive, the terminated one last.
    void Cancel();

    // On the front end's thread: hands what the worker has posted to the sink. The worker has
    // ended and been joined when the sink sees its terminated event, so its counters are final
    // and its job lock is released. Returns how many events were handed over.
    size_t Drain();
    // For a front end without an event loop (the CLI, tests): drains as events arrive until the
    // terminated event has been handed over; false when the deadline came first.
    bool DrainUntilEnded(std::chrono::steady_clock::time_point deadline);
    // Whether the sink has had the terminated event.
    bool Ended() const { return queue_.Ended(); }

    TThreadBase* Worker() const { return worker_.get(); }

private:
    void Take(std::unique_ptr<TThreadBase> worker);

    IThreadEvents& sink_;
    // Destroyed last: the worker still posts into it while it is joined.
    ThreadEventQueue queue_;
    std::vector<std::shared_ptr<void>> kept_;
    std::unique_ptr<TThreadBase> worker_;
};

} // namespace drivlet

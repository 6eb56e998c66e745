#pragma once
// A started job or restore, owned by one object: its worker, the queue that carries the worker's
// events, what the body uses (a prompt) and what the run came to. Events reach
// the front end's sink when it drains, on its own thread, through a counter of this run, so the
// outcome (failed lines, thread errors) is the same for every front end and none of them counts
// log lines itself. Destroying a run cancels it, releases a question it waits on and joins it.
#include "core/engine/TThreadBase.h"
#include "core/engine/ThreadEventQueue.h"
#include "core/launch/FinishMessages.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

class RunRegistry;
class TSyncFolderThread;

struct JobOutcome {
    JobKind kind = JobKind::Backup;
    std::string name;
    int64_t filesDone = 0;    // the files the worker went through (its folders not counted)
    int64_t failedLines = 0;  // per-file log lines that failed
    int64_t threadErrors = 0; // errors that stopped the run or a part of it
    bool cancelled = false;   // the run was cancelled (by the user, or a question that was not answered)
    JobEnding ending = JobEnding::Completed;
    std::string finishMessage; // the message shown when the job has ended
    std::string finishTitle;   // the title of its box

    // Every file done: nothing failed, nothing cancelled.
    bool Complete() const { return !cancelled && threadErrors == 0 && failedLines == 0; }
};

class JobRun {
public:
    // `sink` (may be null) gets the events on the draining thread and outlives the run; `wake`
    // is called from the worker when events arrive and none were waiting. `file` is the job file
    // (or a restore's), by which the registry tells runs apart.
    JobRun(JobKind kind, std::string name, IThreadEvents* sink, ThreadEventQueue::Wake wake = {},
           std::string file = {});
    // Cancels, releases a waiting question, joins the worker, then frees what it used. On the
    // front end's thread, never from inside one of the sink's handlers.
    ~JobRun();
    JobRun(const JobRun&) = delete;
    JobRun& operator=(const JobRun&) = delete;

    JobKind Kind() const { return kind_; }
    const std::string& Name() const { return name_; }
    const std::string& File() const { return file_; }
    TThreadBase& Worker() { return *worker_; }
    const TThreadBase& Worker() const { return *worker_; }
    // The sync worker of a sync run (its decided pairs after a dry run); nothing for the others.
    const TSyncFolderThread* SyncWorker() const { return sync_; }

    // What the worker is given as its events, and what its questions go through.
    ThreadEventQueue& Queue() { return queue_; }
    // Keeps something the body uses (a prompt) until the worker has been joined; freed in
    // reverse order.
    void Keep(std::shared_ptr<void> state) { kept_.push_back(std::move(state)); }
    // Counted by `registry` from the start until the run has been joined; before Start.
    void CountIn(RunRegistry* registry) { pendingRegistry_ = registry; }
    // Takes the configured worker and gives it Queue() as its events; once per run. A cancel
    // made before still counts.
    template <typename Worker> Worker& Adopt(std::unique_ptr<Worker> worker) {
        Worker& adopted = *worker;
        Take(std::move(worker));
        return adopted;
    }
    // Starts the adopted worker; counted by the registry from here.
    void Start();
    // Adopt, then Start.
    void Start(std::unique_ptr<TThreadBase> worker, const TSyncFolderThread* sync = nullptr) {
        sync_ = sync;
        Take(std::move(worker));
        Start();
    }

    // The Cancel button: the worker stops at its next check, and a question it waits on, or asks
    // later, gets the answer that touches nothing. Events still arrive, the terminated one last.
    void Cancel();
    // The end without draining, as destruction does it: cancelled, a waiting question released,
    // nothing more handed to the sink, the worker joined and the run no longer counted. The
    // outcome stays readable until the run is destroyed.
    void Stop();
    // On the front end's thread, when woken: hands what the worker has posted to the sink. The
    // worker has ended and been joined when the sink sees its terminated event, so its counters
    // are final and its job lock is released. Returns how many events were handed over.
    size_t Drain();
    // For a front end without an event loop: drains on this thread as events arrive until the
    // run has ended; false when the deadline came first.
    bool DrainUntilEnded(std::chrono::steady_clock::time_point deadline);
    // The same without a deadline.
    void Wait() { DrainUntilEnded(std::chrono::steady_clock::time_point::max()); }
    // The sink has had the terminated event: the worker has been joined, its lock released.
    bool Ended() const { return queue_.Ended(); }
    // Final once Ended(); the counts handed over so far before.
    [[nodiscard]] JobOutcome Outcome() const;

private:
    friend class RunRegistry;

    class Counter final : public IThreadEvents {
    public:
        explicit Counter(IThreadEvents* sink) : sink_(sink) {}
        void OnStatus(const TThreadBase& sender, const StatusEvent& event) override;
        void OnThreadError(const TThreadBase& sender, const ThreadErrorEvent& event) override;
        void OnFileProgress(const TThreadBase& sender, const FileProgressEvent& event) override;
        void OnLogEntry(const TThreadBase& sender, const LogEntryEvent& event) override;
        void AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& question,
                             Answer<LowDiskAnswer> answer) override;
        void OnTerminated(TThreadBase& sender, const TerminatedEvent& event) override;

        int64_t failedLines = 0;
        int64_t threadErrors = 0;
        std::optional<StatusPhase> endedAs; // the worker's last word: finished or cancelled

    private:
        IThreadEvents* sink_;
    };

    void Take(std::unique_ptr<TThreadBase> worker);
    // The worker has been joined: the registry stops counting the run.
    void Leave();

    JobKind kind_;
    std::string name_;
    std::string file_;
    Counter counter_;
    // Destroyed after the worker: it still posts into the queue while it is joined.
    ThreadEventQueue queue_;
    std::vector<std::shared_ptr<void>> kept_;
    std::unique_ptr<TThreadBase> worker_;
    const TSyncFolderThread* sync_ = nullptr;
    RunRegistry* pendingRegistry_ = nullptr;
    RunRegistry* registry_ = nullptr; // while counted
};

} // namespace drivlet

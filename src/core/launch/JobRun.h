#pragma once
// A started job or restore, owned by one object: the running job (its worker, the queue that
// carries the worker's events, and what the body uses) and what the run came to. Events reach
// the front end's sink when it drains, on its own thread, through a counter of this run, so the
// outcome (failed lines, thread errors) is the same for every front end and none of them counts
// log lines itself. Destroying a run cancels it, releases a question it waits on and joins it.
#include "core/engine/RunningJob.h"
#include "core/launch/FinishMessages.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace drivlet {

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
    // is called from the worker when events arrive and none were waiting.
    JobRun(JobKind kind, std::string name, IThreadEvents* sink, ThreadEventQueue::Wake wake = {});
    JobRun(const JobRun&) = delete;
    JobRun& operator=(const JobRun&) = delete;

    JobKind Kind() const { return kind_; }
    const std::string& Name() const { return name_; }
    TThreadBase& Worker() { return *job_.Worker(); }
    const TThreadBase& Worker() const { return *job_.Worker(); }
    // The sync worker of a sync run (its decided pairs after a dry run); nothing for the others.
    const TSyncFolderThread* SyncWorker() const { return sync_; }

    // What the worker is given as its events, and what its questions go through.
    ThreadEventQueue& Queue() { return job_.Queue(); }
    // Keeps something the body uses (a prompt) until the worker has been joined.
    void Keep(std::shared_ptr<void> state) { job_.Keep(std::move(state)); }
    // Takes the configured worker, gives it Queue() as its events and starts it.
    void Start(std::unique_ptr<TThreadBase> worker, const TSyncFolderThread* sync = nullptr);

    // The Cancel button: the worker stops at its next check; a question it waits on is released.
    void Cancel() { job_.Cancel(); }
    // On the front end's thread, when woken: hands what the worker has posted to the sink.
    size_t Drain() { return job_.Drain(); }
    // For a front end without an event loop: drains on this thread as events arrive until the
    // run has ended; false when the deadline came first.
    bool DrainUntilEnded(std::chrono::steady_clock::time_point deadline) {
        return job_.DrainUntilEnded(deadline);
    }
    // The same without a deadline.
    void Wait() { DrainUntilEnded(std::chrono::steady_clock::time_point::max()); }
    // The sink has had the terminated event: the worker has been joined, its lock released.
    bool Ended() const { return job_.Ended(); }
    // Final once Ended(); the counts handed over so far before.
    [[nodiscard]] JobOutcome Outcome() const;

private:
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

    private:
        IThreadEvents* sink_;
    };

    JobKind kind_;
    std::string name_;
    // Before the job: its worker is joined while the counter is still there.
    Counter counter_;
    RunningJob job_;
    const TSyncFolderThread* sync_ = nullptr;
};

} // namespace drivlet

#pragma once
// A started job or restore: the worker, owned here, and what its run came to. The events reach
// the front end's sink through a counter of this run, so the outcome (failed lines, thread
// errors) is the same for every front end and none of them counts log lines itself.
#include "core/engine/TThreadBase.h"
#include "core/launch/FinishMessages.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace drivlet {

class TSyncFolderThread;

struct JobOutcome {
    JobKind kind = JobKind::Backup;
    std::string name;
    int64_t filesDone = 0;     // the worker's count; -1 (nothing begun) reads as 0
    int64_t failedLines = 0;   // per-file log lines that failed
    int64_t threadErrors = 0;  // errors that stopped the run or a part of it
    bool cancelled = false;    // the run was cancelled (by the user, or a question that was not answered)
    std::string finishMessage; // the message shown when the job has ended

    // Every file done: nothing failed, nothing cancelled.
    bool Complete() const { return !cancelled && threadErrors == 0 && failedLines == 0; }
};

class JobRun {
public:
    JobRun(JobKind kind, std::string name, IThreadEvents* sink);
    // Cancels a run still working and waits for its worker, before the counter it reports to goes.
    ~JobRun();
    JobRun(const JobRun&) = delete;
    JobRun& operator=(const JobRun&) = delete;

    JobKind Kind() const { return kind_; }
    const std::string& Name() const { return name_; }
    TThreadBase& Worker() { return *worker_; }
    const TThreadBase& Worker() const { return *worker_; }
    // The sync worker of a sync run (its decided pairs after a dry run); nothing for the others.
    const TSyncFolderThread* SyncWorker() const { return sync_; }

    // The cancel request; the worker stops at its next check.
    void Cancel() { worker_->Terminate(); }
    bool Finished() const { return worker_->Finished(); }
    // Blocks until the worker has ended; not on the thread that runs a queued hand-off's tasks.
    void Wait() { worker_->WaitFor(); }
    // Complete once the run has finished; the counts so far before.
    [[nodiscard]] JobOutcome Outcome() const;

    // Takes the configured worker, attaches the counter and starts it.
    void Start(std::unique_ptr<TThreadBase> worker, const TSyncFolderThread* sync = nullptr);

private:
    class Counter final : public IThreadEvents {
    public:
        explicit Counter(IThreadEvents* sink) : sink_(sink) {}
        void OnStatus(const TThreadBase& sender, const StatusEvent& event) override;
        void OnThreadError(const TThreadBase& sender, const ThreadErrorEvent& event) override;
        void OnFileProgress(const TThreadBase& sender, const FileProgressEvent& event) override;
        void OnLogEntry(const TThreadBase& sender, const LogEntryEvent& event) override;
        LowDiskAnswer AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& question) override;
        void OnTerminated(TThreadBase& sender, const TerminatedEvent& event) override;

        std::atomic<int64_t> failedLines{0};
        std::atomic<int64_t> threadErrors{0};

    private:
        IThreadEvents* sink_;
    };

    JobKind kind_;
    std::string name_;
    Counter counter_;
    // Declared last: destroyed (and joined) before the counter it reports to.
    std::unique_ptr<TThreadBase> worker_;
    const TSyncFolderThread* sync_ = nullptr;
};

} // namespace drivlet

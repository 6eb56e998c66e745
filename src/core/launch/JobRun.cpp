#include "core/launch/JobRun.h"

#include <algorithm>

namespace drivlet {

JobRun::JobRun(JobKind kind, std::string name, IThreadEvents* sink, ThreadEventQueue::Wake wake)
    : kind_(kind), name_(std::move(name)), counter_(sink), job_(counter_, std::move(wake)) {}

void JobRun::Start(std::unique_ptr<TThreadBase> worker, const TSyncFolderThread* sync) {
    sync_ = sync;
    worker->SetEvents(&job_.Queue());
    job_.Adopt(std::move(worker));
    job_.Start();
}

JobOutcome JobRun::Outcome() const {
    JobOutcome outcome;
    outcome.kind = kind_;
    outcome.name = name_;
    const TThreadBase* worker = job_.Worker();
    if (worker) {
        const ThreadCounters counters = worker->Counters();
        outcome.filesDone = std::max<int64_t>(counters.FilesDone - counters.FoldersDone, 0);
    }
    outcome.failedLines = counter_.failedLines;
    outcome.threadErrors = counter_.threadErrors;
    outcome.cancelled = worker && worker->Terminated();
    outcome.ending = outcome.cancelled      ? JobEnding::Canceled
                     : outcome.threadErrors ? JobEnding::Failed
                                            : JobEnding::Completed;
    outcome.finishMessage =
        FinishMessage(kind_, outcome.filesDone, outcome.failedLines + outcome.threadErrors, outcome.ending);
    outcome.finishTitle = FinishTitle(outcome.ending);
    return outcome;
}

// The counter sees the events on the draining thread only.
void JobRun::Counter::OnStatus(const TThreadBase& sender, const StatusEvent& event) {
    if (sink_) sink_->OnStatus(sender, event);
}

void JobRun::Counter::OnThreadError(const TThreadBase& sender, const ThreadErrorEvent& event) {
    ++threadErrors;
    if (sink_) sink_->OnThreadError(sender, event);
}

void JobRun::Counter::OnFileProgress(const TThreadBase& sender, const FileProgressEvent& event) {
    if (sink_) sink_->OnFileProgress(sender, event);
}

void JobRun::Counter::OnLogEntry(const TThreadBase& sender, const LogEntryEvent& event) {
    if (event.isError) ++failedLines;
    if (sink_) sink_->OnLogEntry(sender, event);
}

void JobRun::Counter::AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& question,
                                      Answer<LowDiskAnswer> answer) {
    if (sink_)
        sink_->AskLowDiskSpace(sender, question, std::move(answer));
    else
        answer(LowDiskAnswer::Skip);
}

void JobRun::Counter::OnTerminated(TThreadBase& sender, const TerminatedEvent& event) {
    if (sink_) sink_->OnTerminated(sender, event);
}

} // namespace drivlet

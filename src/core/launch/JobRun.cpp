#include "core/launch/JobRun.h"

#include <algorithm>

namespace drivlet {

JobRun::JobRun(JobKind kind, std::string name, IThreadEvents* sink)
    : kind_(kind), name_(std::move(name)), counter_(sink) {}

JobRun::~JobRun() {
    if (!worker_) return;
    worker_->Terminate();
    worker_->WaitFor();
}

void JobRun::Start(std::unique_ptr<TThreadBase> worker, const TSyncFolderThread* sync) {
    worker_ = std::move(worker);
    sync_ = sync;
    worker_->SetEvents(&counter_);
    worker_->Start();
}

JobOutcome JobRun::Outcome() const {
    JobOutcome outcome;
    outcome.kind = kind_;
    outcome.name = name_;
    outcome.filesDone = worker_ ? std::max<int64_t>(worker_->Counters().FilesDone, 0) : 0;
    outcome.failedLines = counter_.failedLines.load();
    outcome.threadErrors = counter_.threadErrors.load();
    outcome.cancelled = worker_ && worker_->Terminated();
    outcome.finishMessage = FinishMessage(kind_, outcome.filesDone, outcome.threadErrors);
    return outcome;
}

void JobRun::Counter::OnStatus(const TThreadBase& sender, const StatusEvent& event) {
    if (sink_) sink_->OnStatus(sender, event);
}

void JobRun::Counter::OnThreadError(const TThreadBase& sender, const ThreadErrorEvent& event) {
    threadErrors.fetch_add(1);
    if (sink_) sink_->OnThreadError(sender, event);
}

void JobRun::Counter::OnFileProgress(const TThreadBase& sender, const FileProgressEvent& event) {
    if (sink_) sink_->OnFileProgress(sender, event);
}

void JobRun::Counter::OnLogEntry(const TThreadBase& sender, const LogEntryEvent& event) {
    if (event.isError) failedLines.fetch_add(1);
    if (sink_) sink_->OnLogEntry(sender, event);
}

LowDiskAnswer JobRun::Counter::AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& question) {
    return sink_ ? sink_->AskLowDiskSpace(sender, question) : LowDiskAnswer::Skip;
}

void JobRun::Counter::OnTerminated(TThreadBase& sender, const TerminatedEvent& event) {
    if (sink_) sink_->OnTerminated(sender, event);
}

} // namespace drivlet

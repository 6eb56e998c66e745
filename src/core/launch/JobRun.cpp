#include "core/launch/JobRun.h"

#include "core/launch/RunRegistry.h"

#include <algorithm>
#include <stdexcept>

namespace drivlet {

JobRun::JobRun(JobKind kind, std::string name, IThreadEvents* sink, ThreadEventQueue::Wake wake,
               std::string file)
    : kind_(kind), name_(std::move(name)), file_(std::move(file)), counter_(sink), queue_(std::move(wake)) {}

JobRun::~JobRun() {
    Stop();
    worker_.reset();
    while (!kept_.empty())
        kept_.pop_back();
}

void JobRun::Stop() {
    if (worker_) worker_->Terminate(); // releases a waiting question through the listener
    // Nobody drains any more: nothing more is handed over, and no question is asked.
    queue_.Close();
    if (worker_) worker_->WaitFor();
    Leave();
}

void JobRun::Take(std::unique_ptr<TThreadBase> worker) {
    if (worker_) throw std::logic_error("a run owns one worker");
    if (!worker) return;
    worker->SetEvents(&queue_);
    ThreadEventQueue* queue = &queue_;
    worker->AddTerminateListener([queue] { queue->Cancel(); });
    // A cancel made before the worker was handed over still counts.
    if (worker->Terminated()) queue_.Cancel();
    worker_ = std::move(worker);
}

void JobRun::Start() {
    if (!worker_) return;
    if (pendingRegistry_ && !registry_) {
        registry_ = pendingRegistry_;
        registry_->Add(*this);
    }
    worker_->Start();
}

void JobRun::Cancel() {
    if (worker_) worker_->Terminate();
    queue_.Cancel();
}

size_t JobRun::Drain() {
    return queue_.Drain(counter_, [this](TThreadBase& worker) {
        worker.WaitFor();
        // Counted no more before the panel hears of the end, so whatever it does next sees the
        // count without this run.
        Leave();
    });
}

bool JobRun::DrainUntilEnded(std::chrono::steady_clock::time_point deadline) {
    while (!Ended()) {
        if (!queue_.WaitForEvents(deadline)) return false;
        Drain();
        if (!Ended() && std::chrono::steady_clock::now() >= deadline) return false;
    }
    return true;
}

void JobRun::Leave() {
    RunRegistry* registry = registry_;
    registry_ = nullptr;
    if (registry) registry->Remove(*this);
}

JobOutcome JobRun::Outcome() const {
    JobOutcome outcome;
    outcome.kind = kind_;
    outcome.name = name_;
    const TThreadBase* worker = worker_.get();
    if (worker) {
        const ThreadCounters counters = worker->Counters();
        outcome.filesDone = std::max<int64_t>(counters.FilesDone - counters.FoldersDone, 0);
    }
    outcome.failedLines = counter_.failedLines;
    outcome.threadErrors = counter_.threadErrors;
    // As the worker said at its end: a cancel that came once its work was done (before the front
    // end had drained its last events) cancels nothing.
    outcome.cancelled =
        counter_.endedAs ? *counter_.endedAs == StatusPhase::Canceled : worker && worker->Terminated();
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
    if (event.phase == StatusPhase::Finished || event.phase == StatusPhase::Canceled) endedAs = event.phase;
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

#include "cli/CliJob.h"

#include "cli/JobSettings.h"
#include "cli/RecordCommands.h"
#include "core/engine/sync/TSyncFolderThread.h"

#include <ostream>

namespace drivlet::cli {
namespace {

void PrintDecisions(const TFileCollection& pairs, CliConsole& console) {
    for (size_t i = 0; i < pairs.Count(); ++i) {
        const TFilePair& pair = pairs[i];
        console.out << FileActionName(pair.FileAction) << "\t"
                    << (pair.FileA.Present() ? pair.FileA.FileName : "-") << "\t"
                    << (pair.FileB.Present() ? pair.FileB.FileName : "-") << "\n";
    }
}

} // namespace

CliJob::CliJob(std::string file, const RunOptions& options, const CliEnvironment& environment,
               CliConsole& console)
    : file_(std::move(file)), options_(options), environment_(environment), console_(console),
      runner_({{environment.files, environment.clock},
               environment.computerId,
               {},
               environment.isDriveRoot,
               environment.knownReach}),
      asker_(*this), events_(console), prompt_(console, options.conflicts, options.allowDeletions) {}

void CliJob::Asker::Ask(const JobQuestion& question, std::function<void(int reply)> reply) {
    // Asked on the terminal (or answered by --yes, or No without one) inside the call.
    CliDialogs dialogs(job_.console_);
    DialogJobAsker(dialogs).Ask(question, std::move(reply));
}

void CliJob::Asker::Refused(const JobRefusal& refusal) {
    job_.code_ = ReportRefusal(refusal, job_.file_, job_.console_);
    job_.refusalTold_ = true;
}

bool CliJob::Launch(RunRegistry* registry, ThreadEventQueue::Wake wake) {
    LaunchRequest request;
    request.itemIndex = options_.item.value_or(-1);
    // A dry run touches nothing on the computer: there is nothing to agree to.
    request.reachAnswered = options_.reachAnswered || options_.dryRun;
    request.options.prompt = &prompt_;
    request.options.dryRun = options_.dryRun;
    request.options.registry = registry;
    request.eventsFor = [this, wake = std::move(wake)](const PreparedJob&) {
        // Read once the job is known and about to start.
        runner_.SetSettings(LoadJobSettings(environment_.programDataRoot, console_));
        return RunSink{&events_, wake};
    };
    request.unshown = [this](const JobRefusal& refusal) { code_ = ReportRefusal(refusal, file_, console_); };
    request.done = [this](JobStart start) {
        if (start.refusal) {
            if (!refusalTold_) code_ = ReportRefusal(*start.refusal, file_, console_);
            return;
        }
        if (!start.Started()) {
            console_.err << "The job was not started.\n";
            code_ = exitcode::Cancelled;
            return;
        }
        if (!start.saveError.empty())
            console_.err << "The job's start time could not be saved: " << start.saveError << "\n";
        run_ = std::move(start.run);
    };
    LaunchJob(file_, runner_, asker_, std::move(request));
    return run_ != nullptr;
}

int CliJob::Finish() {
    if (!run_) return code_;
    if (options_.dryRun && run_->SyncWorker()) PrintDecisions(run_->SyncWorker()->GetFilePairs(), console_);
    return ReportOutcome(*run_, console_);
}

int ReportOutcome(const JobRun& run, CliConsole& console) {
    const JobOutcome outcome = run.Outcome();
    console.out << outcome.finishMessage << "\n";
    return ExitCodeOf(outcome);
}

void WaitForRun(JobRun& run, const std::stop_token& cancel) {
    // From the thread that asks for the stop; the run's worker then ends and wakes the wait.
    const std::stop_callback onCancel(cancel, [&run] { run.Cancel(); });
    run.Wait();
}

} // namespace drivlet::cli

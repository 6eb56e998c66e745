#include "cli/RunCommand.h"

#include "cli/CliConflictPrompt.h"
#include "cli/CliRunEvents.h"
#include "cli/JobSettings.h"
#include "cli/RecordCommands.h"
#include "core/app/Constants.h"
#include "core/engine/sync/TSyncFolderThread.h"
#include "core/launch/JobRunner.h"

#include <ostream>

namespace drivlet::cli {
namespace {

// The questions asked in turn on the terminal (or answered by --yes); the first reply that keeps
// the job from starting ends the asking.
std::vector<int> AskQuestions(const PreparedJob& job, CliConsole& console) {
    CliDialogs dialogs(console);
    std::vector<int> replies;
    for (const JobQuestion& question : job.Questions()) {
        replies.push_back(dialogs.AskYesNo(question.text, question.title, false, question.messageKind,
                                           std::string(kProductTitle)));
        if (!question.GoesAhead(replies.back())) break;
    }
    return replies;
}

void PrintDecisions(const TFileCollection& pairs, CliConsole& console) {
    for (size_t i = 0; i < pairs.Count(); ++i) {
        const TFilePair& pair = pairs[i];
        console.out << FileActionName(pair.FileAction) << "\t"
                    << (pair.FileA.Present() ? pair.FileA.FileName : "-") << "\t"
                    << (pair.FileB.Present() ? pair.FileB.FileName : "-") << "\n";
    }
}

} // namespace

int FinishRun(JobStart& start, const RunOptions& options, CliConsole& console) {
    JobRun& run = *start.run;
    if (!start.saveError.empty())
        console.err << "The job's start time could not be saved: " << start.saveError << "\n";
    WaitForRun(run, options.cancel);
    if (options.dryRun && run.SyncWorker()) PrintDecisions(run.SyncWorker()->GetFilePairs(), console);
    const JobOutcome outcome = run.Outcome();
    console.out << outcome.finishMessage << "\n";
    return ExitCodeOf(outcome);
}

int RunJob(const std::string& file, const RunOptions& options, const CliEnvironment& environment,
           CliConsole& console) {
    JobRunner runner({{environment.files, environment.clock},
                      environment.computerId,
                      {},
                      environment.isDriveRoot,
                      environment.knownReach});
    // A dry run touches nothing on the computer: there is nothing to agree to.
    PreparedJob job = runner.Prepare(
        file, PrepareOptions{options.item.value_or(-1), options.reachAnswered || options.dryRun});
    if (!job.Ready()) return ReportRefusal(*job.Refusal(), file, console);
    runner.SetSettings(LoadJobSettings(environment.programDataRoot, console));
    const std::vector<int> replies = AskQuestions(job, console);

    CliRunEvents events(console);
    CliConflictPrompt prompt(console, options.conflicts, options.allowDeletions);
    JobStart start = runner.Start(std::move(job), replies, &events, StartOptions{&prompt, options.dryRun});
    if (start.refusal) return ReportRefusal(*start.refusal, file, console);
    if (!start.Started()) {
        console.err << "The job was not started.\n";
        return exitcode::Cancelled;
    }
    return FinishRun(start, options, console);
}

} // namespace drivlet::cli

#pragma once
// One job file launched from the command line through the launcher the tray uses: its questions
// answered on the terminal (or by --yes) inside the asker's callback, its events printed as they
// are drained, its conflicts answered by the options, and the exit code of what it came to.
#include "cli/CliConflictPrompt.h"
#include "cli/CliConsole.h"
#include "cli/CliRunEvents.h"
#include "cli/RecordCommands.h"
#include "cli/RunCommand.h"
#include "core/launch/LaunchJob.h"

#include <memory>
#include <stop_token>
#include <string>

namespace drivlet {
class RunRegistry;
}

namespace drivlet::cli {

class CliJob {
public:
    CliJob(std::string file, const RunOptions& options, const CliEnvironment& environment,
           CliConsole& console);
    CliJob(const CliJob&) = delete;
    CliJob& operator=(const CliJob&) = delete;

    // Reads and checks the job, asks its questions and starts it, counted by `registry` (may be
    // null); `wake` is called from the worker when its events wait to be drained. False when it
    // was not started: Code() says why.
    bool Launch(RunRegistry* registry, ThreadEventQueue::Wake wake);
    // The started run; null before, or when it was not started.
    JobRun* Run() const { return run_.get(); }
    // Once the run has ended: a dry run's decisions and the finish message printed; the exit code.
    int Finish();
    // The exit code of a job that was not started.
    int Code() const { return code_; }
    const std::string& File() const { return file_; }

private:
    class Asker final : public IJobAsker {
    public:
        explicit Asker(CliJob& job) : job_(job) {}
        void Ask(const JobQuestion& question, std::function<void(int reply)> reply) override;
        void Refused(const JobRefusal& refusal) override;

    private:
        CliJob& job_;
    };

    void Started(JobStart start);

    std::string file_;
    RunOptions options_;
    const CliEnvironment& environment_;
    CliConsole& console_;
    JobRunner runner_;
    Asker asker_;
    CliRunEvents events_;
    CliConflictPrompt prompt_;
    std::unique_ptr<JobRun> run_;
    int code_ = exitcode::Cancelled;
    bool refusalTold_ = false;
};

// The finish message of an ended run, and its exit code.
int ReportOutcome(const JobRun& run, CliConsole& console);

// Prints the run's events on this thread as they arrive until it has ended; a cancel request
// (Ctrl-C, SIGTERM) cancels it.
void WaitForRun(JobRun& run, const std::stop_token& cancel);

} // namespace drivlet::cli

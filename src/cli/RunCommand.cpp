#include "cli/RunCommand.h"

#include "cli/CliConflictPrompt.h"
#include "cli/CliRunEvents.h"
#include "cli/RecordCommands.h"
#include "cli/JobSettings.h"
#include "core/launch/BackupLaunch.h"
#include "core/launch/SyncLaunch.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "core/text/CaseFold.h"

#include <ostream>

namespace drivlet::cli {
namespace {

// What both kinds of run are set up with: the questions, the program's settings and the sink.
struct RunContext {
    RunContext(const CliEnvironment& environment, CliConsole& console)
        : dialogs(console),
          settings(LoadJobSettings(environment.programDataRoot, console)),
          services{{environment.files, InPlaceHandoff::Instance(), environment.clock},
                   dialogs,
                   environment.computerId,
                   settings.store,
                   settings.openDeletedLog},
          events(console) {}

    CliDialogs dialogs;
    JobSettings settings;
    LaunchServices services;
    CliRunEvents events;
};

// The rest of a started run: waiting, the finish message and the exit code.
int FinishRun(TThreadBase& worker, JobKind kind, const std::string& saveError, const RunOptions& options,
              RunContext& context, CliConsole& console, const TFileCollection* dryRunPairs = nullptr) {
    if (!saveError.empty()) console.err << "The job's start time could not be saved: " << saveError << "\n";
    WaitForWorker(worker, options.cancel);
    if (dryRunPairs) {
        for (size_t i = 0; i < dryRunPairs->Count(); ++i) {
            const TFilePair& pair = (*dryRunPairs)[i];
            console.out << FileActionName(pair.FileAction) << "\t" << (pair.FileA.Present() ? pair.FileA.FileName : "-")
                        << "\t" << (pair.FileB.Present() ? pair.FileB.FileName : "-") << "\n";
        }
    }
    console.out << FinishMessage(kind, worker.Counters().FilesDone, context.events.ThreadErrors()) << "\n";
    const int code = ExitCodeOf(worker, context.events);
    worker.ReleaseRunningCount();
    return code;
}

int RunBackupJob(const std::string& file, const RunOptions& options, const CliEnvironment& environment,
                 CliConsole& console) {
    TArchiveData probe(environment.clock);
    if (!LoadJobRecord(probe, file, console)) return exitcode::Unreadable;
    RunContext context(environment, console);
    std::optional<BackupLaunch> launch = LaunchBackup(file, context.services, &context.events);
    if (!launch) {
        console.err << "The job was not started.\n";
        return exitcode::Cancelled;
    }
    return FinishRun(*launch->worker, launch->kind, launch->saveError, options, context, console);
}

int RunSyncJob(const std::string& file, bool computerToComputer, const RunOptions& options,
               const CliEnvironment& environment, CliConsole& console) {
    if (computerToComputer) {
        TPCSyncData probe;
        if (!LoadJobRecord(probe, file, console)) return exitcode::Unreadable;
    } else {
        TSyncData probe;
        if (!LoadJobRecord(probe, file, console)) return exitcode::Unreadable;
    }
    RunContext context(environment, console);
    CliConflictPrompt prompt(console, options.conflicts, options.allowDeletions);
    SyncLaunchOptions launchOptions;
    launchOptions.itemIndex = options.item.value_or(-1);
    launchOptions.prompt = &prompt;
    launchOptions.dryRun = options.dryRun;
    SyncLaunch launch = LaunchSync(file, context.services, &context.events, launchOptions);
    if (launch.noItem) {
        console.err << file << ": "
                    << (options.item ? "the job has no item " + std::to_string(*options.item)
                                     : "no item of the job belongs to this computer (" + environment.computerId + ")")
                    << "\n";
        return exitcode::Unreadable;
    }
    if (!launch.worker) {
        console.err << "The job was not started.\n";
        return exitcode::Cancelled;
    }
    return FinishRun(*launch.worker, launch.kind, launch.saveError, options, context, console,
                     options.dryRun ? &launch.worker->GetFilePairs() : nullptr);
}

} // namespace

int RunJob(const std::string& file, const RunOptions& options, const CliEnvironment& environment,
           CliConsole& console) {
    const std::string extension = LowerCase(std::filesystem::path(file).extension().string());
    if (extension == ".ubk" || extension == ".umv") return RunBackupJob(file, options, environment, console);
    if (extension == ".usy" || extension == ".upcsy")
        return RunSyncJob(file, extension == ".upcsy", options, environment, console);
    console.err << file << ": not a job file (.Ubk, .Umv, .Usy or .Upcsy)\n";
    return exitcode::Unreadable;
}

} // namespace drivlet::cli

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

int RunBackupJob(const std::string& file, const RunOptions& options, const CliEnvironment& environment,
                 CliConsole& console) {
    TArchiveData probe(environment.clock);
    if (!LoadJobRecord(probe, file, console)) return exitcode::Unreadable;

    CliDialogs dialogs(console);
    const JobSettings settings = LoadJobSettings(environment.programDataRoot, console);
    const LaunchServices services{{environment.files, InPlaceHandoff::Instance(), environment.clock},
                                  dialogs,
                                  environment.computerId,
                                  settings.store,
                                  settings.openDeletedLog};
    CliRunEvents events(console);
    std::optional<BackupLaunch> launch = LaunchBackup(file, services, &events);
    if (!launch) {
        console.err << "The job was not started.\n";
        return exitcode::Cancelled;
    }
    if (!launch->saveError.empty())
        console.err << "The job's start time could not be saved: " << launch->saveError << "\n";
    WaitForWorker(*launch->worker, options.cancel);
    console.out << FinishMessage(launch->kind, launch->worker->Counters().FilesDone, events.ThreadErrors())
                << "\n";
    const int code = ExitCodeOf(*launch->worker, events);
    launch->worker->ReleaseRunningCount();
    return code;
}

// The decided action of every pair, for a dry run.
void PrintPairs(const TFileCollection& pairs, std::ostream& out) {
    for (size_t i = 0; i < pairs.Count(); ++i) {
        const TFilePair& pair = pairs[i];
        out << FileActionName(pair.FileAction) << "\t" << (pair.FileA.Present() ? pair.FileA.FileName : "-") << "\t"
            << (pair.FileB.Present() ? pair.FileB.FileName : "-") << "\n";
    }
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
    CliDialogs dialogs(console);
    const JobSettings settings = LoadJobSettings(environment.programDataRoot, console);
    const LaunchServices services{{environment.files, InPlaceHandoff::Instance(), environment.clock},
                                  dialogs,
                                  environment.computerId,
                                  settings.store,
                                  settings.openDeletedLog};
    CliRunEvents events(console);
    CliConflictPrompt prompt(console, options.conflicts);
    SyncLaunchOptions launchOptions;
    launchOptions.itemIndex = options.item.value_or(-1);
    launchOptions.prompt = &prompt;
    launchOptions.dryRun = options.dryRun;
    SyncLaunch launch = LaunchSync(file, services, &events, launchOptions);
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
    if (!launch.saveError.empty())
        console.err << "The job's start time could not be saved: " << launch.saveError << "\n";
    WaitForWorker(*launch.worker, options.cancel);
    if (options.dryRun) PrintPairs(launch.worker->GetFilePairs(), console.out);
    console.out << FinishMessage(launch.kind, launch.worker->Counters().FilesDone, events.ThreadErrors()) << "\n";
    const int code = ExitCodeOf(*launch.worker, events);
    launch.worker->ReleaseRunningCount();
    return code;
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

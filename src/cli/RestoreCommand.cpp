#include "cli/RestoreCommand.h"

#include "cli/CliJob.h"
#include "cli/CliRunEvents.h"
#include "cli/JobSettings.h"
#include "cli/RecordCommands.h"
#include "core/launch/RestorePoints.h"
#include "core/launch/RestoreRunner.h"
#include "core/records/TArchiveData.h"
#include "core/time/DateFormat.h"

#include <ostream>

namespace drivlet::cli {

int ListRestorePoints(const std::string& jobFile, CliConsole& console) {
    TArchiveData job;
    if (!LoadJobRecord(job, jobFile, console)) return exitcode::Unreadable;
    const RestorePointList history = RestorePoints(jobFile);
    if (!history.ok()) {
        console.err << jobFile << ": " << history.error << "\n";
        return exitcode::Unreadable;
    }
    const std::vector<RestorePoint>& points = history.points;
    if (points.empty()) console.err << "The job has no backup runs yet.\n";
    for (size_t i = 0; i < points.size(); ++i) {
        const RestorePoint& p = points[i];
        console.out << i + 1 << "\t"
                    << (p.startTime ? FormatDateTime(*p.startTime, "yyyy-mm-dd hh:nn:ss") : std::string("-"))
                    << "\t" << p.status << "\t" << (p.format.empty() ? "-" : p.format) << "\t"
                    << p.archiveFolder << "\n";
    }
    return exitcode::Ok;
}

int RestoreBackup(const std::string& jobFile, const RestoreOptions& options,
                  const CliEnvironment& environment, CliConsole& console) {
    RestoreRunner runner(
        {{environment.files, environment.clock}, environment.computerId, {}, environment.isDriveRoot});
    const PreparedRestore restore = runner.Prepare(jobFile);
    if (!restore.Ready()) return ReportRefusal(*restore.Refusal(), jobFile, console);
    const std::vector<RestorePoint>& points = restore.Points();
    if (options.point < 1 || static_cast<size_t>(options.point) > points.size()) {
        console.err << jobFile << ": no restore point " << options.point << " (see --list)\n";
        return exitcode::Unreadable;
    }
    RestoreRequest request;
    request.backupRoot = points[static_cast<size_t>(options.point) - 1].archiveFolder;
    request.paths = options.paths;
    request.target = options.target;
    request.password = options.password;
    runner.SetSettings(LoadJobSettings(environment.programDataRoot, console));
    CliRunEvents events(console);
    JobStart start = runner.Start(restore, request, &events);
    if (!start.Started()) return ReportRefusal(*start.refusal, request.backupRoot, console);
    WaitForRun(*start.run, options.cancel);
    return ReportOutcome(*start.run, console);
}

} // namespace drivlet::cli

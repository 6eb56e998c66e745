#include "cli/RestoreCommand.h"

#include "cli/CliRunEvents.h"
#include "cli/JobSettings.h"
#include "cli/RecordCommands.h"
#include "core/engine/PathMapping.h"
#include "core/engine/restore/TRestoreFolderThread.h"
#include "core/engine/restore/TRestoreZipThread.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/RestorePoints.h"
#include "core/records/TArchiveData.h"
#include "core/text/CaseFold.h"
#include "core/time/DateFormat.h"
#include "platform/FileSystem.h"

#include <ostream>

namespace drivlet::cli {
namespace {

struct Choice {
    std::vector<std::string> folders; // full paths inside the backup, ending with "/"
    std::vector<std::string> files;   // relative to the backup root
};

bool IsZipName(const std::string& name) {
    return name.size() > 4 && SameText(std::string_view(name).substr(name.size() - 4), ".zip");
}

// The whole run: every top-level folder and file of a folder backup, every archive of a zip one.
Choice WholeRun(const std::string& root, bool zip, const IFileSystem& files) {
    Choice choice;
    std::vector<FolderEntry> entries;
    files.ReadFolder(root, entries, ListDetail::NamesAndTypes);
    for (const FolderEntry& entry : entries) {
        if (zip) {
            if (!entry.isDirectory && IsZipName(entry.name)) choice.folders.push_back(root + entry.name + "/");
        } else if (entry.isDirectory) {
            if (!entry.isSymlink) choice.folders.push_back(root + entry.name + "/");
        } else {
            choice.files.push_back(entry.name);
        }
    }
    return choice;
}

// Paths as they were backed up, found in the run: below the folder tree, or inside Root.Zip.
Choice ChosenPaths(const std::string& root, bool zip, const std::vector<std::string>& paths) {
    Choice choice;
    for (const std::string& path : paths) {
        const std::string mapped = MappedPath(path);
        const bool folder = !path.empty() && path.back() == '/';
        if (zip) {
            // A name without its trailing "/" takes the entry of that name or the folder of it.
            const std::string inArchive = "Root.Zip/" + mapped;
            if (folder)
                choice.folders.push_back(root + inArchive);
            else
                choice.files.push_back(inArchive);
            continue;
        }
        std::error_code ec;
        if (folder || std::filesystem::is_directory(root + mapped, ec))
            choice.folders.push_back(root + mapped + (folder ? "" : "/"));
        else
            choice.files.push_back(mapped);
    }
    return choice;
}

} // namespace

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
                    << (p.startTime ? FormatDateTime(*p.startTime, "yyyy-mm-dd hh:nn:ss") : std::string("-")) << "\t"
                    << p.status << "\t" << (p.format.empty() ? "-" : p.format) << "\t" << p.archiveFolder << "\n";
    }
    return exitcode::Ok;
}

int RestoreBackup(const std::string& jobFile, const RestoreOptions& options, const CliEnvironment& environment,
                  CliConsole& console) {
    TArchiveData job(environment.clock);
    if (!LoadJobRecord(job, jobFile, console)) return exitcode::Unreadable;
    const RestorePointList history = RestorePoints(jobFile);
    if (!history.ok()) {
        console.err << jobFile << ": " << history.error << "\n";
        return exitcode::Unreadable;
    }
    const std::vector<RestorePoint>& points = history.points;
    if (options.point < 1 || static_cast<size_t>(options.point) > points.size()) {
        console.err << jobFile << ": no restore point " << options.point << " (see --list)\n";
        return exitcode::Unreadable;
    }
    const std::string root = points[static_cast<size_t>(options.point) - 1].archiveFolder;
    if (environment.files.FileSize(root) != 0) {
        console.err << root << ": the backup of this run is not there\n";
        return exitcode::Unreadable;
    }
    const bool zip = job.ArchiveType == TArchiveType::atImage;
    const Choice choice =
        options.paths.empty() ? WholeRun(root, zip, environment.files) : ChosenPaths(root, zip, options.paths);

    const ThreadServices services{environment.files, InPlaceHandoff::Instance(), environment.clock};
    std::unique_ptr<TRestoreThreadBase> worker;
    if (zip) {
        auto zipWorker = std::make_unique<TRestoreZipThread>(services);
        zipWorker->SetZipPassword(options.password.value_or(job.Password));
        worker = std::move(zipWorker);
    } else {
        worker = std::make_unique<TRestoreFolderThread>(services);
    }
    const JobSettings settings = LoadJobSettings(environment.programDataRoot, console);
    CliRunEvents events(console);
    std::string target = options.target;
    if (!target.empty() && target.back() != '/') target += '/';
    worker->SetBackupRoot(root);
    worker->SetFolderList(choice.folders);
    worker->SetFileList(choice.files);
    worker->SetRestoreTarget(target);
    worker->SetDatabaseFile(BackupDatabase::PathForJob(jobFile).string());
    worker->SetDeletedStore(settings.store, settings.openDeletedLog);
    worker->SetEvents(&events);
    worker->Start();
    WaitForWorker(*worker, options.cancel);
    console.out << FinishMessage(JobKind::Restore, worker->Counters().FilesDone, events.ThreadErrors()) << "\n";
    const int code = ExitCodeOf(*worker, events);
    worker->ReleaseRunningCount();
    return code;
}

} // namespace drivlet::cli

#include "core/launch/RestoreRunner.h"

#include "core/db/BackupDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/engine/PathMapping.h"
#include "core/engine/restore/TRestoreFolderThread.h"
#include "core/engine/restore/TRestoreZipThread.h"
#include "core/launch/BackupLaunch.h"
#include "core/launch/JobClaim.h"
#include "core/launch/ReadJobRecord.h"
#include "core/text/CaseFold.h"

#include <filesystem>
#include <system_error>

namespace drivlet {
namespace {

bool IsZipName(const std::string& name) {
    return name.size() > 4 && SameText(std::string_view(name).substr(name.size() - 4), ".zip");
}

RestoreChoice WholeRun(const std::string& root, bool zip, const IFileSystem& files) {
    RestoreChoice choice;
    std::vector<FolderEntry> entries;
    files.ReadFolder(root, entries, ListDetail::NamesAndTypes);
    for (const FolderEntry& entry : entries) {
        if (zip) {
            if (!entry.isDirectory && IsZipName(entry.name))
                choice.folders.push_back(root + entry.name + "/");
        } else if (entry.isDirectory) {
            if (!entry.isSymlink) choice.folders.push_back(root + entry.name + "/");
        } else {
            choice.files.push_back(entry.name);
        }
    }
    return choice;
}

// Paths as they were backed up, found in the run: below the folder tree, or inside Root.Zip.
RestoreChoice ChosenPaths(const std::string& root, bool zip, const std::vector<std::string>& paths) {
    RestoreChoice choice;
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

// The run of the folder as the history has it; the newest when two rows name the same folder.
const RestorePoint* PointOf(const std::vector<RestorePoint>& points, const std::string& root) {
    for (const RestorePoint& point : points)
        if (point.archiveFolder == root) return &point;
    return nullptr;
}

RestoreRun RunOf(const RestorePoint& point, const TArchiveData& job) {
    RestoreRun run;
    run.startTime = point.startTime;
    run.format = point.format;
    run.folders = job.FolderList.Items();
    run.files = job.FileList.Items();
    run.sourcesSideBySide =
        job.ArchiveType == TArchiveType::atFile && job.ArchiveMode == TArchiveMode::amMove;
    return run;
}

} // namespace

RestoreChoice ChooseForRestore(const std::string& backupRoot, bool zip, const std::vector<std::string>& paths,
                               const IFileSystem& files) {
    return paths.empty() ? WholeRun(backupRoot, zip, files) : ChosenPaths(backupRoot, zip, paths);
}

PreparedRestore RestoreRunner::Prepare(const std::string& jobFile) const {
    PreparedRestore restore;
    restore.file_ = jobFile;
    restore.job_ = std::make_unique<TArchiveData>(services_.threads.clock);
    // A restore writes where the drive's backup tree says: the drive must be the job's own.
    JobLocation where = LocateJobFile(jobFile, services_.threads.fileSystem, services_.isDriveRoot);
    if (where.refusal) {
        restore.refusal_ = std::move(where.refusal);
        return restore;
    }
    restore.file_ = std::move(where.file);
    if ((restore.refusal_ = ReadJobRecord(*restore.job_, restore.file_))) return restore;
    // The job's sources as its runs read them: its old places.
    ResolveBackupPaths(*restore.job_, DrivePathOfJobFile(restore.file_));
    RestorePointList history = RestorePoints(restore.file_);
    if (!history.ok()) {
        restore.refusal_ = JobRefusal{RefusalReason::HistoryUnreadable, "Restore", std::move(history.error)};
        return restore;
    }
    restore.points_ = std::move(history.points);
    return restore;
}

JobStart RestoreRunner::Start(const PreparedRestore& restore, const RestoreRequest& request,
                              IThreadEvents* events, ThreadEventQueue::Wake wake,
                              RunRegistry* registry) const {
    JobStart start;
    if (restore.refusal_) {
        start.refusal = restore.refusal_;
        return start;
    }
    const IFileSystem& files = services_.threads.fileSystem;
    std::string root = request.backupRoot;
    if (!root.empty() && root.back() != '/') root += '/';
    if (root.empty() || files.FileSize(root) != 0) {
        start.refusal =
            JobRefusal{RefusalReason::RunMissing, "Restore", "the backup of this run is not there"};
        return start;
    }
    // Only a run of the job's history can tell which of the folder's files are its own.
    const RestorePoint* point = PointOf(restore.points_, root);
    if (!point) {
        start.refusal = JobRefusal{RefusalReason::RunMissing, "Restore", "the folder is no run of this job"};
        return start;
    }
    // A backup of the same job running meanwhile could replace or delete what is being brought
    // back, so a restore holds the job's lock as a run does.
    JobClaim claim = TryClaimJob(restore.file_, files);
    // On a drive that cannot be written no backup can run meanwhile, and no lock can be made.
    const std::string configFolder = std::filesystem::path(restore.file_).parent_path().string();
    if (claim.refusal && claim.refusal->reason == RefusalReason::NotLockable &&
        !files.CanWriteIn(configFolder))
        claim.refusal.reset();
    if (claim.refusal) {
        start.refusal = std::move(claim.refusal);
        return start;
    }
    const bool zip = restore.IsZip();
    const RestoreChoice choice = ChooseForRestore(root, zip, request.paths, files);

    std::unique_ptr<TRestoreThreadBase> worker;
    if (zip) {
        auto zipWorker = std::make_unique<TRestoreZipThread>(services_.threads);
        zipWorker->SetZipPassword(request.password.value_or(restore.job_->Password));
        worker = std::move(zipWorker);
    } else {
        worker = std::make_unique<TRestoreFolderThread>(services_.threads);
    }
    std::string target = request.target;
    if (!target.empty() && target.back() != '/') target += '/';
    worker->SetBackupRoot(root);
    worker->SetFolderList(choice.folders);
    worker->SetFileList(choice.files);
    worker->SetRestoreTarget(target);
    worker->SetRestoreRun(RunOf(*point, *restore.job_));
    worker->SetDatabaseFile(BackupDatabase::PathForJob(restore.file_).string());
    worker->SetDeletedStore(services_.settings.store, services_.settings.openDeletedLog);
    worker->HoldJobLock(std::move(claim.lock));
    start.archiveFolder = root;
    start.run =
        std::make_unique<JobRun>(JobKind::Restore, restore.Name(), events, std::move(wake), restore.file_);
    start.run->CountIn(registry);
    start.run->Start(std::move(worker));
    return start;
}

} // namespace drivlet

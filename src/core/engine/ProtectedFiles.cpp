#include "core/engine/ProtectedFiles.h"

#include "core/app/Constants.h"
#include "core/drives/DrivePaths.h"
#include "core/engine/PathMapping.h"
#include "core/engine/SizeText.h"
#include "core/records/TProgramData.h"

#include <cerrno>
#include <vector>

namespace drivlet {

namespace {

// "a.txt" -> "a (2).txt"; a name without an extension gets the number at its end.
std::string NumberedName(const std::string& path, int n) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const std::size_t cut =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) ? dot : path.size();
    return path.substr(0, cut) + " (" + std::to_string(n) + ")" + path.substr(cut);
}

} // namespace

DeletedStoreSettings DeletedStoreSettings::From(const TProgramData& settings) {
    return {settings.MoveToDeleted, settings.DeletedFolder};
}

ProtectedFiles::ProtectedFiles(const IFileSystem& fileSystem, const TFileFilter& filter, Reporter& reporter,
                               Host& host, std::stop_token stop)
    : fileSystem_(fileSystem), filter_(filter), reporter_(reporter), host_(host), stop_(std::move(stop)) {}

void ProtectedFiles::Begin(TDateTime startTime, const std::string& databaseFile, bool divertsNewerTargets) {
    startTime_ = startTime;
    divertsNewerTargets_ = divertsNewerTargets;
    activeStore_ = store_;
    if (activeStore_.MoveToDeleted && openLog_) deletedLog_ = openLog_();
    if (jobDrive_.empty() && IsInConfigFolder(databaseFile)) {
        // Guarded from here on when it is there; a database not yet made has no drive to lose.
        const std::string drive = DrivePathOfJobFile(databaseFile);
        driveVolume_ = fileSystem_.VolumeId(drive);
        if (driveVolume_) jobDrive_ = drive;
    }
    if (!jobDrive_.empty()) {
        if (!driveVolume_) driveVolume_ = fileSystem_.VolumeId(jobDrive_);
        // Everything below the drive goes through its handle from here on: a drive unmounted
        // meanwhile, even lazily, never gets a file made in its empty mount-point folder.
        if (!DriveGone()) anchored_ = fileSystem_.AnchoredAt(jobDrive_);
    }
}

bool ProtectedFiles::DriveGone() {
    if (driveLost_) return true;
    if (jobDrive_.empty() || (driveVolume_ && fileSystem_.VolumeId(jobDrive_) == driveVolume_)) return false;
    driveLost_ = true;
    lastError_ = FileStatus::FromErrno(ENODEV);
    host_.StopRun();
    reporter_.ThreadError(
        ThreadErrorKind::DriveGone,
        "The drive " + jobDrive_ +
            " is not there any more: the job is stopped, nothing more is written or recorded");
    return true;
}

std::string ProtectedFiles::DeletedPathFor(std::string_view path) const {
    return drivlet::DeletedPathFor(activeStore_.DeletedFolder, startTime_, path);
}

bool ProtectedFiles::CopyProgress(int64_t done, int64_t total) {
    reporter_.FileProgress(total > 0 ? done * 100.0 / total : 0.0);
    return !stop_.stop_requested();
}

ProtectedFiles::SpaceCheck ProtectedFiles::CheckDiskSpace(const std::string& path, int64_t needed) {
    // Only local absolute paths name a volume to ask about.
    if (path.empty() || path.front() != '/') return SpaceCheck::Passed;
    const std::string folder(FolderPart(path));
    bool prompted = false;
    for (;;) {
        const int64_t free = Files().GetDiskSpace(folder).freeBytes;
        // An unknown free space is not a reason to stop; the copy reports a real shortage itself.
        if (free < 0 || free >= needed) return prompted ? SpaceCheck::Prompted : SpaceCheck::Passed;
        // A POSIX path has no drive letter: the folder says which drive is meant.
        std::string message = "You are running low on disk space on the drive of the folder \"" + folder +
                              "\".Free up Space on drive or enter a new drive and try again.\n\n" +
                              "File Name: " + path + "\n" + "File Size: " + FormatSize(needed) + "\n" +
                              "Available On Disk: " + FormatSize(free);
        const LowDiskQuestion question{std::string(kProductTitle), "Low Disk Space", std::move(message)};
        const LowDiskAnswer answer = host_.AskLowDiskSpace(question);
        prompted = true;
        // The skipped file's log line gives the shortage as its reason.
        if (answer == LowDiskAnswer::Skip) {
            lastError_ = FileStatus::FromErrno(ENOSPC);
            return SpaceCheck::Skipped;
        }
        if (answer == LowDiskAnswer::Abort) {
            lastError_ = FileStatus::Canceled();
            host_.StopRun();
            return SpaceCheck::Skipped;
        }
    }
}

ProtectedFiles::Diversion ProtectedFiles::DivertToStore(const std::string& file, int64_t size,
                                                        std::string_view actionName) {
    const IFileSystem& fs = Files();
    const std::string storeName = DeletedPathFor(file);
    fs.CreateFolders(std::string(FolderPart(storeName)));
    reporter_.FileAction("Moving Out Old File: " + std::string(actionName));
    if (CheckDiskSpace(storeName, size) == SpaceCheck::Skipped) return Diversion::Skipped;
    const auto progress = [this](int64_t done, int64_t total) { return CopyProgress(done, total); };
    // A file diverted twice within one run's minute keeps both versions: the later one is
    // numbered rather than put over the earlier.
    std::string stored = storeName;
    for (int n = 2;; ++n) {
        lastError_ = fs.MoveFile(file, stored, CopyMode::FailIfExists, progress);
        if (lastError_.code() != EEXIST || n > 1000) break;
        stored = NumberedName(storeName, n);
    }
    if (!lastError_) return Diversion::Failed;
    if (deletedLog_) {
        const std::string_view base = FolderPart(activeStore_.DeletedFolder);
        const std::string relative =
            stored.compare(0, base.size(), base) == 0 ? stored.substr(base.size()) : stored;
        deletedLog_->Add(relative, fs.FileSize(stored));
    }
    return Diversion::Moved;
}

bool ProtectedFiles::Copy(const std::string& source, const std::string& target, bool failIfExists,
                          bool deleteSource, int64_t sourceSize) {
    const IFileSystem& fs = Files();
    const std::string_view name = FileNamePart(source);
    const auto progress = [this](int64_t done, int64_t total) { return CopyProgress(done, total); };
    // Folders are made on the drive only while it is there: never at its bare mount point.
    if (DriveGone()) return false;

    if (failIfExists) {
        reporter_.FileAction("Copying File: " + std::string(name));
        lastError_ = CopyIntoFolder(source, target, CopyMode::FailIfExists, progress);
        return lastError_.ok() && !DriveGone();
    }

    if (activeStore_.MoveToDeleted && divertsNewerTargets_ && fs.FileTime(source) < fs.FileTime(target)) {
        switch (DivertToStore(target, fs.FileSize(target), name)) {
        case Diversion::Skipped:
            return false;
        case Diversion::Moved:
        case Diversion::Failed: // the copy goes ahead and overwrites the target
            break;
        }
    }

    reporter_.FileAction("Copying File: " + std::string(name));
    const SpaceCheck space = CheckDiskSpace(target, sourceSize >= 0 ? sourceSize : fs.FileSize(source));
    if (space == SpaceCheck::Skipped) return false;
    lastError_ = CopyIntoFolder(source, target, CopyMode::Overwrite, progress);
    if (lastError_.code() == EACCES || lastError_.code() == EPERM) {
        // A read-only target must still be replaceable where the file system refuses it; when
        // it is not replaced after all, it gets its attributes back.
        const std::optional<uint32_t> attributes = fs.GetAttributes(target);
        if (attributes && (*attributes & fa::ReadOnly) &&
            fs.SetAttributes(target, *attributes & ~fa::ReadOnly)) {
            lastError_ = fs.CopyFile(source, target, CopyMode::Overwrite, progress);
            if (!lastError_) fs.SetAttributes(target, *attributes);
        }
    }
    if (!lastError_) return false;
    // A copy made after the drive went landed where its mount point was, not on the drive.
    if (DriveGone()) return false;
    if (deleteSource) {
        // The source goes only once its copy is on the device: a drive's own cache promises
        // nothing when the stick is pulled.
        const FileStatus flushed = fs.FlushFile(target);
        if (!flushed) {
            lastError_ = flushed;
            return false;
        }
        const FileStatus copyStatus = lastError_;
        (void)Delete(source);
        lastError_ = copyStatus;
    }
    return true;
}

FileStatus ProtectedFiles::CopyIntoFolder(const std::string& source, const std::string& target, CopyMode mode,
                                          const drivlet::CopyProgress& progress) {
    const IFileSystem& fs = Files();
    const std::string_view folder = FolderPart(target);
    // A run copies many files into one folder: it is made (or found) once, and made again only
    // should it have gone since.
    const bool known = folder == madeFolder_;
    if (!known && fs.CreateFolders(std::string(folder))) madeFolder_ = folder;
    FileStatus status = fs.CopyFile(source, target, mode, progress);
    if (known && status.code() == ENOENT && fs.CreateFolders(std::string(folder)))
        status = fs.CopyFile(source, target, mode, progress);
    return status;
}

bool ProtectedFiles::Delete(const std::string& path) {
    const IFileSystem& fs = Files();
    if (DriveGone()) return false;
    if (activeStore_.MoveToDeleted)
        return DivertToStore(path, fs.FileSize(path), FileNamePart(path)) == Diversion::Moved;
    reporter_.FileAction("Deleting File: " + std::string(FileNamePart(path)));
    reporter_.FileProgress(0);
    fs.SetAttributes(path, 0);
    lastError_ = fs.DeleteFile(path);
    return lastError_.ok();
}

void ProtectedFiles::DeleteFolderFiles(const std::string& folder,
                                       const std::function<bool(const std::string& file)>& owned) {
    const IFileSystem& fs = Files();
    FolderWalk::Steps steps;
    // The listing is read first so that no folder stays open while its subfolders are removed.
    steps.list = [&fs](const std::string& path, std::vector<FolderEntry>& entries) {
        return fs.ReadFolder(path, entries, ListDetail::NamesAndTypes);
    };
    // A linked folder belongs elsewhere; it is neither entered nor removed.
    steps.enters = [this](const std::string& sub, const FolderEntry& entry) {
        return !entry.isSymlink && !host_.ExcludesFolder(sub);
    };
    steps.left = [this](const std::string&, const FolderEntry&) { host_.ShowStatus(); };
    steps.file = [this, &owned](const std::string& path, const FolderEntry& entry) {
        try {
            if (filter_.IsExcluded(entry.name, path)) return;
            if (owned && !owned(path + entry.name)) return;
            host_.ShowStatus(StatusPhase::DeletingFile, "Deleteing File : " + path + entry.name);
            const bool deleted = Delete(path + entry.name);
            reporter_.Log(path + entry.name, "Delete File", deleted ? "Done" : lastError_.message(),
                          !deleted);
        } catch (...) {
            // One file that cannot be handled does not stop the rest of the folder.
        }
    };
    // Fails, as intended, while excluded files or folders are still inside.
    steps.end = [&fs](const std::string& path, std::vector<FolderEntry>&) { fs.RemoveFolder(path); };
    WalkReportingFailures(folder, std::move(steps), "Delete File", reporter_, stop_);
}

} // namespace drivlet

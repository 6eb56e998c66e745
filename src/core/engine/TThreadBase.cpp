#include "core/engine/TThreadBase.h"

#include "core/app/Constants.h"
#include "core/drives/DrivePaths.h"
#include "core/engine/PathMapping.h"
#include "core/engine/SizeText.h"
#include "core/records/TProgramData.h"

#include <cerrno>
#include <cmath>
#include <exception>
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

TThreadBase::TThreadBase(const ThreadServices& services)
    : FileFilter(&services.fileSystem), services_(services) {}

TThreadBase::~TThreadBase() {
    Terminate();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void TThreadBase::Terminate() {
    stop_.request_stop();
    std::vector<std::function<void()>> listeners;
    std::function<void()> release;
    {
        std::lock_guard lock(listenersMutex_);
        listeners = terminateListeners_;
        release = releaseQuestion_;
    }
    if (release) release();
    for (const auto& listener : listeners)
        listener();
}

void TThreadBase::AddTerminateListener(std::function<void()> listener) {
    std::lock_guard lock(listenersMutex_);
    terminateListeners_.push_back(std::move(listener));
}

void TThreadBase::SetDeletedStore(DeletedStoreSettings settings, DeletedFilesLogFactory openLog) {
    store_ = std::move(settings);
    openLog_ = std::move(openLog);
}

void TThreadBase::Start() {
    if (thread_.joinable() || finished_.load()) return;
    // The body polls this object's stop source, which a terminate request before the start sets too.
    thread_ = std::jthread([this] { ThreadMain(); });
}

void TThreadBase::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TThreadBase::ThreadMain() {
    // The descendants guard their own bodies; this keeps anything else from ending the process.
    RunGuarded(kThreadErrorPrefix, [this] {
        BaseBody();
        Execute();
    });
    try {
        ReleaseDrive();
    } catch (...) {
        // Closing cannot fail in a way that matters to the run any more.
    }
    try {
        if (events_) events_->OnTerminated(*this, {});
    } catch (...) {
        // A failing handler of the last event has nobody left to report to.
    }
    jobLock_.reset();
    finished_.store(true);
}

void TThreadBase::ReleaseDrive() {
    anchored_.reset();
}

void TThreadBase::BaseBody() {
    startTime_.store(services_.clock.Now());
    activeStore_ = store_;
    if (activeStore_.MoveToDeleted && openLog_) deletedLog_ = openLog_();
    if (jobDrive_.empty() && IsInConfigFolder(DatabaseFile)) {
        // Guarded from here on when it is there; a database not yet made has no drive to lose.
        const std::string drive = DrivePathOfJobFile(DatabaseFile);
        driveVolume_ = services_.fileSystem.VolumeId(drive);
        if (driveVolume_) jobDrive_ = drive;
    }
    if (!jobDrive_.empty()) {
        if (!driveVolume_) driveVolume_ = services_.fileSystem.VolumeId(jobDrive_);
        // Everything below the drive goes through its handle from here on: a drive unmounted
        // meanwhile, even lazily, never gets a file made in its empty mount-point folder.
        if (!DriveGone()) anchored_ = services_.fileSystem.AnchoredAt(jobDrive_);
    }
    if (Terminated()) {
        SetStatus(StatusPhase::Canceled, "Canceled :(");
        ReportStatus();
    }
}

void TThreadBase::RunGuarded(std::string_view prefix, const std::function<void()>& body) {
    std::string message;
    try {
        body();
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    try {
        ReportThreadError(ThreadErrorKind::Failed, std::string(prefix) + message);
    } catch (...) {
        // The report itself failed; the body has ended either way.
    }
}

bool TThreadBase::DriveGone() {
    if (driveLost_) return true;
    if (jobDrive_.empty() || (driveVolume_ && services_.fileSystem.VolumeId(jobDrive_) == driveVolume_))
        return false;
    driveLost_ = true;
    lastError_ = FileStatus::FromErrno(ENODEV);
    Terminate();
    ReportThreadError(ThreadErrorKind::DriveGone,
                      "The drive " + jobDrive_ +
                          " is not there any more: the job is stopped, nothing more is written or recorded");
    return true;
}

std::string TThreadBase::DeletedPathFor(std::string_view path) const {
    return drivlet::DeletedPathFor(activeStore_.DeletedFolder, StartTime(), path);
}

// --- reports ---------------------------------------------------------------------------------

void TThreadBase::ReportStatus() {
    StatusEvent ev;
    ev.text = StatusText;
    ev.phase = StatusPhase_;
    ev.percent = FilesTotal == 0 ? -1 : static_cast<int32_t>(std::trunc(FilesDone * 100.0 / FilesTotal));
    ev.remaining = -1.0;
    const TDateTime now = services_.clock.Now();
    // Whole milliseconds (the clock's resolution), so that day-count rounding cannot tip a speed
    // across a unit boundary.
    const double seconds = std::round((now - SpeedStartTime) * 86400000.0) / 1000.0;
    if (seconds == 0) {
        ev.speed = "N/A";
    } else {
        ev.speed = FormatSpeed(BytesDone / seconds);
        const double bytesPerDay = BytesDone / (seconds / 86400.0);
        if (bytesPerDay != 0) ev.remaining = (BytesTotal - BytesDone) / bytesPerDay;
    }
    if (events_) events_->OnStatus(*this, ev);
}

void TThreadBase::ReportFileProgress() {
    const FileProgressEvent ev{FileActionText, FilePercent};
    if (events_) events_->OnFileProgress(*this, ev);
}

void TThreadBase::ReportLogEntry() {
    const LogEntryEvent ev{LogFileName, LogAction, LogStatus, LogIsError};
    if (events_) events_->OnLogEntry(*this, ev);
}

void TThreadBase::ReportThreadError(ThreadErrorKind kind, std::string text, int32_t code) {
    const ThreadErrorEvent ev{std::move(text), code, kind};
    if (events_) events_->OnThreadError(*this, ev);
}

void TThreadBase::ReportFileResult(bool succeeded) {
    LogIsError = !succeeded;
    LogStatus = succeeded ? "Done" : lastError_.message();
    ReportLogEntry();
}

// --- protected file operations ---------------------------------------------------------------

bool TThreadBase::CopyProgress(int64_t done, int64_t total) {
    FilePercent = total > 0 ? done * 100.0 / total : 0.0;
    ReportFileProgress();
    return !Terminated();
}

TThreadBase::SpaceCheck TThreadBase::CheckDiskSpace(const std::string& path, int64_t needed) {
    // Only local absolute paths name a volume to ask about.
    if (path.empty() || path.front() != '/') return SpaceCheck::Passed;
    const std::string folder(FolderPart(path));
    bool prompted = false;
    for (;;) {
        const int64_t free = Files().GetDiskSpace(folder).freeBytes;
        // An unknown free space is not a reason to stop; the copy reports a real shortage itself.
        if (free < 0 || free >= needed) return prompted ? SpaceCheck::Prompted : SpaceCheck::Passed;
        // A POSIX path has no drive letter: the folder says which drive is meant.
        LowDiskMessage = "You are running low on disk space on the drive of the folder \"" + folder +
                         "\".Free up Space on drive or enter a new drive and try again.\n\n" +
                         "File Name: " + path + "\n" + "File Size: " + FormatSize(needed) + "\n" +
                         "Available On Disk: " + FormatSize(free);
        const LowDiskQuestion question{std::string(kProductTitle), "Low Disk Space", LowDiskMessage};
        LowDiskAnswer = drivlet::LowDiskAnswer::Skip;
        if (events_) {
            LowDiskAnswer = AskAndWait<drivlet::LowDiskAnswer>(
                [&](Answer<drivlet::LowDiskAnswer> answer) {
                    events_->AskLowDiskSpace(*this, question, std::move(answer));
                },
                drivlet::LowDiskAnswer::Abort);
        }
        prompted = true;
        // The skipped file's log line gives the shortage as its reason.
        if (LowDiskAnswer == drivlet::LowDiskAnswer::Skip) {
            lastError_ = FileStatus::FromErrno(ENOSPC);
            return SpaceCheck::Skipped;
        }
        if (LowDiskAnswer == drivlet::LowDiskAnswer::Abort) {
            lastError_ = FileStatus::Canceled();
            Terminate();
            return SpaceCheck::Skipped;
        }
    }
}

TThreadBase::Diversion TThreadBase::DivertToStore(const std::string& file, int64_t size,
                                                  std::string_view actionName, std::string* storedAs) {
    const IFileSystem& fs = Files();
    const std::string storeName = DeletedPathFor(file);
    fs.CreateFolders(std::string(FolderPart(storeName)));
    FileActionText = "Moving Out Old File: " + std::string(actionName);
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
    if (storedAs) *storedAs = stored;
    if (deletedLog_) {
        const std::string_view base = FolderPart(activeStore_.DeletedFolder);
        const std::string relative =
            stored.compare(0, base.size(), base) == 0 ? stored.substr(base.size()) : stored;
        deletedLog_->Add(relative, fs.FileSize(stored));
    }
    return Diversion::Moved;
}

bool TThreadBase::CopyFileProtected(const std::string& source, const std::string& target, bool failIfExists,
                                    bool deleteSource, int64_t sourceSize) {
    const IFileSystem& fs = Files();
    const std::string_view name = FileNamePart(source);
    const auto progress = [this](int64_t done, int64_t total) { return CopyProgress(done, total); };
    // Folders are made on the drive only while it is there: never at its bare mount point.
    if (DriveGone()) return false;

    if (failIfExists) {
        FileActionText = "Copying File: " + std::string(name);
        lastError_ = CopyIntoFolder(source, target, CopyMode::FailIfExists, progress);
        return lastError_.ok() && !DriveGone();
    }

    if (activeStore_.MoveToDeleted && DivertsNewerTargets() && fs.FileTime(source) < fs.FileTime(target)) {
        switch (DivertToStore(target, GetFileSize(target), name)) {
        case Diversion::Skipped:
            return false;
        case Diversion::Moved:
        case Diversion::Failed: // the copy goes ahead and overwrites the target
            break;
        }
    }

    FileActionText = "Copying File: " + std::string(name);
    const SpaceCheck space = CheckDiskSpace(target, sourceSize >= 0 ? sourceSize : GetFileSize(source));
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
        DeleteFileProtected(source);
        lastError_ = copyStatus;
    }
    return true;
}

FileStatus TThreadBase::CopyIntoFolder(const std::string& source, const std::string& target, CopyMode mode,
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

bool TThreadBase::DeleteFileProtected(const std::string& path) {
    const IFileSystem& fs = Files();
    if (DriveGone()) return false;
    if (activeStore_.MoveToDeleted)
        return DivertToStore(path, GetFileSize(path), FileNamePart(path)) == Diversion::Moved;
    FileActionText = "Deleting File: " + std::string(FileNamePart(path));
    FilePercent = 0;
    ReportFileProgress();
    fs.SetAttributes(path, 0);
    lastError_ = fs.DeleteFile(path);
    return lastError_.ok();
}

int64_t TThreadBase::GetFileSize(const std::string& path) {
    return Files().FileSize(path);
}

bool TThreadBase::WalkFolder(const std::string& root, FolderWalk::Steps steps, std::string_view action) {
    if (!steps.unlisted)
        steps.unlisted = [this](const std::string& folder, const FileStatus& status) {
            ReportUnlistedFolder(folder, status);
        };
    if (!steps.special)
        steps.special = [this, action](const std::string& folder, const FolderEntry& entry) {
            ReportSpecialFile(folder + entry.name, entry.special, action);
        };
    return FolderWalk([this] { return Terminated(); }).Run(root, steps);
}

void TThreadBase::ReportUnlistedFolder(const std::string& folder, const FileStatus& status) {
    LogFileName = folder;
    LogAction = "Read Folder";
    LogIsError = true;
    LogStatus = "Folder not read, what it holds is left out: " + status.message();
    ReportLogEntry();
}

void TThreadBase::ReportSpecialFile(const std::string& path, SpecialKind kind, std::string_view action) {
    LogFileName = path;
    LogAction = std::string(action);
    LogIsError = true;
    LogStatus = "Left alone: " + std::string(SpecialKindText(kind)) + " is not a regular file";
    ReportLogEntry();
}

void TThreadBase::DeleteFolder(const std::string& folder) {
    DeleteFolderFiles(folder, {});
}

void TThreadBase::DeleteFolderFiles(const std::string& folder,
                                    const std::function<bool(const std::string& file)>& owned) {
    const IFileSystem& fs = Files();
    FolderWalk::Steps steps;
    // The listing is read first so that no folder stays open while its subfolders are removed.
    steps.list = [&fs](const std::string& path, std::vector<FolderEntry>& entries) {
        return fs.ReadFolder(path, entries, ListDetail::NamesAndTypes);
    };
    // A linked folder belongs elsewhere; it is neither entered nor removed.
    steps.enters = [this](const std::string& sub, const FolderEntry& entry) {
        return !entry.isSymlink && !IsFolderExcluded(sub);
    };
    steps.left = [this](const std::string&, const FolderEntry&) { ReportStatus(); };
    steps.file = [this, &owned](const std::string& path, const FolderEntry& entry) {
        try {
            if (FileFilter.IsExcluded(entry.name, path)) return;
            if (owned && !owned(path + entry.name)) return;
            SetStatus(StatusPhase::DeletingFile, "Deleteing File : " + path + entry.name);
            ReportStatus();
            LogFileName = path + entry.name;
            LogAction = "Delete File";
            ReportFileResult(DeleteFileProtected(path + entry.name));
        } catch (...) {
            // One file that cannot be handled does not stop the rest of the folder.
        }
    };
    // Fails, as intended, while excluded files or folders are still inside.
    steps.end = [&fs](const std::string& path, std::vector<FolderEntry>&) { fs.RemoveFolder(path); };
    WalkFolder(folder, std::move(steps), "Delete File");
}

} // namespace drivlet

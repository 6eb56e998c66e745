#include "core/launch/BackupLaunch.h"

#include "core/app/Constants.h"
#include "core/app/ProgramDataRoot.h"
#include "core/drives/DrivePaths.h"
#include "core/engine/backup/TCopyFolderThread.h"
#include "core/engine/backup/TZipFolderThread.h"
#include "core/launch/JobClaim.h"
#include "core/launch/ReadJobRecord.h"
#include "core/text/PathText.h"
#include "core/time/DateFormat.h"

#include <filesystem>
#include <system_error>

namespace drivlet {
namespace {

std::vector<std::string> Rebased(const TStringList& list, const std::string& drive) {
    std::vector<std::string> out;
    out.reserve(list.Count());
    for (const std::string& item : list)
        out.push_back(RebaseOntoDrive(item, drive));
    return out;
}

void Assign(TStringList& list, const std::vector<std::string>& items) {
    list.Clear();
    for (const std::string& item : items)
        list.Add(item);
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool IsTimeStamped(TArchiveMode mode) {
    return mode == TArchiveMode::amTimeStamped || mode == TArchiveMode::amTimeStampedIncremental;
}

} // namespace

std::string ResolveBackupPaths(TArchiveData& job, const std::string& drivePath) {
    if (job.ArchiveDir == TArchiveDir::amPcToUsb)
        return RebaseOntoDrive(job.Destination.empty() ? "/" : job.Destination, drivePath);
    Assign(job.ExcludeList, Rebased(job.ExcludeList, drivePath));
    Assign(job.FolderList, Rebased(job.FolderList, drivePath));
    Assign(job.FileList, Rebased(job.FileList, drivePath));
    return job.Destination;
}

std::vector<std::string> MissingJobPaths(const TArchiveData& job, const std::string& destination) {
    std::vector<std::string> missing;
    if (!IsFolder(destination)) missing.push_back(destination);
    for (const std::string& folder : job.FolderList)
        if (!IsFolder(folder)) missing.push_back(folder);
    for (const std::string& folder : job.ExcludeList)
        if (!IsFolder(folder)) missing.push_back(folder);
    for (const std::string& file : job.FileList)
        if (!IsFile(file)) missing.push_back(file);
    return missing;
}

bool JobPathMissing(const TArchiveData& job, const std::string& destination) {
    return !MissingJobPaths(job, destination).empty();
}

std::string ArchiveFolderFor(TArchiveMode mode, std::string destination, TDateTime startTime,
                             StampPlace place) {
    if (!IsTimeStamped(mode)) return WithSlash(std::move(destination));
    const std::string stamp = FormatDateTime(startTime, "yyyy-mm-dd hh-nn");
    if (place == StampPlace::Inside) return WithSlash(std::move(destination)) + stamp + "/";
    while (destination.size() > 1 && destination.back() == '/')
        destination.pop_back();
    return destination + " " + stamp + "/";
}

StampPlace StampPlaceFor(const IFileSystem& files, const std::string& destination,
                         const std::string& jobDrive, const std::string& homeFolder) {
    std::string folder = destination;
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    if (folder.empty()) return StampPlace::Inside; // "/"
    const std::size_t slash = folder.rfind('/');
    const std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    const std::string real = files.RealPath(folder);
    if (!real.empty()) {
        if (real == "/") return StampPlace::Inside;
        const std::string realParent = files.RealPath(real + "/..");
        if (files.VolumeId(real) != files.VolumeId(realParent)) return StampPlace::Inside;
        if (!jobDrive.empty() && real == files.RealPath(jobDrive)) return StampPlace::Inside;
        if (!homeFolder.empty() && real == files.RealPath(homeFolder)) return StampPlace::Inside;
    }
    if (parent.empty() || !files.CanWriteIn(parent)) return StampPlace::Inside;
    return StampPlace::Beside;
}

BackupWorker MakeBackupWorker(TArchiveData& job, const std::string& jobFile, const std::string& destination,
                              const ThreadServices& threads, const DeletedStoreSettings& store,
                              const DeletedFilesLogFactory& openDeletedLog) {
    BackupWorker out;
    switch (job.ArchiveType) {
    case TArchiveType::atFile: {
        auto worker = std::make_unique<TCopyFolderThread>(threads);
        worker->SetDeleteSources(job.DeleteFile);
        out.worker = std::move(worker);
        break;
    }
    case TArchiveType::atImage: {
        auto worker = std::make_unique<TZipFolderThread>(threads);
        worker->SetZipPassword(job.Password);
        worker->SetDeleteSources(job.DeleteFile);
        out.worker = std::move(worker);
        break;
    }
    }
    if (!out.worker) return out;
    TArchiveThreadBase& worker = *out.worker;
    worker.SetExcludeList(job.ExcludeList.Items());
    worker.SetFolderList(job.FolderList.Items());
    worker.SetFileList(job.FileList.Items());
    worker.SetFileFilter(job.FileFilter);
    job.LastUpdate = threads.clock.Now();
    worker.SetDatabaseFile(BackupDatabase::PathForJob(jobFile).string());
    worker.SetArchiveMode(job.ArchiveMode);
    const std::string drive = DrivePathOfJobFile(jobFile);
    const StampPlace place = IsTimeStamped(job.ArchiveMode)
                                 ? StampPlaceFor(threads.fileSystem, destination, drive,
                                                 ProcessEnvironment()("HOME").value_or(std::string()))
                                 : StampPlace::Beside;
    out.archiveFolder = ArchiveFolderFor(job.ArchiveMode, destination, job.LastUpdate, place);
    worker.SetArchiveFolder(out.archiveFolder);
    worker.SetDeletedStore(store, openDeletedLog);
    worker.SetJobDrive(drive, threads.fileSystem.VolumeId(drive));
    return out;
}

} // namespace drivlet

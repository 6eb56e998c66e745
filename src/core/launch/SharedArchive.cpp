#include "core/launch/SharedArchive.h"

#include "core/drives/DrivePaths.h"
#include "core/drives/JobFileKind.h"
#include "core/engine/PathMapping.h"
#include "core/launch/BackupLaunch.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/ReadJobRecord.h"

namespace drivlet {
namespace {

bool KeepsOneArchiveFolder(const TArchiveData& job) {
    return job.ArchiveType == TArchiveType::atImage && job.ArchiveMode != TArchiveMode::amTimeStamped &&
           job.ArchiveMode != TArchiveMode::amTimeStampedIncremental;
}

std::string RealFolder(const IFileSystem& files, const std::string& folder) {
    std::string real = files.RealPath(folder);
    if (real.empty()) real = folder;
    if (real.back() != '/') real += '/';
    return real;
}

} // namespace

std::optional<JobRefusal> SharedArchiveRefusal(const TArchiveData& job, const std::string& jobFile,
                                               const std::string& destination, const IFileSystem& files) {
    if (!KeepsOneArchiveFolder(job) || destination.empty()) return std::nullopt;
    const std::string ours = RealFolder(files, destination);
    const std::string configFolder(FolderPart(jobFile));
    const std::string drive = DrivePathOfJobFile(jobFile);
    std::vector<FolderEntry> entries;
    files.ReadFolder(configFolder, entries, ListDetail::NamesAndTypes);
    for (const FolderEntry& entry : entries) {
        const std::string other = configFolder + entry.name;
        const JobFileKind kind = JobFileKindOf(other);
        if (entry.isDirectory || other == jobFile ||
            (kind != JobFileKind::Backup && kind != JobFileKind::Move))
            continue;
        TArchiveData record;
        if (ReadJobRecord(record, other) || !KeepsOneArchiveFolder(record)) continue;
        const std::string theirs = ResolveBackupPaths(record, drive);
        if (theirs.empty() || RealFolder(files, theirs) != ours) continue;
        return JobRefusal{
            RefusalReason::SharedArchive, std::string(kLoadJobTitle),
            "The zip job \"" + record.BackupName + "\" (" + entry.name +
                ") keeps its archive in the same folder, " + ours +
                ". Two zip jobs cannot share a destination folder: give this job a folder of its own."};
    }
    return std::nullopt;
}

} // namespace drivlet

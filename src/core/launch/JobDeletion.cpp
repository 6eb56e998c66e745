#include "core/launch/JobDeletion.h"

#include "core/app/Constants.h"
#include "core/app/SilentDialogs.h"
#include "core/db/SyncDatabase.h"
#include "core/drives/TAutoRunFileData.h"
#include "core/launch/JobClaim.h"
#include "core/records/TSyncData.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>

namespace drivlet {
namespace {

namespace fs = std::filesystem;

// An item ID names a file beside the job; one that is not a plain name names nothing of it.
bool PlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// The databases a job file of this kind keeps beside it.
std::vector<std::string> DatabasesOf(const std::string& jobFile, JobFileKind kind) {
    std::vector<std::string> databases;
    switch (kind) {
    case JobFileKind::Backup:
    case JobFileKind::Move:
        databases.push_back(fs::path(jobFile).replace_extension(".Udb").string());
        break;
    case JobFileKind::Sync:
        databases.push_back(SyncDatabase::PathForJob(jobFile).string());
        break;
    case JobFileKind::ComputerSync: {
        TPCSyncData job;
        SilentDialogs silent;
        try {
            if (job.LoadCompressed(jobFile, silent) != LoadResult::Loaded) break;
        } catch (const std::exception&) {
            break;
        }
        for (size_t i = 0; i < job.SyncDataItems.Count(); ++i)
            if (PlainName(job.SyncDataItems[i].ID))
                databases.push_back(SyncDatabase::PathForItem(jobFile, job.SyncDataItems[i].ID).string());
        break;
    }
    case JobFileKind::None:
        break;
    }
    return databases;
}

} // namespace

std::string DeleteJobQuestion(std::string_view jobName) {
    return "Are you sure you want to permanently delete this job ?\r\nJob Name : " + std::string(jobName);
}

std::vector<std::string> JobCompanionFiles(const IFileSystem& files, const std::string& jobFile) {
    const fs::path job(jobFile);
    std::vector<std::string> candidates = {SyncDatabase::PathForJob(job).string(),
                                           fs::path(job).replace_extension(".Udb").string()};
    if (JobFileKindOf(jobFile) == JobFileKind::ComputerSync) {
        const auto items = DatabasesOf(jobFile, JobFileKind::ComputerSync);
        candidates.insert(candidates.end(), items.begin(), items.end());
    }
    // A database that another job of the folder works with stays: two jobs may share a name
    // ("Docs.Ubk" and "Docs.Usy"), and a copied computer-to-computer job keeps its items' IDs.
    std::set<std::string> inUse;
    const std::string folder = job.parent_path().string() + "/";
    (void)files.ListFolder(
        folder,
        [&](const FolderEntry& entry) {
            const JobFileKind kind = JobFileKindOf(entry.name);
            if (!entry.isDirectory && kind != JobFileKind::None && entry.name != job.filename().string())
                for (std::string& database : DatabasesOf(folder + entry.name, kind))
                    inUse.insert(std::move(database));
            return true;
        },
        ListDetail::NamesAndTypes);
    std::vector<std::string> companions;
    for (std::string& candidate : candidates) {
        if (candidate == jobFile || inUse.count(candidate) ||
            std::find(companions.begin(), companions.end(), candidate) != companions.end())
            continue;
        if (files.GetAttributes(candidate)) companions.push_back(std::move(candidate));
    }
    return companions;
}

JobDeletionResult DeleteJobFiles(const IFileSystem& files, const std::string& jobFile) {
    FileStatus status;
    // Held while deleting, so that no run starts on a job half gone.
    const std::unique_ptr<IFileLock> lock = files.TryLock(JobLockFile(jobFile), status);
    if (!lock && status.code() == EWOULDBLOCK) return JobDeletionResult::Running;
    // Read before the job file goes: the items of a computer-to-computer job are in it.
    const std::vector<std::string> companions = JobCompanionFiles(files, jobFile);
    // Failures are ignored: the row goes in any case, and what would not go can be deleted by hand.
    (void)files.DeleteFile(jobFile);
    for (const std::string& companion : companions)
        (void)files.DeleteFile(companion);
    return JobDeletionResult::Deleted;
}

std::string JobRunningNotice(const std::string& jobFile) {
    return "The job is running: " + jobFile + "\nIt can be deleted when that run has ended.";
}

JobDeletionResult DeleteJob(const IFileSystem& files, const std::string& jobFile, std::string_view jobName,
                            IMessageDialogs& dialogs) {
    if (dialogs.AskYesNo(DeleteJobQuestion(jobName), std::string(kDeleteJobTitle), false,
                         MessageKind::Confirmation, std::string(kProductTitle)) != dlg::Yes)
        return JobDeletionResult::Declined;
    const JobDeletionResult result = DeleteJobFiles(files, jobFile);
    if (result == JobDeletionResult::Running)
        dialogs.ShowNotice(JobRunningNotice(jobFile), std::string(kDeleteJobTitle), MessageKind::Warning,
                           std::string(kProductTitle));
    return result;
}

} // namespace drivlet

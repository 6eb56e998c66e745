#include "core/launch/SyncLaunch.h"

#include "core/app/Constants.h"
#include "core/db/SyncDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/launch/JobClaim.h"
#include "core/launch/ReadJobRecord.h"
#include "core/text/CaseFold.h"

#include <filesystem>

namespace drivlet {
namespace {

std::unique_ptr<TSyncFolderThread> MakeWorker(const TSyncJobFields& job, const std::string& jobFile,
                                              std::string databaseFile, const LaunchServices& services,
                                              IThreadEvents* events, const SyncLaunchOptions& options,
                                              std::unique_ptr<IFileLock> lock) {
    auto worker = MakeSyncWorker(job, jobFile, std::move(databaseFile), services.threads, services.store,
                                 services.openDeletedLog);
    worker->SetConflictPrompt(options.prompt);
    worker->SetDryRun(options.dryRun);
    worker->SetEvents(events);
    worker->HoldJobLock(std::move(lock));
    worker->Start();
    return worker;
}

bool Refused(TSaveLoadComponent& record, const std::string& jobFile, const LaunchServices& services) {
    const std::optional<JobRefusal> refusal = ReadJobRecord(record, jobFile);
    if (!refusal) return false;
    // A job that cannot be read is never run with blank settings and saved over.
    services.dialogs.ShowNotice(refusal->text, refusal->title, MessageKind::Error,
                                std::string(kProductTitle));
    return true;
}

void SaveBack(TSaveLoadComponent& record, const std::string& jobFile, SyncLaunch& launch) {
    try {
        record.SaveCompressed(jobFile);
    } catch (const std::exception& e) {
        launch.saveError = e.what();
    }
}

SyncLaunch LaunchFolderSync(const std::string& jobFile, const LaunchServices& services, IThreadEvents* events,
                            const SyncLaunchOptions& options) {
    SyncLaunch launch;
    std::unique_ptr<IFileLock> lock = ClaimJob(jobFile, services);
    if (!lock) return launch;
    TSyncData job;
    if (Refused(job, jobFile, services)) return launch;
    if (job.PCID != services.computerId &&
        services.dialogs.AskYesNo(std::string(kOtherComputerQuestion), std::string(kLoadJobTitle), false,
                                  MessageKind::Warning, std::string(kProductTitle)) != dlg::Yes)
        return launch;
    launch.name = job.SyncName;
    launch.worker = MakeWorker(job, jobFile, SyncDatabase::PathForJob(jobFile).string(), services, events,
                               options, std::move(lock));
    if (options.dryRun) return launch;
    job.LastUpdate = services.threads.clock.Now();
    SaveBack(job, jobFile, launch);
    return launch;
}

SyncLaunch LaunchComputerSync(const std::string& jobFile, const LaunchServices& services,
                              IThreadEvents* events, const SyncLaunchOptions& options) {
    SyncLaunch launch;
    launch.kind = JobKind::PCSync;
    std::unique_ptr<IFileLock> lock = ClaimJob(jobFile, services);
    if (!lock) return launch;
    TPCSyncData job;
    if (Refused(job, jobFile, services)) return launch;
    const std::optional<size_t> index = ComputerSyncItem(job, services.computerId, options.itemIndex);
    if (!index) {
        launch.noItem = true;
        return launch;
    }
    TSyncDataItem& item = job.SyncDataItems[*index];
    launch.name = item.SyncName;
    launch.worker = MakeWorker(item, jobFile, SyncDatabase::PathForItem(jobFile, item.ID).string(), services,
                               events, options, std::move(lock));
    if (options.dryRun) return launch;
    item.LastUpdate = services.threads.clock.Now();
    SaveBack(job, jobFile, launch);
    return launch;
}

} // namespace

std::unique_ptr<TSyncFolderThread> MakeSyncWorker(const TSyncJobFields& job, const std::string& jobFile,
                                                  std::string databaseFile, const ThreadServices& threads,
                                                  const DeletedStoreSettings& store,
                                                  const DeletedFilesLogFactory& openDeletedLog) {
    auto worker = std::make_unique<TSyncFolderThread>(threads);
    worker->Configure(job);
    worker->SetDatabaseFile(std::move(databaseFile));
    const std::string drive = DrivePathOfJobFile(jobFile);
    worker->SetDrivePath(drive);
    worker->SetJobDrive(drive, threads.fileSystem.VolumeId(drive));
    worker->SetDeletedStore(store, openDeletedLog);
    return worker;
}

std::optional<size_t> ComputerSyncItem(const TPCSyncData& job, const std::string& computerId, int itemIndex) {
    if (itemIndex >= 0) {
        if (static_cast<size_t>(itemIndex) < job.SyncDataItems.Count()) return static_cast<size_t>(itemIndex);
        return std::nullopt;
    }
    for (size_t i = 0; i < job.SyncDataItems.Count(); ++i)
        if (job.SyncDataItems[i].PCID == computerId) return i;
    return std::nullopt;
}

SyncLaunch LaunchSync(const std::string& jobFile, const LaunchServices& services, IThreadEvents* events,
                      const SyncLaunchOptions& options) {
    const std::string extension = LowerCase(std::filesystem::path(jobFile).extension().string());
    if (extension == ".upcsy") return LaunchComputerSync(jobFile, services, events, options);
    return LaunchFolderSync(jobFile, services, events, options);
}

} // namespace drivlet

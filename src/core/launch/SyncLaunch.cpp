#include "core/launch/SyncLaunch.h"

#include "core/app/Constants.h"
#include "core/db/SyncDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/launch/JobClaim.h"
#include "core/records/TSyncData.h"
#include "core/text/CaseFold.h"

#include <filesystem>

namespace drivlet {
namespace {

std::unique_ptr<TSyncFolderThread> MakeWorker(const TSyncJobFields& job, const std::string& jobFile,
                                              std::string databaseFile, const LaunchServices& services,
                                              IThreadEvents* events, const SyncLaunchOptions& options,
                                              std::unique_ptr<IFileLock> lock) {
    auto worker = std::make_unique<TSyncFolderThread>(services.threads);
    worker->Configure(job);
    worker->SetDatabaseFile(std::move(databaseFile));
    const std::string drive = DrivePathOfJobFile(jobFile);
    worker->SetDrivePath(drive);
    worker->SetJobDrive(drive, services.threads.fileSystem.VolumeId(drive));
    worker->SetDeletedStore(services.store, services.openDeletedLog);
    worker->SetConflictPrompt(options.prompt);
    worker->SetDryRun(options.dryRun);
    worker->SetEvents(events);
    worker->HoldJobLock(std::move(lock));
    worker->Start();
    return worker;
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
    job.LoadCompressed(jobFile, services.dialogs);
    if (job.PCID != services.computerId &&
        services.dialogs.AskYesNo(std::string(kOtherComputerQuestion), std::string(kLoadJobTitle), false,
                                  MessageKind::Warning, std::string(kProductTitle)) != dlg::Yes)
        return launch;
    launch.name = job.SyncName;
    launch.worker =
        MakeWorker(job, jobFile, SyncDatabase::PathForJob(jobFile).string(), services, events, options,
                   std::move(lock));
    if (options.dryRun) return launch;
    job.LastUpdate = services.threads.clock.Now();
    SaveBack(job, jobFile, launch);
    return launch;
}

SyncLaunch LaunchComputerSync(const std::string& jobFile, const LaunchServices& services, IThreadEvents* events,
                              const SyncLaunchOptions& options) {
    SyncLaunch launch;
    launch.kind = JobKind::PCSync;
    std::unique_ptr<IFileLock> lock = ClaimJob(jobFile, services);
    if (!lock) return launch;
    TPCSyncData job;
    job.LoadCompressed(jobFile, services.dialogs);
    std::optional<size_t> index;
    if (options.itemIndex >= 0) {
        if (static_cast<size_t>(options.itemIndex) < job.SyncDataItems.Count())
            index = static_cast<size_t>(options.itemIndex);
    } else {
        for (size_t i = 0; i < job.SyncDataItems.Count() && !index; ++i)
            if (job.SyncDataItems[i].PCID == services.computerId) index = i;
    }
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

SyncLaunch LaunchSync(const std::string& jobFile, const LaunchServices& services, IThreadEvents* events,
                      const SyncLaunchOptions& options) {
    const std::string extension = LowerCase(std::filesystem::path(jobFile).extension().string());
    if (extension == ".upcsy") return LaunchComputerSync(jobFile, services, events, options);
    return LaunchFolderSync(jobFile, services, events, options);
}

} // namespace drivlet

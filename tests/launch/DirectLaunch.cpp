#include "DirectLaunch.h"

#include "core/app/Constants.h"
#include "core/db/SyncDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/launch/JobClaim.h"
#include "core/launch/JobQuestion.h"
#include "core/launch/ReadJobRecord.h"
#include "core/text/CaseFold.h"

#include <filesystem>

namespace drivlet {

std::unique_ptr<IFileLock> ClaimJob(const std::string& jobFile, const LaunchServices& services) {
    JobClaim claim = TryClaimJob(jobFile, services.threads.fileSystem);
    if (claim.refusal)
        services.dialogs.ShowNotice(claim.refusal->text, claim.refusal->title, MessageKind::Error,
                                    std::string(kProductTitle));
    return std::move(claim.lock);
}

std::optional<BackupLaunch> LaunchBackup(const std::string& jobFile, const LaunchServices& services,
                                         IThreadEvents* events) {
    const std::string caption(kProductTitle);
    std::unique_ptr<IFileLock> lock = ClaimJob(jobFile, services);
    if (!lock) return std::nullopt;
    TArchiveData job(services.threads.clock);
    if (const std::optional<JobRefusal> refusal = ReadJobRecord(job, jobFile)) {
        // A job that cannot be read is never run with blank settings and saved over.
        services.dialogs.ShowNotice(refusal->text, refusal->title, MessageKind::Error, caption);
        return std::nullopt;
    }
    if (job.PCID != services.computerId &&
        services.dialogs.AskYesNo(std::string(kOtherComputerQuestion), std::string(kLoadJobTitle), false,
                                  MessageKind::Warning, caption) != dlg::Yes)
        return std::nullopt;

    const std::string destination = ResolveBackupPaths(job, DrivePathOfJobFile(jobFile));
    if (job.Destination.empty() && job.ArchiveDir == TArchiveDir::amUsbToPc) {
        // Without a destination the run would write below the working folder.
        services.dialogs.ShowNotice(std::string(kNoDestinationText), std::string(kFolderMissingTitle),
                                    MessageKind::Error, caption);
        return std::nullopt;
    }
    if (JobPathMissing(job, destination) &&
        services.dialogs.AskYesNo(std::string(kFolderMissingQuestion), std::string(kFolderMissingTitle),
                                  false, MessageKind::Warning, caption) == dlg::No)
        return std::nullopt;

    BackupWorker made = MakeBackupWorker(job, jobFile, destination, services.threads, services.store,
                                         services.openDeletedLog);
    if (!made.worker) {
        services.dialogs.ShowNotice(std::string(kUnknownArchiveTypeText), std::string(kLoadJobTitle),
                                    MessageKind::Error, caption);
        return std::nullopt;
    }
    made.worker->SetEvents(events);
    made.worker->HoldJobLock(std::move(lock));
    made.worker->Start();

    BackupLaunch launch;
    launch.archiveFolder = made.archiveFolder;
    launch.name = job.BackupName;
    launch.kind = job.ArchiveMode == TArchiveMode::amMove ? JobKind::Move : JobKind::Backup;
    launch.worker = std::move(made.worker);
    try {
        job.SaveCompressed(jobFile);
    } catch (const std::exception& e) {
        launch.saveError = e.what();
    }
    return launch;
}

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

SyncLaunch LaunchSync(const std::string& jobFile, const LaunchServices& services, IThreadEvents* events,
                      const SyncLaunchOptions& options) {
    const std::string extension = LowerCase(std::filesystem::path(jobFile).extension().string());
    if (extension == ".upcsy") return LaunchComputerSync(jobFile, services, events, options);
    return LaunchFolderSync(jobFile, services, events, options);
}

} // namespace drivlet

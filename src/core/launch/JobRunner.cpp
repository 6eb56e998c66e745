#include "core/launch/JobRunner.h"

#include "core/db/SyncDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/engine/sync/QueuedConflictPrompt.h"
#include "core/launch/BackupLaunch.h"
#include "core/launch/JobClaim.h"
#include "core/launch/ReadJobRecord.h"
#include "core/launch/SharedArchive.h"
#include "core/launch/SyncLaunch.h"

namespace drivlet {
namespace {

// The start time written back; a failure is the caller's to show, the job runs all the same.
std::string SaveBack(TSaveLoadComponent& record, const std::string& jobFile) {
    try {
        record.SaveCompressed(jobFile);
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace

PreparedJob JobRunner::Prepare(const std::string& jobFile, const PrepareOptions& options) const {
    PreparedJob job;
    job.file_ = jobFile;
    job.fileKind_ = JobFileKindOf(jobFile);
    if (job.fileKind_ == JobFileKind::None) {
        job.refusal_ = JobRefusal{RefusalReason::NotAJobFile, std::string(kLoadJobTitle),
                                  "not a job file (.Ubk, .Umv, .Usy or .Upcsy)"};
        return job;
    }
    // Refused before anything is read: from anywhere else the job would take another folder
    // for its drive.
    JobLocation where = LocateJobFile(jobFile, services_.threads.fileSystem, services_.isDriveRoot);
    if (where.refusal) {
        job.refusal_ = std::move(where.refusal);
        return job;
    }
    job.file_ = std::move(where.file);
    job.drivePath_ = std::move(where.drivePath);
    switch (job.fileKind_) {
    case JobFileKind::Backup:
    case JobFileKind::Move:
        PrepareBackup(job);
        break;
    case JobFileKind::Sync:
        PrepareSync(job);
        break;
    case JobFileKind::ComputerSync:
        PrepareComputerSync(job, options.itemIndex);
        break;
    case JobFileKind::None:
        break;
    }
    if (job.refusal_) return job;
    AskAboutReach(job, options.reachAnswered);
    // The lock is taken once the job is known to be runnable, and held through the questions, so
    // that no second run starts while the user answers.
    JobClaim claim = TryClaimJob(job.file_, services_.threads.fileSystem);
    if (claim.refusal) {
        job.refusal_ = std::move(claim.refusal);
        job.questions_.clear();
        return job;
    }
    job.lock_ = std::move(claim.lock);
    return job;
}

void JobRunner::PrepareBackup(PreparedJob& job) const {
    job.backup_ = std::make_unique<TArchiveData>(services_.threads.clock);
    TArchiveData& record = *job.backup_;
    if ((job.refusal_ = ReadJobRecord(record, job.file_))) return;
    job.name_ = record.BackupName;
    job.kind_ = record.ArchiveMode == TArchiveMode::amMove ? JobKind::Move : JobKind::Backup;
    if (record.ArchiveType != TArchiveType::atFile && record.ArchiveType != TArchiveType::atImage) {
        job.refusal_ = JobRefusal{RefusalReason::UnknownArchiveType, std::string(kLoadJobTitle),
                                  std::string(kUnknownArchiveTypeText)};
        return;
    }
    if (record.ArchiveDir == TArchiveDir::amUsbToPc) {
        // Written back as they are stored, so that the job follows its drive to another mount.
        const auto stored = [&job](const TStringList& list) {
            std::vector<std::string> out;
            for (const std::string& path : list)
                out.push_back(DriveRelative(path, job.drivePath_));
            return out;
        };
        job.storedFolders_ = stored(record.FolderList);
        job.storedFiles_ = stored(record.FileList);
        job.storedExcludes_ = stored(record.ExcludeList);
    }
    job.destination_ = ResolveBackupPaths(record, job.drivePath_);
    if (record.Destination.empty() && record.ArchiveDir == TArchiveDir::amUsbToPc) {
        // Without a destination the run would write below the working folder.
        job.refusal_ = JobRefusal{RefusalReason::NoDestination, std::string(kFolderMissingTitle),
                                  std::string(kNoDestinationText)};
        return;
    }
    if ((job.refusal_ =
             SharedArchiveRefusal(record, job.file_, job.destination_, services_.threads.fileSystem)))
        return;
    if (record.PCID != services_.computerId) job.questions_.push_back(OtherComputerQuestion());
    std::vector<std::string> missing = MissingJobPaths(record, job.destination_);
    if (!missing.empty()) job.questions_.push_back(FoldersMissingQuestion(std::move(missing)));
}

void JobRunner::PrepareSync(PreparedJob& job) const {
    job.sync_ = std::make_unique<TSyncData>();
    if ((job.refusal_ = ReadJobRecord(*job.sync_, job.file_))) return;
    job.kind_ = JobKind::Sync;
    job.name_ = job.sync_->SyncName;
    if (job.sync_->PCID != services_.computerId) job.questions_.push_back(OtherComputerQuestion());
}

void JobRunner::PrepareComputerSync(PreparedJob& job, int itemIndex) const {
    job.computerSync_ = std::make_unique<TPCSyncData>();
    if ((job.refusal_ = ReadJobRecord(*job.computerSync_, job.file_))) return;
    job.kind_ = JobKind::PCSync;
    // Each computer runs its own item, so there is no question about another computer.
    const std::optional<size_t> item = ComputerSyncItem(*job.computerSync_, services_.computerId, itemIndex);
    if (!item) {
        job.refusal_ = JobRefusal{RefusalReason::NoItem, std::string(kLoadJobTitle),
                                  itemIndex >= 0 ? "the job has no item " + std::to_string(itemIndex)
                                                 : "no item of the job belongs to this computer (" +
                                                       services_.computerId + ")"};
        return;
    }
    job.item_ = *item;
    job.name_ = job.computerSync_->SyncDataItems[*item].SyncName;
}

void JobRunner::AskAboutReach(PreparedJob& job, bool answered) const {
    const KnownReach& known = services_.knownReach;
    if (!known.known) return;
    JobReach reach;
    if (job.backup_)
        reach = BackupReach(*job.backup_, job.destination_, known.homeFolder);
    else if (job.sync_)
        reach = SyncReach(*job.sync_, known.homeFolder);
    else if (job.computerSync_)
        reach = SyncReach(job.computerSync_->SyncDataItems[job.item_], known.homeFolder);
    if (reach.Empty()) return;
    std::string fingerprint =
        reach.Fingerprint(DriveRelative(job.file_, job.drivePath_) + "#" + std::to_string(job.item_));
    if (!answered) {
        if (known.known(fingerprint)) return;
        // Asked last: the other questions stay as they were, and this one sees the job as it will run.
        job.questions_.push_back(FirstRunQuestion(job.name_, job.file_, reach));
    }
    job.reach_ = std::move(fingerprint);
}

JobStart JobRunner::Start(PreparedJob&& prepared, const std::vector<int>& replies, IThreadEvents* events,
                          const StartOptions& options) const {
    // Taken over whole: whatever happens, the lock is released when this call ends or the run does.
    PreparedJob job = std::move(prepared);
    JobStart start;
    if (job.refusal_ || !job.lock_) {
        if (job.refusal_)
            start.refusal = job.refusal_;
        else // started once already, or never prepared
            start.refusal = JobRefusal{RefusalReason::NotLockable, std::string(kLoadJobTitle),
                                       "The job was not prepared for a run: " + job.file_};
        return start;
    }
    for (size_t i = 0; i < job.questions_.size(); ++i) {
        if (!job.questions_[i].GoesAhead(i < replies.size() ? replies[i] : dlg::NoAnswer)) {
            start.declined = true;
            return start;
        }
    }
    // Known from now on; a dry run only looks.
    if (!job.reach_.empty() && !options.dryRun && services_.knownReach.remember)
        services_.knownReach.remember(job.reach_);
    if (job.backup_) return StartBackup(job, events, options);
    return StartSync(job, events, options);
}

JobStart JobRunner::StartBackup(PreparedJob& job, IThreadEvents* events, const StartOptions& options) const {
    JobStart start;
    TArchiveData& record = *job.backup_;
    BackupWorker made = MakeBackupWorker(record, job.file_, job.destination_, services_.threads,
                                         services_.settings.store, services_.settings.openDeletedLog);
    made.worker->HoldJobLock(std::move(job.lock_));
    start.archiveFolder = made.archiveFolder;
    start.run = std::make_unique<JobRun>(job.kind_, job.name_, events, options.wake, job.file_);
    start.run->CountIn(options.registry);
    start.run->Start(std::move(made.worker));
    if (record.ArchiveDir == TArchiveDir::amUsbToPc) {
        const auto restore = [](TStringList& list, const std::vector<std::string>& items) {
            list.Clear();
            for (const std::string& item : items)
                list.Add(item);
        };
        restore(record.FolderList, job.storedFolders_);
        restore(record.FileList, job.storedFiles_);
        restore(record.ExcludeList, job.storedExcludes_);
    }
    start.saveError = SaveBack(record, job.file_);
    return start;
}

JobStart JobRunner::StartSync(PreparedJob& job, IThreadEvents* events, const StartOptions& options) const {
    JobStart start;
    const TSyncJobFields& fields = job.sync_ ? static_cast<const TSyncJobFields&>(*job.sync_)
                                             : job.computerSync_->SyncDataItems[job.item_];
    const std::string database =
        job.sync_
            ? SyncDatabase::PathForJob(job.file_).string()
            : SyncDatabase::PathForItem(job.file_, job.computerSync_->SyncDataItems[job.item_].ID).string();
    std::unique_ptr<TSyncFolderThread> worker =
        MakeSyncWorker(fields, job.file_, database, services_.threads, services_.settings.store,
                       services_.settings.openDeletedLog);
    start.run = std::make_unique<JobRun>(job.kind_, job.name_, events, options.wake, job.file_);
    start.run->CountIn(options.registry);
    if (options.prompt) {
        // The front end's prompt is asked on the draining thread, never from the worker.
        auto queued = std::make_shared<QueuedConflictPrompt>(start.run->Queue(), *options.prompt);
        worker->SetConflictPrompt(queued.get());
        start.run->Keep(std::move(queued));
    }
    worker->SetDryRun(options.dryRun);
    worker->HoldJobLock(std::move(job.lock_));
    const TSyncFolderThread* sync = worker.get();
    start.run->Start(std::move(worker), sync);
    if (options.dryRun) return start;
    if (job.sync_) {
        job.sync_->LastUpdate = services_.threads.clock.Now();
        start.saveError = SaveBack(*job.sync_, job.file_);
    } else {
        job.computerSync_->SyncDataItems[job.item_].LastUpdate = services_.threads.clock.Now();
        start.saveError = SaveBack(*job.computerSync_, job.file_);
    }
    return start;
}

} // namespace drivlet

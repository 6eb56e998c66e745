#pragma once
// Backup and sync workers started straight from their job files, their questions put through the
// dialogs at once and their events handed to the sink on the worker itself: for the tests that act
// inside an event (a drive pulled at a given copy, a second start while the first run works), which
// a run's queue would hand over only later. The program itself starts jobs through JobRunner.
#include "core/app/MessageDialogs.h"
#include "core/engine/TThreadBase.h"
#include "core/launch/BackupLaunch.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/RunSettings.h"
#include "core/launch/SyncLaunch.h"

#include <memory>
#include <optional>
#include <string>

namespace drivlet {

struct LaunchServices {
    ThreadServices threads;
    IMessageDialogs& dialogs;
    std::string computerId;
    DeletedStoreSettings store;
    DeletedFilesLogFactory openDeletedLog; // empty: the store's moves are not logged
};

// The job's lock, to be held by its worker; nothing when the path is relative, the job already
// runs or its lock cannot be made (the reason has gone through the dialogs, nothing was touched).
[[nodiscard]] std::unique_ptr<IFileLock> ClaimJob(const std::string& jobFile, const LaunchServices& services);

struct BackupLaunch {
    std::unique_ptr<TArchiveThreadBase> worker; // started
    std::string name;                           // the job's BackupName
    JobKind kind = JobKind::Backup;             // Move for amMove
    std::string archiveFolder;
    // The job file could not be saved back after the start (the job runs all the same).
    std::string saveError;
};

// Nothing when the job was not started (declined, or not runnable; the reason has gone through
// the dialogs). Events are attached before the worker starts.
std::optional<BackupLaunch> LaunchBackup(const std::string& jobFile, const LaunchServices& services,
                                         IThreadEvents* events);

struct SyncLaunchOptions {
    int itemIndex = -1;                // of a ".Upcsy" job; -1: the first item of this computer
    IConflictPrompt* prompt = nullptr; // not owned; outlives the run
    bool dryRun = false;               // the job file is not written either
};

struct SyncLaunch {
    std::unique_ptr<TSyncFolderThread> worker; // started; empty when not
    std::string name;                          // the job's or the item's SyncName
    JobKind kind = JobKind::Sync;              // PCSync for ".Upcsy"
    bool noItem = false;                       // a ".Upcsy" job without an item for this computer
    std::string saveError;                     // the start time could not be saved (the run goes on)
};

SyncLaunch LaunchSync(const std::string& jobFile, const LaunchServices& services, IThreadEvents* events,
                      const SyncLaunchOptions& options);

} // namespace drivlet

#pragma once
// Turns a sync job file (".Usy") or this computer's item of a computer-to-computer job
// (".Upcsy") into a running sync worker, and writes the start time back into the job file.
#include "core/engine/sync/TSyncFolderThread.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/LaunchServices.h"
#include "core/records/TSyncData.h"

#include <memory>
#include <optional>
#include <string>

namespace drivlet {

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

// The worker of a sync job or of one computer's item, set up with its pairs, filter, rules,
// database, drive and deleted-files store; not started, without events, prompt or lock.
std::unique_ptr<TSyncFolderThread> MakeSyncWorker(const TSyncJobFields& job, const std::string& jobFile,
                                                  std::string databaseFile, const ThreadServices& threads,
                                                  const DeletedStoreSettings& store,
                                                  const DeletedFilesLogFactory& openDeletedLog);
// The item a computer-to-computer job runs: item itemIndex when given (0 the first), else the first
// whose PCID is this computer's; nothing when there is no such item.
std::optional<size_t> ComputerSyncItem(const TPCSyncData& job, const std::string& computerId, int itemIndex);

SyncLaunch LaunchSync(const std::string& jobFile, const LaunchServices& services, IThreadEvents* events,
                      const SyncLaunchOptions& options);

} // namespace drivlet

#pragma once
// What turns a sync job (".Usy") or this computer's item of a computer-to-computer job (".Upcsy")
// into its worker.
#include "core/engine/sync/TSyncFolderThread.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/RunSettings.h"
#include "core/records/TSyncData.h"

#include <memory>
#include <optional>
#include <string>

namespace drivlet {

// The worker of a sync job or of one computer's item, set up with its pairs, filter, rules,
// database, drive and deleted-files store; not started, without events, prompt or lock.
std::unique_ptr<TSyncFolderThread> MakeSyncWorker(const TSyncJobFields& job, const std::string& jobFile,
                                                  std::string databaseFile, const ThreadServices& threads,
                                                  const DeletedStoreSettings& store,
                                                  const DeletedFilesLogFactory& openDeletedLog);
// The item a computer-to-computer job runs: item itemIndex when given (0 the first), else the first
// whose PCID is this computer's; nothing when there is no such item.
std::optional<size_t> ComputerSyncItem(const TPCSyncData& job, const std::string& computerId, int itemIndex);

} // namespace drivlet

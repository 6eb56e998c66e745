#include "core/launch/SyncLaunch.h"

#include "core/app/Constants.h"
#include "core/db/SyncDatabase.h"
#include "core/drives/DrivePaths.h"
#include "core/launch/JobClaim.h"
#include "core/launch/ReadJobRecord.h"
#include "core/text/CaseFold.h"

#include <filesystem>

namespace drivlet {

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

} // namespace drivlet

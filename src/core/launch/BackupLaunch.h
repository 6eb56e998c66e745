#pragma once
// What turns a backup or move job (".Ubk", ".Umv") into its worker: the job's drive paths read
// against where the drive is now, the folder check, the run's folder and the worker's set-up.
#include "core/engine/backup/TArchiveThreadBase.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/RunSettings.h"
#include "core/records/TArchiveData.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

// The job's destination, with its lists rebased in place, for the drive the job file is on:
// amPcToUsb reads Destination against the drive, amUsbToPc the three lists.
std::string ResolveBackupPaths(TArchiveData& job, const std::string& drivePath);
// Whether a folder or file of the job is missing (the destination, the folders, the excluded
// folders, the single files, in this order).
bool JobPathMissing(const TArchiveData& job, const std::string& destination);
// Every one of them that is missing, in the same order.
std::vector<std::string> MissingJobPaths(const TArchiveData& job, const std::string& destination);
// Where a time-stamped run's folder is made: beside the destination ("/d/Back 2010-08-16 14-05/",
// the form stored jobs and their history know), or inside it ("/d/Back/2010-08-16 14-05/").
enum class StampPlace { Beside, Inside };

// The run's folder: the destination itself, or for the time-stamped modes a folder named after
// the run's start "yyyy-mm-dd hh-nn", beside or inside the destination; always ending with "/".
std::string ArchiveFolderFor(TArchiveMode mode, std::string destination, TDateTime startTime,
                             StampPlace place = StampPlace::Beside);
// Inside where a folder beside the destination would not do: the destination is "/", a volume
// root or the job's drive (a sibling would land off the drive, on the computer), the home folder
// (the sibling would sit among other users' homes), or nothing can be made beside it.
StampPlace StampPlaceFor(const IFileSystem& files, const std::string& destination,
                         const std::string& jobDrive, const std::string& homeFolder);

// The worker of a loaded job whose paths are resolved (ResolveBackupPaths): set up with the job's
// lists, filter, mode, database, run folder, deleted-files store and drive, not started, without
// events or lock. The job's LastUpdate becomes the run's start. No worker for an archive type
// that has none.
struct BackupWorker {
    std::unique_ptr<TArchiveThreadBase> worker;
    std::string archiveFolder;
};
BackupWorker MakeBackupWorker(TArchiveData& job, const std::string& jobFile, const std::string& destination,
                              const ThreadServices& threads, const DeletedStoreSettings& store,
                              const DeletedFilesLogFactory& openDeletedLog);

} // namespace drivlet

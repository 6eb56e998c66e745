#pragma once
// A worker's writes and deletes: the copy that never loses a newer file, the delete into the
// deleted-files store with its log rows, the folder delete, the low-disk prompt and the guard
// that stops a run whose drive is gone. What it needs of its worker it asks through Host.
#include "core/engine/FolderWalk.h"
#include "core/engine/IDeletedFilesLog.h"
#include "core/engine/Reporter.h"
#include "core/engine/ThreadEvents.h"
#include "core/filter/TFileFilter.h"
#include "core/time/DateTime.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace drivlet {

class TProgramData;

// The deleted-files settings a run works with.
struct DeletedStoreSettings {
    bool MoveToDeleted = false;
    std::string DeletedFolder; // ends with "/"

    static DeletedStoreSettings From(const TProgramData& settings);
};

class ProtectedFiles {
public:
    // What the operations need of the worker they run for.
    class Host {
    public:
        // Puts the question and waits for the answer; a cancelled run answers Abort.
        virtual LowDiskAnswer AskLowDiskSpace(const LowDiskQuestion& question) = 0;
        virtual void StopRun() = 0;
        // The folder path ends with "/".
        virtual bool ExcludesFolder(const std::string& folder) = 0;
        // Sets the status the worker shows and shows it; without arguments shows it again.
        virtual void ShowStatus(StatusPhase phase, std::string text) = 0;
        virtual void ShowStatus() = 0;

    protected:
        ~Host() = default;
    };

    // Everything given outlives this; `stop` is the run's.
    ProtectedFiles(const IFileSystem& fileSystem, const TFileFilter& filter, Reporter& reporter, Host& host,
                   std::stop_token stop);
    ProtectedFiles(const ProtectedFiles&) = delete;
    ProtectedFiles& operator=(const ProtectedFiles&) = delete;

    // Set before the run begins.
    void SetDeletedStore(DeletedStoreSettings settings, DeletedFilesLogFactory openLog) {
        store_ = std::move(settings);
        openLog_ = std::move(openLog);
    }
    void SetJobDrive(std::string drivePath, std::optional<uint64_t> volume) {
        jobDrive_ = std::move(drivePath);
        driveVolume_ = volume;
    }

    // On the worker when its body starts: fixes the store settings and opens the store's log (only
    // when MoveToDeleted is on), takes the job drive's volume (that of the database's drive when
    // no drive was set) and from then on works below the drive through its handle. Whether an
    // overwrite of a newer file diverts that file into the store first: sync runs do, the backup
    // family does not.
    void Begin(TDateTime startTime, const std::string& databaseFile, bool divertsNewerTargets);
    // At the end of the body: lets go of the drive's handle.
    void Release() { anchored_.reset(); }

    // Below the job's drive, through the handle of the drive taken when the run began.
    const IFileSystem& Files() const { return anchored_ ? *anchored_ : fileSystem_; }
    const DeletedStoreSettings& Store() const { return activeStore_; }
    const std::string& JobDrive() const { return jobDrive_; }
    // The mapped path in the store for this run: DeletedFolder + " " + stamp + "/" + mapped path.
    std::string DeletedPathFor(std::string_view path) const;

    // The copy keeps the source's last-write time (the file service carries it over). A caller
    // that has just listed the source passes its size, which spares asking for it again.
    [[nodiscard]] bool Copy(const std::string& source, const std::string& target, bool failIfExists,
                            bool deleteSource, int64_t sourceSize = -1);
    [[nodiscard]] bool Delete(const std::string& path);
    // Every file below the folder (path ending with "/") the worker does not exclude, with a log
    // line each, and the folders that empties.
    void DeleteFolder(const std::string& folder) { DeleteFolderFiles(folder, {}); }
    // Only the files `owned` answers true for (given the file's path); the folders that empties.
    void DeleteFolderFiles(const std::string& folder,
                           const std::function<bool(const std::string& file)>& owned);
    // The low-disk question for writing `needed` bytes at `path`, asked for as long as there is
    // not that much room; false when the user skips or aborts (an abort also stops the run).
    [[nodiscard]] bool EnsureDiskSpace(const std::string& path, int64_t needed) {
        return CheckDiskSpace(path, needed) != SpaceCheck::Skipped;
    }
    // Whether the job's drive is gone (or another volume now sits at its path). The first time it
    // is found gone the run gets a thread error and is stopped; nothing may be written or
    // recorded after a true answer.
    [[nodiscard]] bool DriveGone();
    // The outcome of the last failed copy, move or delete, for the caller's log line.
    const FileStatus& LastError() const { return lastError_; }

private:
    enum class Diversion { Moved, Failed, Skipped };
    enum class SpaceCheck { Passed, Prompted, Skipped };

    Diversion DivertToStore(const std::string& file, int64_t size, std::string_view actionName);
    SpaceCheck CheckDiskSpace(const std::string& path, int64_t needed);
    FileStatus CopyIntoFolder(const std::string& source, const std::string& target, CopyMode mode,
                              const drivlet::CopyProgress& progress);
    bool CopyProgress(int64_t done, int64_t total);

    const IFileSystem& fileSystem_;
    const TFileFilter& filter_;
    Reporter& reporter_;
    Host& host_;
    std::stop_token stop_;

    DeletedStoreSettings store_;
    DeletedFilesLogFactory openLog_;
    DeletedStoreSettings activeStore_;
    std::unique_ptr<IDeletedFilesLog> deletedLog_;
    TDateTime startTime_ = 0;
    bool divertsNewerTargets_ = true;
    FileStatus lastError_;
    std::string madeFolder_; // the folder the last copy went into
    std::string jobDrive_;
    std::optional<uint64_t> driveVolume_;
    bool driveLost_ = false;
    std::unique_ptr<IFileSystem> anchored_; // set on the worker when the run begins
};

} // namespace drivlet

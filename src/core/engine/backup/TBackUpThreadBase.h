#pragma once
// The base of the backup-family workers: the job's lists, the job's backup database with the
// run history of a backup, and the counting pass before the work.
#include "core/db/BackupDatabase.h"
#include "core/engine/TThreadBase.h"
#include "core/engine/backup/FileLogBatch.h"
#include "core/records/Enumerations.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace drivlet {

// `ArchiveLog.Format` of a mode; a move job has none.
std::optional<std::string_view> ArchiveFormatText(TArchiveMode mode);
// The history key of a run's folder: without the drive path (the folder holding the "Config"
// folder of the database) when the folder lies on that drive, so "/Backup/Job/" survives the
// stick being mounted elsewhere; otherwise the folder itself.
std::string ArchiveLogKey(std::string_view archiveFolder, std::string_view databaseFile);

class TBackUpThreadBase : public TThreadBase {
public:
    explicit TBackUpThreadBase(const ThreadServices& services);
    ~TBackUpThreadBase() override;

    // Set before Start; folder paths end with "/".
    void SetArchiveMode(TArchiveMode mode) { ArchiveMode = mode; }
    void SetArchiveFolder(std::string folder) { ArchiveFolder = std::move(folder); }
    void SetExcludeList(const std::vector<std::string>& folders);
    void SetFolderList(std::vector<std::string> folders) { FolderList = std::move(folders); }
    void SetFileList(std::vector<std::string> files) { FileList = std::move(files); }
    void SetBackupRoot(std::string folder) { BackupRoot = std::move(folder); }
    void SetRestoreTarget(std::string folder) { RestoreTarget = std::move(folder); }
    void SetCountTotals(bool count) { CountTotals = count; }

protected:
    // Backups write the run history; restores do not.
    virtual bool IsBackup() const { return false; }
    // Below a followed linked folder, also by the folder's real path.
    bool IsFolderExcluded(const std::string& folder) override;
    // Items below the folder (each subfolder counts as one), adding the file sizes to BytesTotal.
    virtual int64_t ScanFolder(const std::string& folder);

    // Whether a walk goes into the subfolder (path ending with "/") it has listed as `entry`:
    // never into an excluded one, into a linked one only as FollowsLinkedFolder decides. Every
    // walk of a backup (the counting pass and the work) asks here.
    bool EntersFolder(const std::string& folder, const FolderEntry& entry);
    // A backup follows a linked folder when its real folder neither lies inside nor holds a
    // folder this run already takes (the sources, the folders of links followed before) or the
    // archive folder: so never into a loop and never twice into the same files. Decided once per
    // link and run, when first met; a link that is not followed gets a failed log line naming it
    // (a restore just passes over links).
    bool FollowsLinkedFolder(const std::string& link);

    // The base body, run first by each descendant's Execute. False when it failed (the thread
    // error has been reported) and the descendant must not do any work.
    bool RunBackUpBase();
    // The work's own clock and count start after the counting pass.
    void StartClock() {
        SpeedStartTime = Clock().Now();
        FilesDone = 0;
    }
    // The run history row's final status (backups only).
    void SetRunStatus(std::string_view status);

    // The listing of a folder, taken from the counting pass when it made one (each listing is
    // handed out once), else read now. A folder the counting pass could not list gives its
    // failure: the work's walk reports it, once.
    FileStatus TakeListing(const std::string& folder, std::vector<FolderEntry>& entries);

    // The job's `FileLog` (nothing is remembered for a job without a database).
    std::optional<CopiedFile> LastCopied(std::string_view file);
    // LastCopied of every file directly in the folder that has a row, by name: for a walk that
    // asks about each file of a folder.
    std::unordered_map<std::string, CopiedFile> CopiedInFolder(std::string_view folder);
    // After a successful copy of a file of this size, with this run's StartTime; written with the
    // current batch.
    void RecordCopied(std::string_view file, int64_t size);
    // Puts the pending rows into the file.
    void CommitFileLog();

    // The zip archives (file names) that the job has itself written into ArchiveFolder: the only
    // ones a completely-new run may delete. None without a database.
    std::vector<std::string> WrittenArchives();
    void RecordWrittenArchive(std::string_view fileName);
    void ForgetWrittenArchive(std::string_view fileName);

    TArchiveMode ArchiveMode = TArchiveMode::amIncremental;
    std::string ArchiveFolder;
    std::vector<std::string> FolderList;
    std::vector<std::string> FileList;
    std::string BackupRoot;
    std::string RestoreTarget;
    bool CountTotals = true;

    // The backup database is closed with the run.
    void ReleaseDrive() override;

private:
    void OpenDatabase();
    // The folders this run takes, by their real paths, before any link is met.
    void NoteWalkedFolders();
    // The real path of a folder (ending with "/"), of its nearest existing parent followed by the
    // rest when it does not exist yet; empty when nothing of it resolves.
    std::string ResolvedFolder(const std::string& folder) const;
    // The walk's path of a folder below a followed link, in terms of the link's real folder.
    std::string RealFormOf(const std::string& folder) const;
    bool ExcludedByPrefix(const std::string& realFolder) const;
    void ReportLinkNotFollowed(const std::string& link, const std::string& why);

    std::unordered_set<std::string> excluded_; // lower case
    std::unique_ptr<BackupDatabase> database_;
    std::unique_ptr<FileLogBatch> fileLog_;
    std::optional<int64_t> runId_;
    struct Listing {
        FileStatus status;
        std::vector<FolderEntry> entries;
    };
    std::unordered_map<std::string, Listing> listings_;

    std::unordered_map<std::string, bool> linkDecisions_;
    std::vector<std::string> walked_;                                // real folders, ending with "/"
    std::vector<std::pair<std::string, std::string>> followedLinks_; // link path, its real folder
    std::string realArchiveFolder_;
};

// The backups (folder copy and zip); the restores have a base of their own (TRestoreThreadBase).
class TArchiveThreadBase : public TBackUpThreadBase {
public:
    using TBackUpThreadBase::TBackUpThreadBase;

protected:
    bool IsBackup() const override { return true; }
    bool DivertsNewerTargets() const override { return false; }
    // Before a completely-new run empties ArchiveFolder: false, with a thread error naming the
    // folder, where that would reach beyond the backup (a drive's root, the job's Config folder).
    bool MayClearArchiveFolder();
    // A backup kept inside one of its sources is never counted or copied into itself.
    bool IsFolderExcluded(const std::string& folder) override {
        return folder == ArchiveFolder || TBackUpThreadBase::IsFolderExcluded(folder);
    }
};

} // namespace drivlet

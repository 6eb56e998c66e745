#pragma once
// The base of the backups (folder copy and zip): the archive folder and mode, the job's backup
// database with the run history and the files copied, and the linked folders a backup follows.
// The restores have a base of their own (TRestoreThreadBase).
#include "core/db/BackupDatabase.h"
#include "core/engine/backup/FileLogBatch.h"
#include "core/engine/backup/TBackUpThreadBase.h"
#include "core/records/Enumerations.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace drivlet {

// `ArchiveLog.Format` of a mode; a move job has none.
std::optional<std::string_view> ArchiveFormatText(TArchiveMode mode);
// The history key of a run's folder: without the drive path (the folder holding the "Config"
// folder of the database) when the folder lies on that drive, so "/Backup/Job/" survives the
// stick being mounted elsewhere; otherwise the folder itself.
std::string ArchiveLogKey(std::string_view archiveFolder, std::string_view databaseFile);

class TArchiveThreadBase : public TBackUpThreadBase {
public:
    explicit TArchiveThreadBase(const ThreadServices& services);
    ~TArchiveThreadBase() override;

    // Set before Start; the folder ends with "/".
    void SetArchiveMode(TArchiveMode mode) { ArchiveMode = mode; }
    void SetArchiveFolder(std::string folder) { ArchiveFolder = std::move(folder); }

protected:
    bool DivertsNewerTargets() const override { return false; }
    // A backup kept inside one of its sources is never counted or copied into itself; below a
    // followed linked folder, a folder is also excluded by its real path.
    bool IsFolderExcluded(const std::string& folder) override;
    // A backup follows a linked folder when its real folder neither lies inside nor holds a
    // folder this run already takes (the sources, the folders of links followed before) or the
    // archive folder: so never into a loop and never twice into the same files. Decided once per
    // link and run, when first met; a link that is not followed gets a failed log line naming it.
    bool FollowsLinkedFolder(const std::string& link) override;
    // Opens the history (a run row) and notes the folders the run takes.
    void BeforeCounting() override;

    // Before a completely-new run empties ArchiveFolder: false, with a thread error naming the
    // folder, where that would reach beyond the backup (a drive's root, the job's Config folder).
    bool MayClearArchiveFolder();
    // The run history row's final status.
    void SetRunStatus(std::string_view status);

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

    // The backup database is closed with the run.
    void ReleaseDrive() override;

    TArchiveMode ArchiveMode = TArchiveMode::amIncremental;
    std::string ArchiveFolder;

private:
    void OpenDatabase();
    // The folders this run takes, by their real paths, before any link is met.
    void NoteWalkedFolders();
    // The real path of a folder (ending with "/"), of its nearest existing parent followed by the
    // rest when it does not exist yet; empty when nothing of it resolves.
    std::string ResolvedFolder(const std::string& folder) const;
    // The walk's path of a folder below a followed link, in terms of the link's real folder.
    std::string RealFormOf(const std::string& folder) const;
    void ReportLinkNotFollowed(const std::string& link, const std::string& why);

    std::unique_ptr<BackupDatabase> database_;
    std::unique_ptr<FileLogBatch> fileLog_;
    std::optional<int64_t> runId_;

    std::unordered_map<std::string, bool> linkDecisions_;
    std::vector<std::string> walked_;                                // real folders, ending with "/"
    std::vector<std::pair<std::string, std::string>> followedLinks_; // link path, its real folder
    std::string realArchiveFolder_;
};

} // namespace drivlet

#pragma once
// The base of the two restores: which files of the run they may write, and what they do where
// the backup and the computer disagree about whether a name is a file or a folder. A restore reads
// the job's history but has none of its own.
#include "core/engine/backup/TBackUpThreadBase.h"
#include "core/engine/restore/RestoreScope.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace drivlet {

class TRestoreThreadBase : public TBackUpThreadBase {
public:
    using TBackUpThreadBase::TBackUpThreadBase;

    // Set before Start: the folder the run wrote (ending with "/"), and where its files go back
    // to (empty: their old places).
    void SetBackupRoot(std::string folder) { BackupRoot = std::move(folder); }
    void SetRestoreTarget(std::string folder) { RestoreTarget = std::move(folder); }
    // Set before Start: the chosen run and the job's sources. A restore without them writes
    // nothing: it cannot tell the run's files from anything else in the run's folder.
    void SetRestoreRun(RestoreRun run) { run_ = std::move(run); }

protected:
    bool DivertsNewerTargets() const override { return false; }

    // After the base body: reads what the run wrote from the job's history (never writing to it).
    // False, with a thread error, when that cannot be told; nothing may be restored then.
    bool OpenScope();
    // A file of a folder backup at `rel` below BackupRoot, and an entry of one of its zip
    // archives: whether the run wrote it, and (to the old place) whether the job backs it up.
    bool AdmitsCopy(std::string_view rel) { return scope_ && scope_->AdmitsCopy(rel, RestoreTarget.empty()); }
    bool AdmitsEntry(std::string_view archive, std::string_view entry) {
        return scope_ && scope_->AdmitsEntry(archive, entry, RestoreTarget.empty());
    }
    // A file that something other than the run put into its folder: a failed line, never written.
    void ReportNotInBackup(const std::string& path, const std::string& action) {
        ReportFailedLine(path, action, "not part of this backup");
    }
    // The history is closed with the run.
    void ReleaseDrive() override;

    // Makes a folder (ending with "/") that the restore puts files in. A file standing at its
    // name or at a parent's, below `base`, makes way as a file the restore overwrites would
    // (into the deleted-files store when that is on), with a log line. False when the folder
    // still cannot be made.
    bool MakeRestoreFolder(const std::string& folder, const std::string& base);
    // A folder standing where the restore puts a file: the user's, so it stays, even with the
    // deleted-files store on; the failed line (`logName` names the file) says why.
    void LeaveFolderAtFile(const std::string& logName, std::string_view action);
    // A chosen path the backup does not hold (or a run holding nothing): a failed line, so a
    // restore that brought nothing back never reads as a success.
    void ReportNothingMatched(const std::string& path, const std::string& action) {
        ReportFailedLine(path, action, "Nothing in this backup matches it");
    }

    std::string BackupRoot;
    std::string RestoreTarget;

private:
    void ReportFailedLine(const std::string& path, const std::string& action, std::string status) {
        Report().Log(path, action, std::move(status), true);
    }

    std::optional<RestoreRun> run_;
    std::unique_ptr<RestoreScope> scope_;
};

} // namespace drivlet

#include "core/engine/restore/TRestoreFolderThread.h"

#include "core/engine/PathMapping.h"
#include "core/engine/restore/RestorePath.h"

#include <cerrno>

namespace drivlet {

void TRestoreFolderThread::Execute() {
    if (!BackupRoot.empty() && BackupRoot.back() != '/') BackupRoot += '/';
    if (!RunBackUpBase() || !OpenScope()) return;
    StartClock();
    RunGuarded(kCopyThreadErrorPrefix, [this] {
        if (FolderList.empty() && FileList.empty()) ReportNothingMatched(BackupRoot, "Copy File");
        for (const std::string& folder : FolderList) {
            if (Terminated()) break;
            const std::string target = RestorePathFor(BackupRoot, folder, RestoreTarget);
            if (GetFileSize(folder) < 0) {
                ReportNothingMatched(folder, "Copy File");
                continue;
            }
            if (IsWritablePlace(target))
                RestorePass(folder, target);
            else
                Refuse(folder);
        }
        for (const std::string& entry : FileList) {
            if (Terminated()) break;
            // A chosen file must lie inside the backup.
            if (!IsSafeRelativeName(entry)) {
                Refuse(entry);
                continue;
            }
            const std::string file = BackupRoot + entry;
            const std::string target = RestorePathFor(BackupRoot, file, RestoreTarget);
            if (IsWritablePlace(target))
                RestoreSingle(file, target);
            else
                Refuse(file);
        }
        ShowStatus(Terminated() ? StatusPhase::Canceled : StatusPhase::Finished,
                   Terminated() ? " Canceled" : " Finished !");
    });
}

void TRestoreFolderThread::RestorePass(const std::string& source, const std::string& target) {
    const std::string base(FolderPart(target.substr(0, target.size() - 1)));
    // A folder is made only for a file that comes back: making one can move a file of the
    // user's out of its way.
    std::string made;
    FolderWalk::Steps steps;
    steps.list = [this](const std::string& folder, std::vector<FolderEntry>& entries) {
        return TakeListing(folder, entries);
    };
    steps.enters = [this](const std::string& sub, const FolderEntry& entry) {
        return !entry.isSymlink && !IsFolderExcluded(sub);
    };
    steps.left = [this](const std::string&, const FolderEntry&) {
        FilesDone += 1;
        FoldersDone += 1;
        ShowStatus();
    };
    steps.file = [&](const std::string& folder, const FolderEntry& entry) {
        const std::string path = folder + entry.name;
        if (FileFilter.IsExcluded(entry.name, folder)) {
            ClearStatusText();
            BytesTotal -= entry.size;
            FilesDone += 1;
        } else if (!AdmitsCopy(std::string_view(path).substr(BackupRoot.size()))) {
            BytesTotal -= entry.size;
            FilesDone += 1;
            ReportNotInBackup(path, "Copy File");
        } else {
            const std::string into = target + folder.substr(source.size());
            if (into != made) {
                MakeRestoreFolder(into, base);
                made = into;
            }
            RestoreFile(path, into + entry.name, entry.size);
        }
        ShowStatus();
    };
    WalkFolder(source, std::move(steps), "Copy File");
}

void TRestoreFolderThread::RestoreSingle(const std::string& backupFile, const std::string& target) {
    if (Terminated()) return;
    const int64_t size = GetFileSize(backupFile);
    if (size < 0) {
        ReportNothingMatched(backupFile, "Copy File");
        return;
    }
    const std::optional<FolderEntry> listed = ListedEntryOf(Files(), backupFile);
    if (listed && listed->special != SpecialKind::None) {
        Report().SpecialFile(backupFile, listed->special, "Copy File");
        return;
    }
    if (!AdmitsCopy(std::string_view(backupFile).substr(BackupRoot.size()))) {
        FilesDone += 1;
        ReportNotInBackup(backupFile, "Copy File");
        ShowStatus();
        return;
    }
    const std::string folder(FolderPart(target));
    std::string base = RestoreTarget.empty() ? std::string("/") : RestoreTarget;
    if (base.back() != '/') base += '/';
    MakeRestoreFolder(folder, base);
    RestoreFile(backupFile, target, size);
    ShowStatus();
}

void TRestoreFolderThread::RestoreFile(const std::string& source, const std::string& target, int64_t size) {
    FilesDone += 1;
    ShowStatus(StatusPhase::File, "File : " + source);
    // The file in place is replaced whatever its age; the copy never leaves it half-written.
    const bool copied = FileOps().Copy(source, target, false, false);
    if (!copied && FileOps().LastError().code() == EISDIR)
        LeaveFolderAtFile(source, "Copy File");
    else
        ReportFileResult(source, "Copy File", copied);
    BytesDone += size;
}

void TRestoreFolderThread::Refuse(const std::string& path) {
    Report().Log(path, "Copy File", "No place to restore to on this computer", true);
}

} // namespace drivlet

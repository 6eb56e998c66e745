#include "core/engine/backup/TBackUpThreadBase.h"

#include "core/engine/PathMapping.h"
#include "core/engine/backup/ArchiveFolderGuard.h"
#include "core/text/CaseFold.h"

#include <algorithm>

namespace drivlet {

std::optional<std::string_view> ArchiveFormatText(TArchiveMode mode) {
    switch (mode) {
    case TArchiveMode::amIncremental:
        return "Incremental";
    case TArchiveMode::amOnlyNew:
        return "Only New";
    case TArchiveMode::amCompletelyNew:
        return "Completely New";
    case TArchiveMode::amTimeStamped:
        return "Time Stamped";
    case TArchiveMode::amTimeStampedIncremental:
        return "Incremental Time Stamped";
    case TArchiveMode::amMove:
        break;
    }
    return std::nullopt;
}

std::string ArchiveLogKey(std::string_view archiveFolder, std::string_view databaseFile) {
    std::string_view configFolder = FolderPart(databaseFile);
    if (configFolder.empty()) return std::string(archiveFolder);
    configFolder.remove_suffix(1);
    if (!SameText(FileNamePart(configFolder), "Config")) return std::string(archiveFolder);
    const std::string_view drive = FolderPart(configFolder);
    if (drive.size() < 2 || archiveFolder.substr(0, drive.size()) != drive) return std::string(archiveFolder);
    // The drive path's own "/" stays at the front of the key.
    return std::string(archiveFolder.substr(drive.size() - 1));
}

TBackUpThreadBase::TBackUpThreadBase(const ThreadServices& services) : TThreadBase(services) {}

// The worker must be gone before the database it uses.
TBackUpThreadBase::~TBackUpThreadBase() {
    Terminate();
    WaitFor();
}

void TBackUpThreadBase::SetExcludeList(const std::vector<std::string>& folders) {
    excluded_.clear();
    for (const std::string& folder : folders)
        excluded_.insert(LowerCase(folder));
}

bool TBackUpThreadBase::IsFolderExcluded(const std::string& folder) {
    return !excluded_.empty() && excluded_.count(LowerCase(folder)) != 0;
}

bool TArchiveThreadBase::MayClearArchiveFolder() {
    const std::optional<std::string> refusal =
        ArchiveFolderClearingRefusal(Files(), ArchiveFolder, DatabaseFile);
    if (!refusal) return true;
    ReportThreadError(std::string(kCopyThreadErrorPrefix) + "The archive folder " + ArchiveFolder + " " +
                      *refusal + "; nothing in it is deleted and nothing is copied");
    return false;
}

void TBackUpThreadBase::OpenDatabase() {
    // A missing database is created with its tables; no template file is needed.
    database_ = std::make_unique<BackupDatabase>(DatabaseFile);
    fileLog_ = std::make_unique<FileLogBatch>(*database_);
    if (IsBackup())
        runId_ = database_->BeginRun(ArchiveLogKey(ArchiveFolder, DatabaseFile), StartTime(),
                                     ArchiveFormatText(ArchiveMode));
}

bool TBackUpThreadBase::RunBackUpBase() {
    bool succeeded = false;
    RunGuarded(kThreadErrorPrefix, [this, &succeeded] {
        if (!DatabaseFile.empty()) OpenDatabase();
        FilesDone = -1;
        StatusText = " Searching... ";
        ReportStatus();
        std::stable_sort(
            FolderList.begin(), FolderList.end(),
            [](const std::string& a, const std::string& b) { return LowerCase(a) < LowerCase(b); });
        if (CountTotals) {
            for (const std::string& folder : FolderList)
                FilesTotal += ScanFolder(folder);
            for (const std::string& file : FileList) {
                const int64_t size = GetFileSize(file);
                if (size < 0) continue;
                FilesTotal += 1;
                BytesTotal += size;
            }
        }
        if (Terminated()) {
            StatusText = "Canceled :(";
            ReportStatus();
        }
        succeeded = true;
    });
    FilesDone = 0;
    return succeeded;
}

std::optional<TDateTime> TBackUpThreadBase::LastCopied(std::string_view file) {
    return fileLog_ ? fileLog_->LastCopied(file) : std::nullopt;
}

std::unordered_map<std::string, TDateTime> TBackUpThreadBase::CopiedInFolder(std::string_view folder) {
    if (!fileLog_) return {};
    return fileLog_->CopiedInFolder(folder);
}

void TBackUpThreadBase::RecordCopied(std::string_view file) {
    if (fileLog_) fileLog_->RecordCopied(file, StartTime());
}

void TBackUpThreadBase::CommitFileLog() {
    if (fileLog_) fileLog_->Commit();
}

std::vector<std::string> TBackUpThreadBase::WrittenArchives() {
    if (!database_) return {};
    return database_->WrittenArchives(ArchiveLogKey(ArchiveFolder, DatabaseFile));
}

void TBackUpThreadBase::RecordWrittenArchive(std::string_view fileName) {
    if (database_) database_->RecordWrittenArchive(ArchiveLogKey(ArchiveFolder, DatabaseFile), fileName);
}

void TBackUpThreadBase::ForgetWrittenArchive(std::string_view fileName) {
    if (database_) database_->ForgetWrittenArchive(ArchiveLogKey(ArchiveFolder, DatabaseFile), fileName);
}

void TBackUpThreadBase::SetRunStatus(std::string_view status) {
    CommitFileLog();
    if (database_ && runId_) database_->SetRunStatus(*runId_, status);
}

int64_t TBackUpThreadBase::ScanFolder(const std::string& folder) {
    StatusText = " Searching..." + folder;
    ReportStatus();
    std::vector<FolderEntry> entries;
    Files().ReadFolder(folder, entries, ListDetail::Full);
    int64_t count = 0;
    for (const FolderEntry& entry : entries) {
        if (Terminated()) break;
        if (entry.isDirectory) {
            // A linked folder is not entered: it could lead back into the tree.
            if (entry.isSymlink) continue;
            const std::string sub = folder + entry.name + "/";
            if (IsFolderExcluded(sub)) continue;
            count += ScanFolder(sub) + 1;
            StatusText = " Searching..." + folder;
            ReportStatus();
        } else {
            count += 1;
            BytesTotal += entry.size;
        }
    }
    listings_.emplace(folder, std::move(entries));
    return count;
}

FileStatus TBackUpThreadBase::TakeListing(const std::string& folder, std::vector<FolderEntry>& entries) {
    const auto found = listings_.find(folder);
    if (found == listings_.end()) return Files().ReadFolder(folder, entries, ListDetail::Full);
    entries = std::move(found->second);
    listings_.erase(found);
    return {};
}

} // namespace drivlet

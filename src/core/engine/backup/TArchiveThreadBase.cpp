#include "core/engine/backup/TArchiveThreadBase.h"

#include "core/engine/PathMapping.h"
#include "core/engine/backup/ArchiveFolderGuard.h"
#include "core/text/CaseFold.h"

#include <algorithm>

namespace drivlet {
namespace {

// Two folders (ending with "/") of which one lies inside the other, or the same.
bool Overlap(std::string_view a, std::string_view b) {
    return std::string_view(a).starts_with(b) || std::string_view(b).starts_with(a);
}

// How a link's real folder meets a folder of the run, for the log line.
std::string Relation(const std::string& real, const std::string& folder) {
    if (real == folder) return "it is " + folder;
    return std::string_view(real).starts_with(folder) ? "it lies in " + folder : "it holds " + folder;
}

} // namespace

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

TArchiveThreadBase::TArchiveThreadBase(const ThreadServices& services) : TBackUpThreadBase(services) {}

// The worker must be gone before the database it uses.
TArchiveThreadBase::~TArchiveThreadBase() {
    StopAndWait();
}

bool TArchiveThreadBase::IsFolderExcluded(const std::string& folder) {
    if (folder == ArchiveFolder || InExcludeList(folder)) return true;
    if (followedLinks_.empty()) return false;
    const std::string real = RealFormOf(folder);
    return real != folder && InExcludeList(real);
}

void TArchiveThreadBase::BeforeCounting() {
    if (!DatabaseFile.empty()) OpenDatabase();
    NoteWalkedFolders();
}

bool TArchiveThreadBase::FollowsLinkedFolder(const std::string& link) {
    const auto decided = linkDecisions_.find(link);
    if (decided != linkDecisions_.end()) return decided->second;
    bool follow = false;
    const std::string real = ResolvedFolder(link);
    const auto taken =
        std::find_if(walked_.begin(), walked_.end(), [&](const std::string& w) { return Overlap(real, w); });
    if (real.empty() || Files().FileSize(real) < 0) {
        ReportLinkNotFollowed(link, "its folder cannot be found");
    } else if (ExcludedByPrefix(real)) {
        // The user has left that folder out; it stays out whichever way it is reached.
    } else if (taken != walked_.end()) {
        ReportLinkNotFollowed(link, Relation(real, *taken) + ", which this backup takes already");
    } else if (!realArchiveFolder_.empty() && Overlap(real, realArchiveFolder_)) {
        ReportLinkNotFollowed(link, Relation(real, realArchiveFolder_) + ", the backup's own folder");
    } else {
        follow = true;
        walked_.push_back(real);
        followedLinks_.emplace_back(link, real);
    }
    linkDecisions_.emplace(link, follow);
    return follow;
}

void TArchiveThreadBase::ReportLinkNotFollowed(const std::string& link, const std::string& why) {
    Report().Log(link.substr(0, link.size() - 1), "Linked Folder", "Linked folder not followed: " + why,
                 true);
}

std::string TArchiveThreadBase::RealFormOf(const std::string& folder) const {
    const std::pair<std::string, std::string>* best = nullptr;
    for (const auto& followed : followedLinks_)
        if (std::string_view(folder).starts_with(followed.first) &&
            (!best || followed.first.size() > best->first.size()))
            best = &followed;
    return best ? best->second + folder.substr(best->first.size()) : folder;
}

std::string TArchiveThreadBase::ResolvedFolder(const std::string& folder) const {
    std::string existing = folder;
    std::string rest;
    while (!existing.empty()) {
        std::string real = Files().RealPath(existing);
        if (!real.empty()) {
            if (real.back() != '/') real += '/';
            return real + rest;
        }
        while (existing.size() > 1 && existing.back() == '/')
            existing.pop_back();
        const std::size_t slash = existing.rfind('/');
        if (slash == std::string::npos || existing.size() <= 1) break;
        rest = existing.substr(slash + 1) + "/" + rest;
        existing.resize(slash + 1);
    }
    return {};
}

void TArchiveThreadBase::NoteWalkedFolders() {
    walked_.clear();
    followedLinks_.clear();
    linkDecisions_.clear();
    for (const std::string& folder : FolderList) {
        const std::string real = Files().RealPath(folder);
        if (!real.empty()) walked_.push_back(real.back() == '/' ? real : real + "/");
    }
    realArchiveFolder_ = ArchiveFolder.empty() ? std::string() : ResolvedFolder(ArchiveFolder);
}

bool TArchiveThreadBase::MayClearArchiveFolder() {
    const std::optional<std::string> refusal =
        ArchiveFolderClearingRefusal(Files(), ArchiveFolder, DatabaseFile);
    if (!refusal) return true;
    ReportThreadError(ThreadErrorKind::Refused, std::string(kCopyThreadErrorPrefix) + "The archive folder " +
                                                    ArchiveFolder + " " + *refusal +
                                                    "; nothing in it is deleted and nothing is copied");
    return false;
}

void TArchiveThreadBase::ReleaseDrive() {
    fileLog_.reset(); // what is pending is committed first
    database_.reset();
    TBackUpThreadBase::ReleaseDrive();
}

void TArchiveThreadBase::OpenDatabase() {
    // A missing database is created with its tables; no template file is needed.
    database_ = std::make_unique<BackupDatabase>(DatabaseFile);
    fileLog_ = std::make_unique<FileLogBatch>(*database_);
    runId_ = database_->BeginRun(ArchiveLogKey(ArchiveFolder, DatabaseFile), StartTime(),
                                 ArchiveFormatText(ArchiveMode));
}

std::optional<CopiedFile> TArchiveThreadBase::LastCopied(std::string_view file) {
    return fileLog_ ? fileLog_->LastCopied(file) : std::nullopt;
}

std::unordered_map<std::string, CopiedFile> TArchiveThreadBase::CopiedInFolder(std::string_view folder) {
    if (!fileLog_) return {};
    return fileLog_->CopiedInFolder(folder);
}

void TArchiveThreadBase::RecordCopied(std::string_view file, int64_t size) {
    if (fileLog_) fileLog_->RecordCopied(file, StartTime(), size);
}

void TArchiveThreadBase::CommitFileLog() {
    if (fileLog_) fileLog_->Commit();
}

std::vector<std::string> TArchiveThreadBase::WrittenArchives() {
    if (!database_) return {};
    return database_->WrittenArchives(ArchiveLogKey(ArchiveFolder, DatabaseFile));
}

void TArchiveThreadBase::RecordWrittenArchive(std::string_view fileName) {
    if (database_) database_->RecordWrittenArchive(ArchiveLogKey(ArchiveFolder, DatabaseFile), fileName);
}

void TArchiveThreadBase::ForgetWrittenArchive(std::string_view fileName) {
    if (database_) database_->ForgetWrittenArchive(ArchiveLogKey(ArchiveFolder, DatabaseFile), fileName);
}

void TArchiveThreadBase::SetRunStatus(std::string_view status) {
    CommitFileLog();
    if (database_ && runId_) database_->SetRunStatus(*runId_, status);
}

} // namespace drivlet

#include "core/engine/backup/TCopyFolderThread.h"

#include "core/engine/PathMapping.h"
#include "core/engine/ReadAhead.h"
#include "core/text/CaseFold.h"

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>

namespace drivlet {
namespace {

// Pending history rows are written before a copy that may take a while, so the write lock is
// not held through it.
constexpr int64_t kCommitBeforeBytes = 8 << 20;

// The names in a folder, read once when first needed.
class TargetNames {
public:
    TargetNames(const IFileSystem& files, std::string folder) : files_(&files), folder_(std::move(folder)) {}
    // A file (or anything but a folder) of that name.
    bool HasFile(const std::string& name) {
        Read();
        return names_.count(name) != 0;
    }

private:
    void Read() {
        if (read_) return;
        read_ = true;
        files_->ListFolder(
            folder_,
            [this](const FolderEntry& e) {
                if (!e.isDirectory) names_.insert(e.name);
                return true;
            },
            ListDetail::NamesAndTypes);
    }

    const IFileSystem* files_;
    std::string folder_;
    bool read_ = false;
    std::unordered_set<std::string> names_;
};

} // namespace

std::string TCopyFolderThread::TargetFor(std::string_view path) const {
    return ArchiveFolder + MappedPath(path);
}

void TCopyFolderThread::Execute() {
    if (!RunBackUpBase()) return;
    switch (ArchiveMode) {
    case TArchiveMode::amOnlyNew:
    case TArchiveMode::amTimeStamped:
        CopyAll(Pass::Fresh);
        break;
    case TArchiveMode::amCompletelyNew:
        if (!DeleteOldBackup()) return;
        CopyAll(Pass::Fresh);
        break;
    case TArchiveMode::amIncremental:
    case TArchiveMode::amTimeStampedIncremental:
        CopyAll(Pass::Incremental);
        break;
    case TArchiveMode::amMove:
        StartClock();
        for (const std::string& folder : FolderList) {
            if (Terminated()) break;
            CopyPass(folder, ArchiveFolder, Pass::Incremental, DeleteSources);
            // The job's source folder survives its move.
            if (GetFileSize(folder) < 0 && !FileOps().DriveGone()) Files().CreateFolders(folder);
        }
        break;
    }
    const bool canceled = Terminated();
    SetRunStatus(canceled ? "Canceled" : "Finished !");
    ShowStatus(canceled ? StatusPhase::Canceled : StatusPhase::Finished,
               canceled ? "Canceled" : "Finished !");
}

bool TCopyFolderThread::DeleteOldBackup() {
    if (ArchiveHoldsSources()) {
        ReportThreadError(ThreadErrorKind::Refused, std::string(kCopyThreadErrorPrefix) +
                                                        "The archive folder " + ArchiveFolder +
                                                        " holds a source of the job; it is not deleted");
        return false;
    }
    if (!MayClearArchiveFolder()) return false;
    FilesDone = -1;
    ShowStatus(StatusPhase::Step, "Deleting Archive... ");
    // Only the copies this job's runs made (its FileLog knows their sources): whatever else the
    // folder holds, the user's files or another job's backup, stays.
    for (const std::string& folder : FolderList) {
        if (Terminated()) return false;
        const std::string target = TargetFor(folder);
        if (GetFileSize(target) != 0) continue;
        FileOps().DeleteFolderFiles(target, [this, &folder, &target](const std::string& file) {
            return LastCopied(folder + file.substr(target.size())).has_value();
        });
    }
    for (const std::string& file : FileList) {
        if (Terminated()) return false;
        const std::string target = TargetFor(file);
        if (GetFileSize(target) < 0 || IsFolderAt(target) || !LastCopied(file)) continue;
        ReportFileResult(target, "Delete File", FileOps().Delete(target));
    }
    FilesDone = 0;
    return true;
}

void TCopyFolderThread::CopyAll(Pass pass) {
    StartClock();
    for (const std::string& folder : FolderList) {
        if (Terminated()) return;
        CopyPass(folder, TargetFor(folder), pass, false);
    }
    for (const std::string& file : FileList) {
        if (Terminated()) return;
        CopySingleFile(file, pass);
    }
}

bool TCopyFolderThread::ConsultsFileLog(Pass pass) const {
    return pass == Pass::Incremental || ArchiveMode == TArchiveMode::amOnlyNew;
}

template <typename CopiedRow, typename TargetExists>
bool TCopyFolderThread::Takes(Pass pass, TDateTime fileTime, int64_t fileSize, CopiedRow&& lastCopied,
                              TargetExists&& targetExists) {
    if (!ConsultsFileLog(pass)) return true;
    const std::optional<CopiedFile> copied = lastCopied();
    if (!copied) return true;
    if (pass == Pass::Fresh) return false;
    if (copied->Changed(fileTime, fileSize)) return true;
    // Targets of a time-stamped run live in an earlier run's folder.
    if (ArchiveMode == TArchiveMode::amTimeStampedIncremental) return false;
    return !targetExists();
}

void TCopyFolderThread::CopyPass(const std::string& source, const std::string& target, Pass pass,
                                 bool moving) {
    // What the files of the folder being walked need: where they go, whether they move, the
    // names at the target and the folder's FileLog rows (at once, rather than a lookup per file).
    struct Level {
        std::string target;
        bool moving;
        TargetNames names;
        std::unordered_map<std::string, CopiedFile> copied;
        const std::vector<FolderEntry>* entries;
        ReadAhead readAhead;
        // On a destination that folds letter case: each name there, folded, by the entry that took it.
        std::unordered_map<std::string, std::string> taken;
    };
    std::vector<Level> levels;
    bool nextMoving = moving;
    const bool foldsCase = Files().FoldsLetterCase(target);
    // A second name the destination takes for the first is a failed line naming both, and is not
    // copied: both copies would be one file there.
    const auto clashes = [&](const std::string& folder, const FolderEntry& entry) {
        if (!foldsCase) return false;
        Level& level = levels.back();
        const auto [first, fresh] = level.taken.try_emplace(LowerCase(entry.name), entry.name);
        if (fresh || first->second == entry.name) return false;
        Report().Log(folder + entry.name, entry.isDirectory ? "Copy Folder" : "Copy File",
                     "Not backed up: the destination does not tell letter case apart, and " + folder +
                         first->second + " has this name there",
                     true);
        return true;
    };
    FolderWalk::Steps steps;
    steps.list = [this](const std::string& folder, std::vector<FolderEntry>& entries) {
        return TakeListing(folder, entries);
    };
    steps.begin = [&](const std::string& folder, const std::vector<FolderEntry>& entries) {
        std::string folderTarget = target + folder.substr(source.size());
        const bool hasFiles =
            std::any_of(entries.begin(), entries.end(), [](const FolderEntry& e) { return !e.isDirectory; });
        auto copied = hasFiles && ConsultsFileLog(pass) ? CopiedInFolder(folder)
                                                        : std::unordered_map<std::string, CopiedFile>();
        TargetNames names(Files(), folderTarget);
        // The disk reads the next files of the folder while the current one is copied.
        ReadAhead readAhead(Files(), entries.size(), [&entries, folder](size_t i) {
            const FolderEntry& e = entries[i];
            return e.isDirectory || e.special != SpecialKind::None ? std::string() : folder + e.name;
        });
        levels.push_back({std::move(folderTarget),
                          nextMoving,
                          std::move(names),
                          std::move(copied),
                          &entries,
                          std::move(readAhead),
                          {}});
    };
    steps.end = [&](const std::string&, std::vector<FolderEntry>&) { levels.pop_back(); };
    steps.enters = [&](const std::string& sub, const FolderEntry& entry) {
        if (!EntersFolder(sub, entry)) return false;
        if (clashes(sub.substr(0, sub.size() - entry.name.size() - 1), entry)) return false;
        Level& level = levels.back();
        if (level.names.HasFile(entry.name) && !ClearForFolder(sub, level.target + entry.name, pass))
            return false;
        // A linked folder's files belong elsewhere: a move copies them and leaves them there.
        nextMoving = level.moving && !entry.isSymlink;
        return true;
    };
    steps.left = [&](const std::string& sub, const FolderEntry& entry) {
        // Emptied by the move; still holding what was not moved, it stays.
        if (levels.back().moving && !entry.isSymlink) Files().RemoveFolder(sub);
        FilesDone += 1;
        FoldersDone += 1;
        ShowStatus();
    };
    steps.file = [&](const std::string& folder, const FolderEntry& entry) {
        Level& level = levels.back();
        const std::string path = folder + entry.name;
        const bool filtered = FileFilter.IsExcluded(entry.name, folder);
        if (!filtered && clashes(folder, entry)) {
            PassOver(entry.size);
            return;
        }
        const auto lastCopied = [&]() -> std::optional<CopiedFile> {
            const auto row = level.copied.find(entry.name);
            if (row == level.copied.end()) return std::nullopt;
            return row->second;
        };
        if (!filtered && Takes(pass, entry.time, entry.size, lastCopied,
                               [&] { return level.names.HasFile(entry.name); })) {
            level.readAhead.Before(static_cast<size_t>(&entry - level.entries->data()));
            CopyOne(path, level.target + entry.name, entry.size, entry.time, pass == Pass::Fresh,
                    level.moving);
            ShowStatus();
        } else {
            if (level.moving && !filtered) DeleteUpToDate(path, level.target + entry.name, entry);
            PassOver(entry.size);
        }
    };
    WalkFolder(source, std::move(steps), "Copy File");
}

bool TCopyFolderThread::ClearForFolder(const std::string& sourceFolder, const std::string& file, Pass pass) {
    if (pass == Pass::Fresh) {
        Report().Log(sourceFolder, "Copy Folder",
                     "Left alone: the backup holds a file at this folder's name and this run never "
                     "overwrites, so the folder is not backed up",
                     true);
        return false;
    }
    // The old copy of the file makes way, into the deleted-files store when that is on.
    const bool cleared = FileOps().Delete(file);
    ReportFileResult(file, FileOps().Store().MoveToDeleted ? "Move To Deleted Files" : "Delete File",
                     cleared);
    if (cleared) return true;
    Report().Log(sourceFolder, "Copy Folder",
                 "Not backed up: the file of the backup at this folder's name could not make way", true);
    return false;
}

bool TCopyFolderThread::ClearForFile(const std::string& source, const std::string& target,
                                     bool failIfExists) {
    std::string why;
    if (failIfExists) {
        why = "the backup holds a folder at this file's name and this run never overwrites";
    } else if (!FileOps().Store().MoveToDeleted) {
        why = "the backup holds a folder of earlier copies at this file's name, which would be lost "
              "without the deleted-files store";
    } else {
        // The folder's copies go into the store one by one; what cannot go keeps the folder.
        FileOps().DeleteFolder(target + "/");
        if (!Files().GetAttributes(target)) return true;
        why = "the backup's folder at this file's name could not be moved into the deleted-files store";
    }
    Report().Log(source, "Copy File", "Left alone: " + why + ", so the file is not backed up", true);
    return false;
}

void TCopyFolderThread::CopySingleFile(const std::string& path, Pass pass) {
    if (Terminated()) return;
    const int64_t size = GetFileSize(path);
    if (size < 0) return;
    const std::optional<FolderEntry> listed = ListedEntryOf(Files(), path);
    if (listed && listed->special != SpecialKind::None) {
        Report().SpecialFile(path, listed->special, "Copy File");
        return;
    }
    const std::string target = TargetFor(path);
    Files().CreateFolders(std::string(FolderPart(target)));
    const TDateTime time = Files().FileTime(path);
    const bool taken = Takes(
        pass, time, size, [&] { return LastCopied(path); }, [&] { return Files().FileSize(target) >= 0; });
    if (taken) {
        CopyOne(path, target, size, time, pass == Pass::Fresh, false);
        ShowStatus();
    } else {
        PassOver(size);
    }
}

void TCopyFolderThread::PassOver(int64_t size) {
    ClearStatusText();
    BytesTotal -= size;
    FilesDone += 1;
    // An unchanged tree of 100,000 files must not make as many trips to the panel; the final
    // status shows the full count.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPassOverReport_ < kPassOverReportPace) return;
    lastPassOverReport_ = now;
    ShowStatus();
}

void TCopyFolderThread::CopyOne(const std::string& source, const std::string& target, int64_t size,
                                TDateTime time, bool failIfExists, bool deleteSource) {
    FilesDone += 1;
    ShowStatus(StatusPhase::File, "File : " + source);
    if (size >= kCommitBeforeBytes) CommitFileLog();
    bool copied = FileOps().Copy(source, target, failIfExists, deleteSource, size);
    // A run that ended between a copy and its row (killed, the drive pulled) left the complete
    // copy: a copy is only ever named once it is whole, with its source's time.
    if (!copied && failIfExists && FileOps().LastError().code() == EEXIST)
        copied = HoldsCopyOf(target, size, time);
    // A folder where the file was before: moved aside it makes room, else the line says why not.
    if (!copied && (FileOps().LastError().code() == EISDIR || FileOps().LastError().code() == EEXIST) &&
        IsFolderAt(target)) {
        if (!ClearForFile(source, target, failIfExists)) {
            BytesDone += size;
            return;
        }
        copied = FileOps().Copy(source, target, failIfExists, deleteSource, size);
    }
    if (copied) RecordCopied(source, size);
    ReportFileResult(source, "Copy File", copied);
    BytesDone += size;
}

void TCopyFolderThread::DeleteUpToDate(const std::string& source, const std::string& target,
                                       const FolderEntry& entry) {
    // A source that differs from what the target holds is kept: deleting it would lose it.
    if (Files().FileSize(target) != entry.size || Files().FileTime(target) != entry.time) return;
    ReportFileResult(source, "Delete File", FileOps().Delete(source));
}

bool TCopyFolderThread::IsFolderAt(const std::string& path) const {
    const std::optional<uint32_t> there = Files().GetAttributes(path);
    return there && (*there & fa::Directory);
}

bool TCopyFolderThread::HoldsCopyOf(const std::string& target, int64_t size, TDateTime time) const {
    return Files().FileSize(target) == size && Files().FileTime(target) == time;
}

bool TCopyFolderThread::ArchiveHoldsSources() const {
    if (ArchiveFolder.size() < 2 || ArchiveFolder.front() != '/') return true;
    for (const std::string& folder : FolderList)
        if (std::string_view(folder).starts_with(ArchiveFolder) ||
            std::string_view(ArchiveFolder).starts_with(folder))
            return true;
    for (const std::string& file : FileList)
        if (std::string_view(file).starts_with(ArchiveFolder)) return true;
    return false;
}

} // namespace drivlet

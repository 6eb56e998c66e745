#include "core/engine/restore/TRestoreZipThread.h"

#include "core/engine/PathMapping.h"
#include "core/engine/backup/ZipLayout.h"
#include "core/engine/restore/RestorePath.h"
#include "core/text/CaseFold.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

namespace drivlet {
namespace {

// A chosen path relative to the backup root, split at its archive: "Root.Zip/home/a/" gives
// "Root.Zip" and "home/a/".
std::optional<std::pair<std::string, std::string>> SplitAtArchive(std::string_view rel) {
    const std::string lower = LowerCase(rel);
    std::size_t from = 0;
    for (;;) {
        const std::size_t hit = lower.find(".zip", from);
        if (hit == std::string::npos) return std::nullopt;
        const std::size_t end = hit + 4;
        if (end == rel.size()) return std::make_pair(std::string(rel), std::string());
        if (rel[end] == '/')
            return std::make_pair(std::string(rel.substr(0, end)), std::string(rel.substr(end + 1)));
        from = hit + 1;
    }
}

} // namespace

TRestoreZipThread::TRestoreZipThread(const ThreadServices& services) : TRestoreThreadBase(services) {
    // The work is counted from the archives' own lists, not from the file system.
    CountTotals = false;
}

void TRestoreZipThread::Execute() {
    if (!BackupRoot.empty() && BackupRoot.back() != '/') BackupRoot += '/';
    CountTotals = false;
    if (!RunBackUpBase() || !OpenScope()) return;
    RunGuarded(kCopyThreadErrorPrefix, [this] {
        FilesDone = -1;
        ShowStatus(StatusPhase::Step, "Prepareing... ");
        ReadChoice();
        QueueEntries();
        if (FolderList.empty() && FileList.empty()) notFound_.push_back(BackupRoot);
        for (const std::string& path : notFound_)
            ReportNothingMatched(path, "UnZip File");
        StartClock();
        for (Choice& choice : choices_) {
            if (Terminated()) break;
            RestoreArchive(choice);
        }
        ShowStatus(Terminated() ? StatusPhase::Canceled : StatusPhase::Finished,
                   Terminated() ? " Canceled" : " Finished !");
    });
}

TRestoreZipThread::Choice& TRestoreZipThread::ChoiceFor(const std::string& archive) {
    for (Choice& choice : choices_)
        if (SameText(choice.archive, archive)) return choice;
    choices_.push_back({});
    choices_.back().archive = archive;
    return choices_.back();
}

bool TRestoreZipThread::Wanted::Takes(const std::string& entry) const {
    if (!name.empty() && name.back() == '/') return std::string_view(entry).starts_with(name);
    return entry == name || (std::string_view(entry).starts_with(name) && entry.size() > name.size() &&
                             entry[name.size()] == '/');
}

void TRestoreZipThread::ReadChoice() {
    for (const std::string& folder : FolderList) {
        if (Terminated()) return;
        const auto split = std::string_view(folder).starts_with(BackupRoot)
                               ? SplitAtArchive(std::string_view(folder).substr(BackupRoot.size()))
                               : std::nullopt;
        if (!split) {
            notFound_.push_back(folder);
            continue;
        }
        Choice& choice = ChoiceFor(split->first);
        // The archive itself stands for all of it; a folder inside it for what lies below.
        if (split->second.empty()) {
            choice.whole = true;
        } else {
            std::string prefix = split->second;
            if (prefix.back() != '/') prefix += '/';
            choice.wanted.push_back({std::move(prefix), folder});
        }
    }
    for (const std::string& file : FileList) {
        if (Terminated()) return;
        const auto split = SplitAtArchive(file);
        if (!split) {
            notFound_.push_back(file);
            continue;
        }
        Choice& choice = ChoiceFor(split->first);
        if (split->second.empty())
            choice.whole = true;
        else
            choice.wanted.push_back({split->second, file});
    }
}

void TRestoreZipThread::QueueEntries() {
    std::vector<FolderEntry> archives;
    const FileStatus listed = Files().ReadFolder(BackupRoot, archives, ListDetail::NamesAndTypes);
    if (!listed && listed.code() != ENOENT) Report().UnlistedFolder(BackupRoot, listed);
    std::vector<Choice> found;
    int64_t count = 0;
    int64_t bytes = 0;
    for (const FolderEntry& file : archives) {
        if (Terminated()) return;
        if (file.isDirectory || !IsZipFileName(file.name)) continue;
        const auto chosen = std::find_if(choices_.begin(), choices_.end(),
                                         [&](const Choice& c) { return SameText(c.archive, file.name); });
        if (chosen == choices_.end()) continue;
        const std::string path = BackupRoot + file.name;
        // Opening a FIFO of that name would wait for ever for a writer.
        if (file.special != SpecialKind::None) {
            Report().SpecialFile(path, file.special, "UnZip File");
            continue;
        }
        ShowStatus(StatusPhase::Step, "Searching Files... : " + path);
        ZipReader reader;
        const ZipStatus opened = OpenArchive(reader, path);
        if (!opened) {
            ReportThreadError(ThreadErrorKind::FileOperation, opened.Describe(path), opened.code());
            choices_.erase(chosen);
            continue;
        }
        Choice choice = std::move(*chosen);
        choices_.erase(chosen);
        choice.archive = file.name;
        for (ZipEntryInfo& entry : reader.Entries()) {
            bool taken = choice.whole;
            for (Wanted& wanted : choice.wanted) {
                if (!wanted.Takes(entry.name)) continue;
                wanted.found = true;
                taken = true;
            }
            if (!taken) continue;
            count += 1;
            bytes += entry.size;
            choice.entries.push_back(std::move(entry));
        }
        std::sort(choice.entries.begin(), choice.entries.end(),
                  [](const ZipEntryInfo& a, const ZipEntryInfo& b) { return a.name < b.name; });
        for (const Wanted& wanted : choice.wanted)
            if (!wanted.found) notFound_.push_back(wanted.shown);
        found.push_back(std::move(choice));
    }
    // A chosen archive that is missing from the backup has nothing of what was chosen in it.
    for (const Choice& missing : choices_) {
        if (missing.whole) notFound_.push_back(BackupRoot + missing.archive);
        for (const Wanted& wanted : missing.wanted)
            notFound_.push_back(wanted.shown);
    }
    choices_ = std::move(found);
    std::sort(choices_.begin(), choices_.end(),
              [](const Choice& a, const Choice& b) { return LowerCase(a.archive) < LowerCase(b.archive); });
    FilesTotal = count;
    BytesTotal = bytes;
}

ZipStatus TRestoreZipThread::OpenArchive(ZipReader& reader, const std::string& path) const {
    // Through the drive's handle, and never through a link that leads off the drive.
    const FileStatus reach = Files().Reach(path);
    if (!reach) return ZipStatus::CannotOpen(reach.message(), reach.code());
    return reader.Open(Files().SystemPath(path), ZipPassword);
}

void TRestoreZipThread::RestoreArchive(Choice& choice) {
    const std::string path = BackupRoot + choice.archive;
    const std::string base = ZipExtractionBase(choice.archive, RestoreTarget);
    if (!IsWritablePlace(base)) {
        ReportThreadError(ThreadErrorKind::Refused, std::string(kCopyThreadErrorPrefix) + "The archive " +
                                                        path +
                                                        " has no place to be restored to on this computer");
        FilesDone += static_cast<int64_t>(choice.entries.size());
        return;
    }
    ZipReader reader;
    const ZipStatus opened = OpenArchive(reader, path);
    if (!opened) {
        ReportThreadError(ThreadErrorKind::FileOperation, opened.Describe(path), opened.code());
        return;
    }
    Files().CreateFolders(base);
    for (const ZipEntryInfo& entry : choice.entries) {
        if (Terminated()) return;
        RestoreEntry(reader, choice.archive, entry, base);
    }
}

void TRestoreZipThread::RestoreEntry(const ZipReader& reader, const std::string& archive,
                                     const ZipEntryInfo& entry, const std::string& base) {
    const std::string& name = entry.name;
    FilesDone += 1;
    ShowStatus(StatusPhase::File, "File : " + base + name);
    Report().FileAction("Unziping File: " + name);
    // An entry must not reach outside the folder it is extracted below.
    if (!IsSafeRelativeName(name)) {
        LogFailure(name, "Refused: the entry name leads outside the restore folder");
        return;
    }
    // The backup writes no folder entries, so one is never the run's either.
    if (!AdmitsEntry(archive, name)) {
        ReportNotInBackup(name, "UnZip File");
        return;
    }
    const std::string target = base + name;
    if (entry.IsFolder()) {
        const bool made = MakeRestoreFolder(target, base);
        if (made) {
            Report().Log(name, "UnZip File", "Done", false);
        } else {
            LogFailure(name, "The folder cannot be made: " + Files().CreateFolders(target).message());
        }
        return;
    }
    const std::string folder(FolderPart(target));
    const bool folderMade = MakeRestoreFolder(folder, base);
    if (!folderMade) {
        LogFailure(name, "Its folder cannot be made: " + Files().CreateFolders(folder).message());
        return;
    }
    // What killed restores left in the folder goes before this one adds its own.
    if (cleaned_.insert(folder).second) Files().RemoveDeadTemporaries(folder);
    std::string temp = Files().TemporaryName(folder);
    while (Files().GetAttributes(temp))
        temp = Files().TemporaryName(folder);

    const ZipStatus extracted = reader.Extract(
        entry, temp,
        [this](int64_t done, int64_t total) {
            Report().FileProgress(total > 0 ? done * 100.0 / total : 0.0);
        },
        [this] { return Terminated(); });
    if (!extracted) {
        Files().DeleteFile(temp);
        if (extracted.canceled()) return; // the run ends as canceled; the old file stands
        ReportThreadError(ThreadErrorKind::FileOperation, extracted.Describe(name), extracted.code());
        LogFailure(name, "Error Code " + std::to_string(extracted.code()));
        return;
    }
    if (entry.permissions) {
        std::error_code ec;
        std::filesystem::permissions(temp, static_cast<std::filesystem::perms>(*entry.permissions), ec);
    }
    // The file in place goes into the deleted-files store first when that is on; otherwise the
    // new one simply replaces it.
    const std::optional<uint32_t> existing = Files().GetAttributes(target);
    if (existing && (*existing & fa::Directory)) {
        Files().DeleteFile(temp);
        LeaveFolderAtFile(name, "UnZip File");
        return;
    }
    if (FileOps().Store().MoveToDeleted && existing && !FileOps().Delete(target)) {
        Files().DeleteFile(temp);
        LogFailure(name, FileOps().LastError().message());
        return;
    }
    const FileStatus placed = Files().MoveFile(temp, target, CopyMode::Overwrite);
    if (!placed) {
        Files().DeleteFile(temp);
        LogFailure(name, placed.message());
        return;
    }
    // Dated once in place: a temporary file with an old date would look abandoned to others.
    if (entry.time > 0) Files().SetFileTime(target, entry.time);
    Report().Log(name, "UnZip File", "Done", false);
    BytesDone += entry.size;
    ShowStatus();
}

void TRestoreZipThread::LogFailure(const std::string& name, std::string status) {
    Report().Log(name, "UnZip File", std::move(status), true);
}

} // namespace drivlet

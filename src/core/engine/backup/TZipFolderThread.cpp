#include "core/engine/backup/TZipFolderThread.h"

#include "core/engine/PathMapping.h"
#include "core/engine/backup/ZipLayout.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace drivlet {

std::string TZipFolderThread::ZipNameFor(std::string_view path) const {
    return ArchiveFolder + ZipArchiveName(path);
}

void TZipFolderThread::Execute() {
    Files().CreateFolders(ArchiveFolder);
    if (!RunBackUpBase()) return;
    RunGuarded(kCopyThreadErrorPrefix, [this] {
        // A move job keeps its sources unless the job says to delete them.
        const bool moving = ArchiveMode == TArchiveMode::amMove && DeleteSources;
        // A refused delete ends the run; a cancelled one still records "Canceled".
        if (ArchiveMode == TArchiveMode::amCompletelyNew && !DeleteOldArchives() && !Terminated()) return;
        StartClock();
        for (const std::string& folder : FolderList) {
            if (Terminated()) break;
            SelectArchive(ZipNameFor(folder));
            AddFolder(folder, moving);
        }
        for (const std::string& file : FileList) {
            if (Terminated()) break;
            AddSingleFile(file, moving);
        }
        WriteArchive();
        const bool canceled = Terminated();
        SetRunStatus(canceled ? "Canceled" : "Finished !");
        ShowStatus(canceled ? StatusPhase::Canceled : StatusPhase::Finished,
                   canceled ? "Canceled" : "Finished !");
    });
    // After an exception whatever was queued is dropped; the archive on disk stays as it was.
    writer_.reset();
    writeLock_.reset();
}

bool TZipFolderThread::DeleteOldArchives() {
    // The archive folder's own zip files may be what the job backs up.
    for (const std::string& folder : FolderList) {
        if (folder != ArchiveFolder) continue;
        ReportThreadError(ThreadErrorKind::Refused,
                          std::string(kCopyThreadErrorPrefix) + "The archive folder " + ArchiveFolder +
                              " is a source of the job; its archives are not deleted");
        return false;
    }
    if (!MayClearArchiveFolder()) return false;
    FilesDone = -1;
    ShowStatus(StatusPhase::Step, "Deleting Archive... ");
    // Only what the job wrote itself: a zip file of the user's beside the backup is not ours.
    for (const std::string& name : WrittenArchives()) {
        if (Terminated()) return false;
        if (name.find('/') != std::string::npos || !IsZipFileName(name)) continue;
        const std::string path = ArchiveFolder + name;
        if (Files().FileSize(path) < 0) {
            ForgetWrittenArchive(name);
            continue;
        }
        SetStatus(StatusPhase::DeletingFile, "Deleting Archive. File : " + path);
        // Old archives never go into the deleted-files store.
        const FileStatus deleted = Files().DeleteFile(path);
        if (deleted) {
            ForgetWrittenArchive(name);
            continue;
        }
        ReportThreadError(ThreadErrorKind::FileOperation,
                          "File not Deleted, error code = " + std::to_string(deleted.code()) + "\n" +
                              "File Name : " + path,
                          deleted.code());
    }
    FilesDone = 0;
    return true;
}

bool TZipFolderThread::Takes(const std::string& path, TDateTime fileTime, int64_t fileSize) {
    switch (ArchiveMode) {
    case TArchiveMode::amCompletelyNew:
    case TArchiveMode::amTimeStamped:
        return true;
    case TArchiveMode::amOnlyNew:
        return !LastCopied(path);
    case TArchiveMode::amTimeStampedIncremental: {
        const std::optional<CopiedFile> added = LastCopied(path);
        return !added || added->Changed(fileTime, fileSize);
    }
    case TArchiveMode::amIncremental:
    case TArchiveMode::amMove: {
        const std::optional<CopiedFile> added = LastCopied(path);
        if (!added || added->Changed(fileTime, fileSize)) return true;
        // An archive that was deleted or replaced since no longer holds the file.
        return writer_ && !writer_->Contains(ZipEntryName(path));
    }
    }
    return true;
}

void TZipFolderThread::AddFolder(const std::string& root, bool moving) {
    FolderWalk::Steps steps;
    steps.list = [this](const std::string& folder, std::vector<FolderEntry>& entries) {
        return TakeListing(folder, entries);
    };
    steps.begin = [this](const std::string& folder, const std::vector<FolderEntry>&) {
        DropEntry(ZipEntryName(folder.substr(0, folder.size() - 1)), "a folder now has its name");
    };
    steps.enters = [this](const std::string& sub, const FolderEntry& entry) {
        return EntersFolder(sub, entry);
    };
    steps.left = [this](const std::string&, const FolderEntry&) {
        FilesDone += 1;
        FoldersDone += 1;
        ShowStatus();
    };
    steps.file = [&](const std::string& folder, const FolderEntry& entry) {
        const std::string path = folder + entry.name;
        // Only the files directly in a moved source folder leave it.
        const bool movingHere = moving && (folder == root || folder == root + "/");
        if (path != zipFileName_ && !FileFilter.IsExcluded(entry.name, folder) &&
            Takes(path, entry.time, entry.size)) {
            Queue(path, entry.size, entry.time, movingHere);
            ShowStatus();
        } else {
            SetStatus(StatusPhase::SkippingFile, "Skiping File : " + path);
            PassOver(entry.size);
        }
    };
    WalkFolder(root, std::move(steps), "Zip File");
}

void TZipFolderThread::DropEntry(const std::string& entryName, std::string_view why) {
    if (!writer_ || !writer_->Contains(entryName) || !writer_->Remove(entryName)) return;
    dropped_.push_back({entryName, std::string(why)});
}

void TZipFolderThread::AddSingleFile(const std::string& path, bool moving) {
    if (Terminated()) return;
    const int64_t size = GetFileSize(path);
    if (size < 0) return;
    // The library would open a FIFO and wait for ever for a writer.
    const std::optional<FolderEntry> listed = ListedEntryOf(Files(), path);
    if (listed && listed->special != SpecialKind::None) {
        Report().SpecialFile(path, listed->special, "Zip File");
        return;
    }
    SelectArchive(ZipNameFor(path));
    const TDateTime time = Files().FileTime(path);
    if (path != zipFileName_ && Takes(path, time, size)) {
        SetStatus(StatusPhase::File, "File : " + path);
        Queue(path, size, time, moving);
        ShowStatus();
    } else {
        ClearStatusText();
        PassOver(size);
    }
}

void TZipFolderThread::PassOver(int64_t size) {
    FilesDone += 1;
    BytesTotal -= size;
    // An unchanged tree of many thousand files must not make as many trips to the panel.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPassOverReport_ < kPassOverReportPace) return;
    lastPassOverReport_ = now;
    ShowStatus();
}

void TZipFolderThread::Queue(const std::string& path, int64_t size, TDateTime time, bool moving) {
    FilesDone += 1;
    ShowStatus(StatusPhase::AddingFile, "Adding File : " + path);
    Report().FileAction("Adding File: " + path);
    const std::string entryName = ZipEntryName(path);
    const ZipStatus added = writer_ ? writer_->AddFile(path, entryName) : openError_;
    // The entries of the folder that had this name before would come back beside the file.
    if (added && writer_->HasEntriesBelow(entryName + "/"))
        for (std::string& below : writer_->RemoveBelow(entryName + "/"))
            dropped_.push_back({std::move(below), "a file now has its folder's name"});
    if (added) {
        queued_.push_back({path, size, time, moving});
        queuedBytes_ += size;
        return;
    }
    ReportThreadError(ThreadErrorKind::FileOperation, added.Describe(path), added.code());
    BytesDone += size;
    Report().Log(path, "Zip File", "Error Code " + std::to_string(added.code()), true);
}

void TZipFolderThread::SelectArchive(const std::string& archive) {
    if (archive == zipFileName_) return;
    WriteArchive();
    zipFileName_ = archive;
    FileStatus locked;
    writeLock_ = Files().TryLock(ZipWriteLockFile(archive), locked);
    if (writeLock_) RemoveKilledWriteCopies(archive);
    // An archive that was there before the run may be the user's own; it never becomes ours.
    archiveIsNew_ = Files().FileSize(archive) < 0;
    auto writer = std::make_unique<ZipWriter>();
    writer->SetPassword(ZipPassword);
    // The library writes its copy beside the archive itself: through the drive's handle too, and
    // never through a link that leads off the drive.
    const FileStatus reach = Files().Reach(archive);
    openError_ = reach ? writer->Open(Files().SystemPath(archive))
                       : ZipStatus::CannotOpen(reach.message(), reach.code());
    if (openError_) {
        writer_ = std::move(writer);
        writerArchive_ = archive;
    } else {
        writer_.reset();
        ReportThreadError(ThreadErrorKind::FileOperation, openError_.Describe(archive), openError_.code());
    }
}

void TZipFolderThread::RemoveKilledWriteCopies(const std::string& archive) {
    const std::string folder(FolderPart(archive));
    const std::string_view name = FileNamePart(archive);
    std::vector<FolderEntry> entries;
    Files().ReadFolder(folder, entries, ListDetail::NamesAndTypes);
    for (const FolderEntry& entry : entries)
        if (!entry.isDirectory && IsZipWriteCopyOf(entry.name, name)) Files().DeleteFile(folder + entry.name);
}

void TZipFolderThread::WriteArchive() {
    // Held until the archive is written or given up.
    const std::unique_ptr<IFileLock> lock = std::move(writeLock_);
    std::unique_ptr<ZipWriter> writer = std::move(writer_);
    const std::string archive = std::exchange(writerArchive_, std::string());
    std::vector<Queued> files = std::move(queued_);
    std::vector<Dropped> dropped = std::move(dropped_);
    const int64_t bytes = queuedBytes_;
    const bool isNew = archiveIsNew_;
    queued_.clear();
    dropped_.clear();
    queuedBytes_ = 0;
    zipFileName_.clear();
    archiveIsNew_ = false;
    if (!writer) return;
    // A cancel before the write leaves the old archive as it was.
    if ((files.empty() && dropped.empty()) || Terminated()) {
        writer->Discard();
        return;
    }
    ShowStatus(StatusPhase::Step, "Saving Archive : " + archive);
    Report().FileAction("Saving Archive: " + std::string(FileNamePart(archive)));
    const int64_t before = BytesDone;
    // The archive is written only onto the drive the run started on.
    if (FileOps().DriveGone()) {
        writer->Discard();
        return;
    }
    ZipStatus written;
    for (;;) {
        written = writer->Close(
            [&](double fraction) {
                BytesDone = before + std::llround(fraction * static_cast<double>(bytes));
                Report().FileProgress(fraction * 100.0);
                ShowStatus();
            },
            [this] { return Terminated(); });
        if (written || !written.diskFull() || Terminated()) break;
        // The new archive is written beside the old one before it replaces it; the failed write
        // has shown that the room there now is not enough.
        const int64_t archiveSize = std::max<int64_t>(0, Files().FileSize(archive));
        const int64_t freeNow = Files().GetDiskSpace(std::string(FolderPart(archive))).freeBytes;
        if (!FileOps().EnsureDiskSpace(archive, std::max(bytes + archiveSize, freeNow + 1))) {
            writer->Discard();
            break;
        }
        BytesDone = before;
    }
    BytesDone = before + bytes;
    if (!written && (written.canceled() || Terminated())) return;
    // An archive written after the drive went is not on the drive: nothing is recorded or deleted.
    if (written && FileOps().DriveGone()) return;
    // Moved files go only once the archive is on the device.
    if (written && std::any_of(files.begin(), files.end(), [](const Queued& f) { return f.deleteAfter; })) {
        const FileStatus flushed = Files().FlushFile(archive);
        if (!flushed) {
            ReportThreadError(ThreadErrorKind::FileOperation,
                              "The archive could not be written through to the drive, no file is deleted : " +
                                  archive + " : " + flushed.message(),
                              flushed.code());
            for (Queued& file : files)
                file.deleteAfter = false;
        }
    }
    if (!written)
        ReportThreadError(ThreadErrorKind::FileOperation, written.Describe(archive), written.code());
    if (written && isNew) RecordWrittenArchive(FileNamePart(archive));
    for (const Dropped& entry : dropped) {
        if (!written) break;
        Report().Log(archive + ": " + entry.name, "Remove From Zip", "Done: " + entry.why, false);
    }
    for (const Queued& file : files) {
        if (written && file.deleteAfter) DeleteMoved(file);
        if (written) RecordCopied(file.path, file.size);
        Report().Log(file.path, "Zip File", written ? "Done" : "Error Code " + std::to_string(written.code()),
                     !written);
    }
}

void TZipFolderThread::DeleteMoved(const Queued& file) {
    // A file changed since it went into the archive is newer than its entry: it stays.
    if (Files().FileSize(file.path) != file.size || Files().FileTime(file.path) != file.time) return;
    Files().SetAttributes(file.path, 0);
    const FileStatus deleted = Files().DeleteFile(file.path);
    if (deleted) return;
    Report().Log(file.path, "Delete File", deleted.message(), true);
}

} // namespace drivlet

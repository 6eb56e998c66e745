#include "core/engine/sync/TSyncFolderThread.h"

#include "core/db/Transaction.h"
#include "core/engine/ReadAhead.h"
#include "core/engine/sync/TSyncDecision.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace drivlet {
namespace {

constexpr std::string_view kCopyAction = "Copy File";
constexpr std::string_view kDeleteAction = "Delete File";
constexpr std::string_view kChangedStatus =
    "Left alone : the file changed during the sync, it is synced at the next run";
constexpr std::string_view kHeldStatus = "Held back : every file recorded in ";
constexpr std::string_view kHeldHow = " is missing; it is carried out once the deletions are allowed";
constexpr std::string_view kHeldEarlierHow =
    " went missing at an earlier run; it is carried out once the deletions are allowed";
// Dates of this many copies are committed together.
constexpr int kDatesPerCommit = 200;

} // namespace

TSyncFolderThread::TSyncFolderThread(const ThreadServices& services) : TSyncThreadBase(services) {}

TSyncFolderThread::~TSyncFolderThread() {
    // The worker uses this object's members; it must be gone before they are.
    Terminate();
    WaitFor();
    RemoveScratchDatabase();
}

std::string TSyncFolderThread::WorkingDatabaseFile() {
    if (!dryRun_) return DatabaseFile;
    namespace fs = std::filesystem;
    std::random_device random;
    const fs::path scratch = fs::temp_directory_path() / ("drivlet-dry-run-" + std::to_string(random()) +
                                                          std::to_string(random()) + ".Usdb");
    scratchDatabase_ = scratch.string();
    // The journal holds what the last run wrote until it is folded into the file.
    for (const std::string suffix : {"", "-wal"}) {
        const fs::path from = DatabaseFile + suffix;
        if (fs::exists(from)) fs::copy_file(from, scratchDatabase_ + suffix);
    }
    return scratchDatabase_;
}

void TSyncFolderThread::ReleaseDrive() {
    dateBatch_.reset();
    Database.reset();
    TSyncThreadBase::ReleaseDrive();
}

void TSyncFolderThread::RemoveScratchDatabase() {
    if (scratchDatabase_.empty()) return;
    Database.reset();
    std::error_code ignored;
    for (const std::string suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(scratchDatabase_ + suffix, ignored);
    scratchDatabase_.clear();
}

// --- the run ---------------------------------------------------------------------------------

void TSyncFolderThread::Execute() {
    ScanAll();
    // Without its database the scan has reported why; there is nothing to decide.
    if (!Database) return;
    // A drive that went during the scan leaves a listing that would read as deletions.
    if (!Terminated() && FileOps().DriveGone()) return;
    if (Terminated()) {
        ShowStatus(StatusPhase::Canceled, "Canceled");
        return;
    }
    RunGuarded(kThreadErrorPrefix, [this] {
        ShowStatus(StatusPhase::Step, "Processing Data....");
        FilePairs.RemoveIf([](const TFilePair& pair) { return TSyncDecision::Unchanged(pair); });
        Decide();
        ComputeTotals();
        if (!ResolveConflicts()) {
            ShowStatus(StatusPhase::Canceled, "Canceled");
            return;
        }
        HoldDeletions();
        // What the user settled is what the progress figures count.
        ComputeTotals();
        if (!dryRun_) {
            SpeedStartTime = Clock().Now();
            FilesDone = 0;
            CarryOut();
        }
        ShowStatus(Terminated() ? StatusPhase::Canceled : StatusPhase::Finished,
                   Terminated() ? "Canceled" : "Finished !");
    });
    // Dates already recorded for files already copied stay, even after a failure.
    try {
        CommitDates();
    } catch (...) {
        dateBatch_.reset();
    }
    RemoveScratchDatabase();
}

void TSyncFolderThread::Decide() {
    const TSyncDecision decision(SyncDirection, SyncDefaultAction);
    // The records of new targets are read under one lock rather than one each.
    const Transaction reading(Database->GetConnection());
    for (TFilePair& pair : FilePairs) {
        const TPairDecision decided = decision.Decide(pair);
        pair.FileAction = decided.action;
        pair.Ask = decided.ask;
        if ((pair.FileAction == TFileAction::faCopyAB || pair.FileAction == TFileAction::faCopyBA) &&
            !AssignTarget(pair)) {
            pair.FileAction = TFileAction::faSkip;
            pair.Ask = false;
        }
    }
}

bool TSyncFolderThread::AssignTarget(TFilePair& pair) {
    TFileData& target = pair.FileAction == TFileAction::faCopyAB ? pair.FileB : pair.FileA;
    if (target.Present()) return true;
    const std::optional<SyncFileRecord> record = Database->FindById(pair.RecordID);
    if (!record) return false;
    // No file there yet: the size stays -1 and the date 0.
    if (pair.FileAction == TFileAction::faCopyAB)
        target.FileName = record->FolderB + record->FileName;
    else
        target.FileName = OnDrive(record->FolderA + record->FileName);
    return true;
}

void TSyncFolderThread::ComputeTotals() {
    FilesTotal = 0;
    BytesTotal = 0;
    for (const TFilePair& pair : FilePairs) {
        switch (pair.FileAction) {
        case TFileAction::faCopyAB:
            BytesTotal += pair.FileA.FileSize;
            break;
        case TFileAction::faCopyBA:
            BytesTotal += pair.FileB.FileSize;
            break;
        case TFileAction::faDelete:
            BytesTotal += pair.FileA.Present() ? pair.FileA.FileSize : pair.FileB.FileSize;
            break;
        case TFileAction::faSkip:
            continue;
        }
        ++FilesTotal;
    }
}

bool TSyncFolderThread::ResolveConflicts() {
    std::vector<size_t> indices;
    for (size_t i = 0; i < FilePairs.Count(); ++i)
        if (FilePairs[i].Ask) indices.push_back(i);
    if (indices.empty()) return true;

    ConflictAnswer answer;
    if (prompt_) {
        // The prompt may keep the question past this run's end: it gets copies, never the pairs.
        std::vector<TFilePair> asked;
        asked.reserve(indices.size());
        for (const size_t i : indices)
            asked.push_back(FilePairs[i]);
        answer = AskAndWait<ConflictAnswer>(
            [&](Answer<ConflictAnswer> given) { prompt_->Resolve(std::move(asked), std::move(given)); },
            std::nullopt);
    } else if (dryRun_) {
        return true; // the listing shows what "Use the newest version" would do
    } else {
        ReportThreadError(ThreadErrorKind::Unanswered,
                          "File conflicts need an answer and there is nobody to ask : sync canceled");
    }
    if (!answer) {
        Terminate();
        ShowStatus(StatusPhase::Canceled, "Canceled :(");
        return false;
    }

    ShowStatus(StatusPhase::Step, "Processing User Action");
    for (size_t i = 0; i < indices.size() && i < answer->size(); ++i) {
        TFilePair& pair = FilePairs[indices[i]];
        pair.FileAction = ResolvedAction(pair, (*answer)[i]);
    }
    return true;
}

void TSyncFolderThread::HoldDeletions() {
    if (EmptiedSides.empty()) return;
    std::vector<size_t> held(EmptiedSides.size(), 0);
    size_t count = 0;
    for (const TFilePair& pair : FilePairs) {
        if (pair.Emptied < 0 || pair.FileAction != TFileAction::faDelete) continue;
        ++held[static_cast<size_t>(pair.Emptied)];
        ++count;
    }
    std::vector<std::string> folders;
    for (size_t i = 0; i < EmptiedSides.size(); ++i)
        if (held[i] > 0) folders.push_back(EmptiedSides[i].folder);

    bool allowed = false;
    if (count > 0 && prompt_)
        allowed = AskAndWait<bool>(
            [&](Answer<bool> given) { prompt_->ConfirmDeletions(folders, count, std::move(given)); }, false);
    // A folder pair with nothing left to hold is over its emptied state.
    for (size_t i = 0; i < EmptiedSides.size(); ++i) {
        const EmptiedSide& side = EmptiedSides[i];
        if (!side.mountFolder.empty()) {
            // A folder whose volume is not mounted is remembered only while it holds something back.
            if (held[i] == 0 || allowed) ForgetMountFolder(side);
            continue;
        }
        if (held[i] > 0 && !allowed)
            Database->SetHeld(side.rootA, side.rootB, side.side, side.lastFileId);
        else
            Database->ClearHeld(side.rootA, side.rootB);
    }
    if (allowed) return;
    for (TFilePair& pair : FilePairs) {
        if (pair.Emptied < 0 || pair.FileAction != TFileAction::faDelete) continue;
        // Nothing is done and nothing recorded: the record still tells the next run about it.
        pair.FileAction = TFileAction::faSkip;
        ReportHeld(pair, EmptiedSides[static_cast<size_t>(pair.Emptied)]);
    }
}

void TSyncFolderThread::ForgetMountFolder(const EmptiedSide& side) {
    std::vector<std::string> folders = Database->MountedFolders(side.rootA, side.rootB);
    std::erase(folders, side.mountFolder);
    Database->SetMountedFolders(side.rootA, side.rootB, folders);
}

void TSyncFolderThread::ReportHeld(const TFilePair& pair, const EmptiedSide& side) {
    Report().Log(pair.FileA.Present() ? pair.FileA.FileName : pair.FileB.FileName, std::string(kDeleteAction),
                 std::string(kHeldStatus) + side.folder +
                     std::string(side.earlier ? kHeldEarlierHow : kHeldHow),
                 true);
}

// --- carrying the actions out ----------------------------------------------------------------

void TSyncFolderThread::CarryOut() {
    ReadAhead readAhead(Files(), FilePairs.Count(), [this](size_t i) {
        const TFilePair& pair = FilePairs[i];
        if (pair.FileAction == TFileAction::faCopyAB) return pair.FileA.FileName;
        if (pair.FileAction == TFileAction::faCopyBA) return pair.FileB.FileName;
        return std::string();
    });
    for (size_t index = 0; index < FilePairs.Count(); ++index) {
        TFilePair& pair = FilePairs[index];
        if (Terminated()) break;
        switch (pair.FileAction) {
        case TFileAction::faCopyAB:
            readAhead.Before(index);
            CopyPair(pair, pair.FileA, pair.FileB);
            break;
        case TFileAction::faCopyBA:
            readAhead.Before(index);
            CopyPair(pair, pair.FileB, pair.FileA);
            break;
        case TFileAction::faDelete:
            DeletePair(pair);
            break;
        case TFileAction::faSkip:
            // Counted in neither figure, so that the progress ends at its total.
            continue;
        }
        ++FilesDone;
        ShowStatus();
    }
}

bool TSyncFolderThread::CopyPair(TFilePair& pair, TFileData& source, TFileData& target) {
    ShowStatus(StatusPhase::File, "File : " + pair.FileA.FileName);
    const std::string& logName = pair.FileA.FileName;
    BytesDone += source.FileSize;
    if (ChangedSinceScan(target)) {
        ReportLeftAlone(logName, kCopyAction);
        return false;
    }
    if (!KeepLosingVersion(source, target)) {
        ReportFileResult(logName, kCopyAction, false);
        return false;
    }
    const bool copied = FileOps().Copy(source.FileName, target.FileName, false, false, source.FileSize);
    ReportFileResult(logName, kCopyAction, copied);
    // The copy carries the source's time: the target's time is what both sides were made equal
    // at, and a source changed during the copy shows as changed at the next run.
    if (copied) {
        const TDateTime equalAt = Files().FileTime(target.FileName);
        RecordDates(pair.RecordID, equalAt, equalAt, Files().FileSize(target.FileName));
    }
    return copied;
}

bool TSyncFolderThread::DeletePair(TFilePair& pair) {
    const TFileData& file = pair.FileA.Present() ? pair.FileA : pair.FileB;
    ShowStatus(StatusPhase::File, "File : " + file.FileName);
    BytesTotal -= file.FileSize;
    if (ChangedSinceScan(file)) {
        ReportLeftAlone(file.FileName, kDeleteAction);
        return false;
    }
    const bool deleted = FileOps().Delete(file.FileName);
    ReportFileResult(file.FileName, kDeleteAction, deleted);
    // The record no longer speaks for a file on either side: a later file of this name is new.
    if (deleted) RecordDates(pair.RecordID, 0, 0, std::nullopt);
    return deleted;
}

bool TSyncFolderThread::ChangedSinceScan(const TFileData& file) const {
    const int64_t size = Files().FileSize(file.FileName);
    if (file.FileSize < 0) return size >= 0;
    return size != file.FileSize || Files().FileTime(file.FileName) != file.FileDateTime;
}

void TSyncFolderThread::ReportLeftAlone(const std::string& file, std::string_view action) {
    Report().Log(file, std::string(action), std::string(kChangedStatus), true);
}

bool TSyncFolderThread::KeepLosingVersion(const TFileData& source, const TFileData& target) {
    if (!FileOps().Store().MoveToDeleted || target.FileSize < 0 || !TSyncDecision::Changed(target))
        return true;
    // The protected copy diverts a newer target itself; the same file on both sides loses nothing.
    if (target.FileDateTime > source.FileDateTime) return true;
    if (target.FileDateTime == source.FileDateTime && target.FileSize == source.FileSize) return true;
    return FileOps().Delete(target.FileName);
}

// --- the record's dates ----------------------------------------------------------------------

void TSyncFolderThread::RecordDates(int64_t recordId, TDateTime dateA, TDateTime dateB,
                                    std::optional<int64_t> size) {
    if (!dateBatch_) dateBatch_ = std::make_unique<Transaction>(Database->GetConnection());
    Database->SetDates(recordId, dateA, dateB, size);
    if (++pendingDates_ >= kDatesPerCommit) CommitDates();
}

void TSyncFolderThread::CommitDates() {
    if (!dateBatch_) return;
    dateBatch_->Commit();
    dateBatch_.reset();
    pendingDates_ = 0;
}

} // namespace drivlet

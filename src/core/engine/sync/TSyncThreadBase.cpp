#include "core/engine/sync/TSyncThreadBase.h"

#include "core/db/Transaction.h"
#include "core/drives/DrivePaths.h"
#include "core/records/TSyncData.h"
#include "core/text/CaseFold.h"
#include "platform/FileAttributes.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>

namespace drivlet {
namespace {

constexpr std::string_view kSearching = " Searching...";
constexpr std::string_view kFileAction = "Sync File";
constexpr std::string_view kTwinStatus =
    "Left alone : another file here has the same name in other letter case";
constexpr std::string_view kFolderAction = "Sync Folder";
constexpr std::string_view kLinkedFolderStatus =
    "Left alone : a linked folder, its files are not synced on either side";
constexpr std::string_view kDanglingLinkStatus =
    "Left alone : a link to something that is not there, nothing of this name is synced on either side";
constexpr std::string_view kFolderClashStatus =
    "Left alone : a folder here and a file of the same name on the USB drive";
constexpr std::string_view kFileClashStatus =
    "Left alone : a file here and a folder of the same name on the USB drive";
constexpr std::string_view kClashHow = "; keep one of them (rename or move the other) and it is synced";

std::string FolderPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

TSyncThreadBase::TSyncThreadBase(const ThreadServices& services) : TThreadBase(services) {}

TSyncThreadBase::~TSyncThreadBase() {
    // The worker may still use the members below; it must be gone before they are.
    Terminate();
    WaitFor();
}

void TSyncThreadBase::Configure(const TSyncJobFields& job) {
    for (size_t i = 0; i < job.FolderAList.Count() && i < job.FolderBList.Count(); ++i)
        FolderItems.AddItem(job.FolderAList[i], job.FolderBList[i], true);
    for (size_t i = 0; i < job.FileAList.Count() && i < job.FileBList.Count(); ++i)
        FileItems.AddItem(job.FileAList[i], job.FileBList[i], false);
    SetFileFilter(job.FileFilter);
    SyncDirection = job.SyncDirection;
    SyncDefaultAction = job.SyncDefaultAction;
}

std::string TSyncThreadBase::OnDrive(const std::string& driveRelative) const {
    std::string full = drivePath_;
    if (!full.empty() && full.back() == '/') full.pop_back();
    if (driveRelative.empty() || driveRelative.front() != '/') full += '/';
    return full + driveRelative;
}

// --- the run ---------------------------------------------------------------------------------

void TSyncThreadBase::ScanAll() {
    RunGuarded(kThreadErrorPrefix, [this] {
        FilesDone = -1;
        ShowStatus(StatusPhase::Step, "Prepareing... ");
        if (drivePath_.empty()) drivePath_ = DrivePathOfJobFile(DatabaseFile);
        FolderItems.SortByPathB();
        // The first pair is listed while the database is opened and checked.
        std::unique_ptr<PairListing> listing;
        if (FolderItems.Count() > 0) listing = StartListing(FolderItems[0]);
        PrepareDatabase();
        // Read once for the run: the mount points below each pair's roots.
        mountPoints_ = Files().MountPoints();

        FilesDone = -1;
        ShowStatus(StatusPhase::Step, "Searching... ");
        for (size_t i = 0; i < FolderItems.Count() && !Terminated(); ++i) {
            if (i > 0) listing = StartListing(FolderItems[i]);
            ScanFolderPair(FolderItems[i], std::move(listing));
        }
        const size_t firstPair = FilePairs.Count();
        const size_t firstDropped = droppedPairs_.size();
        // A file pair whose record a folder pair met joins that pair's files.
        if (FileItems.Count() > 0)
            for (size_t i = 0; i < FilePairs.Count(); ++i)
                listIds_[FilePairs[i].RecordID] = i;
        try {
            Transaction batch(Database->GetConnection());
            for (const TSyncItem& item : FileItems) {
                if (Terminated()) break;
                ScanFilePair(item.PathA, item.PathB);
            }
            batch.Commit();
        } catch (...) {
            // Their new rows are rolled back: the pairs must not outlive them.
            DropPairsFrom(firstPair, firstDropped);
            throw;
        }
    });
    FilePairs.RemoveAt(std::move(droppedPairs_));
    droppedPairs_.clear();
    if (Terminated()) {
        ShowStatus(StatusPhase::Canceled, "Canceled :(");
    }
}

void TSyncThreadBase::PrepareDatabase() {
    // The record-to-pair map lives in memory, so nothing of an earlier run can leak into it.
    listIds_.clear();
    Database = std::make_unique<SyncDatabase>(WorkingDatabaseFile());
}

std::unique_ptr<TSyncThreadBase::PairListing> TSyncThreadBase::StartListing(const TSyncItem& item) const {
    const std::string folderA = OnDrive(item.PathA);
    // A missing root is reported by the walk.
    if (!FolderExists(folderA) || !FolderExists(item.PathB)) return nullptr;
    const bool wholeDrive = item.PathA == "/";
    const auto canceled = [this] { return Terminated(); };
    return std::make_unique<PairListing>(
        PairListing{std::make_unique<TreeListing>(Files(), folderA, wholeDrive, canceled),
                    std::make_unique<TreeListing>(Files(), item.PathB, wholeDrive, canceled)});
}

void TSyncThreadBase::ScanFolderPair(const TSyncItem& item, std::unique_ptr<PairListing> listing) {
    RootA = item.PathA;
    RootB = item.PathB;
    leftAlone_.clear();
    unreadable_.clear();
    const size_t firstPair = FilePairs.Count();
    pairStart_ = firstPair;
    const size_t firstDropped = droppedPairs_.size();
    const std::string folderA = OnDrive(RootA);

    std::string unlisted;
    // One transaction per folder pair: its new rows are kept only when the pair is kept.
    std::optional<Transaction> batch;
    try {
        batch.emplace(Database->GetConnection());
        LoadKnownRecords();
        CurrentSide = 'A';
        rootLength_ = folderA.size();
        rootLengthA_ = folderA.size();
        if (listing) prefetched_ = listing->a.get();
        if (!FolderExists(folderA) || !ScanSyncFolder(folderA)) unlisted = folderA;
        if (unlisted.empty() && !Terminated()) {
            CurrentSide = 'B';
            rootLength_ = RootB.size();
            if (listing) prefetched_ = listing->b.get();
            if (!FolderExists(RootB) || !ScanSyncFolder(RootB)) unlisted = RootB;
        }
        prefetched_ = nullptr;
    } catch (...) {
        // A half-walked pair would look like deletions on its second side.
        prefetched_ = nullptr;
        known_.Clear();
        DropPairsFrom(firstPair, firstDropped);
        throw;
    }
    listing.reset();
    known_.Clear();

    // A pair cut short by a cancel would look like deletions on its second side.
    if (unlisted.empty() && !Terminated()) {
        batch->Commit();
        MarkEmptiedSide(firstPair);
        MarkUnmountedFolders(firstPair);
        return;
    }
    DropPairsFrom(firstPair, firstDropped);
    if (!unlisted.empty()) {
        // A link on the drive that leads off it is named, so the user can find it.
        const FileStatus reach = Files().Reach(unlisted);
        ReportThreadError(ThreadErrorKind::FolderUnreadable,
                          "Sync folder not found or not readable, pair skipped : " + unlisted +
                              (reach ? std::string() : " (" + reach.message() + ")"));
    }
}

void TSyncThreadBase::MarkEmptiedSide(size_t firstPair) {
    // Its new files and changes still travel; only what would be deleted waits. A pair held back
    // once stays so until the user answers, even when a new file has reached the emptied side
    // since; it is over once the side holds again a file it held when the hold began.
    EmptiedSide emptied{RootA, RootB, 'B', {}, {}, false, false, {}};
    if (RecordedFilesAllMissing('A')) {
        emptied.side = 'A';
        emptied.lastFileId = lastRecordedIdA_;
    } else if (RecordedFilesAllMissing('B')) {
        emptied.side = 'B';
        emptied.lastFileId = lastRecordedIdB_;
    } else if (const std::optional<char> held = Database->HeldSide(RootA, RootB)) {
        emptied.side = *held;
        emptied.earlier = true;
        emptied.lastFileId = Database->HeldLastFileId(RootA, RootB);
        const int64_t firstMatched = *held == 'A' ? firstMatchedIdA_ : firstMatchedIdB_;
        emptied.ended = emptied.lastFileId && firstMatched != 0 && firstMatched <= *emptied.lastFileId;
    } else {
        return;
    }
    emptied.folder = emptied.side == 'A' ? OnDrive(RootA) : RootB;
    const int index = static_cast<int>(EmptiedSides.size());
    const bool ended = emptied.ended;
    EmptiedSides.push_back(std::move(emptied));
    if (ended) return;
    for (size_t i = firstPair; i < FilePairs.Count(); ++i)
        FilePairs[i].Emptied = index;
}

void TSyncThreadBase::MarkUnmountedFolders(size_t firstPair) {
    const std::string folderA = OnDrive(RootA);
    std::vector<std::string> now;
    for (const auto& [side, root] : {std::pair{'A', folderA}, std::pair{'B', RootB}})
        for (const std::string& point : mountPoints_)
            if (point.size() > root.size() && point.starts_with(root)) {
                std::string folder = side + point.substr(root.size());
                if (std::find(now.begin(), now.end(), folder) == now.end()) now.push_back(std::move(folder));
            }
    std::vector<std::string> remembered = Database->MountedFolders(RootA, RootB);
    for (const std::string& folder : remembered) {
        if (folder.size() < 2 || std::find(now.begin(), now.end(), folder) != now.end()) continue;
        const char side = folder.front();
        const std::string below = folder.substr(1);
        EmptiedSide emptied{RootA, RootB, side,  (side == 'A' ? folderA : RootB) + below,
                            {},    false, false, folder};
        const int index = static_cast<int>(EmptiedSides.size());
        EmptiedSides.push_back(std::move(emptied));
        for (size_t i = firstPair; i < FilePairs.Count(); ++i) {
            TFilePair& pair = FilePairs[i];
            if (pair.Emptied >= 0) continue;
            const std::string relative = pair.FileA.Present() ? pair.FileA.FileName.substr(folderA.size())
                                                              : pair.FileB.FileName.substr(RootB.size());
            if (relative.starts_with(below)) pair.Emptied = index;
        }
        // Remembered until its deletions are allowed or there are none left to hold.
        now.push_back(folder);
    }
    std::sort(now.begin(), now.end());
    if (now != remembered) Database->SetMountedFolders(RootA, RootB, now);
}

void TSyncThreadBase::DropPairsFrom(size_t firstPair, size_t firstDropped) {
    FilePairs.Truncate(firstPair);
    droppedPairs_.resize(firstDropped);
    std::erase_if(listIds_, [firstPair](const auto& entry) { return entry.second >= firstPair; });
}

bool TSyncThreadBase::ScanSyncFolder(const std::string& folder) {
    ShowStatus(StatusPhase::Searching, std::string(kSearching) + folder);
    TreeListing::Folder listing;
    const bool listed =
        prefetched_ ? prefetched_->Take(folder, listing) : TreeListing::Read(Files(), folder, listing);
    if (!listed) return false;
    const std::unordered_set<std::string>& twins = listing.twins;

    for (const FolderEntry& entry : listing.entries) {
        if (Terminated()) break;
        std::string path = folder + entry.name;
        if (entry.isDirectory) {
            // The drive side is walked first: the computer side's files are checked against its
            // folders, its folders against the drive side's files.
            const std::string_view relative = std::string_view(path).substr(rootLength_);
            if (CurrentSide == 'A') {
                known_[relative].folderA = true;
            } else if (const RecordIndex::Name* name = known_.Find(relative); name && name->matchedA) {
                LeaveTypeClashAlone(path, true);
                continue;
            }
            // A linked folder is not followed: it could lead the walk into a loop.
            if (entry.isSymlink) {
                LeaveLinkAlone(path, true);
                continue;
            }
            const std::string sub = path + "/";
            if (IsFolderExcluded(sub)) continue;
            if (!ScanSyncFolder(sub)) LeaveUnreadableAlone(sub);
            ShowStatus(StatusPhase::Searching, std::string(kSearching) + folder);
            continue;
        }
        if (entry.special != SpecialKind::None) {
            LeaveSpecialAlone(path, entry.special);
            continue;
        }
        if (entry.isSymlink && Files().RealPath(path).empty()) {
            LeaveLinkAlone(path, false);
            continue;
        }
        if (FileFilter.IsExcluded(entry.name, folder) || IsOwnDatabaseFile(path)) continue;
        const std::string_view relative = std::string_view(path).substr(rootLength_);
        if (!twins.empty() && twins.contains(LowerCase(entry.name))) {
            LeaveTwinAlone(path, relative);
            continue;
        }
        // Most walks leave nothing alone; the folded name is only needed when one does.
        if ((!leftAlone_.empty() || !unreadable_.empty()) && IsLeftAlone(LowerCase(relative))) continue;
        MatchFile(std::move(path), entry);
    }
    return true;
}

void TSyncThreadBase::MatchFile(std::string path, const FolderEntry& entry) {
    const bool onDrive = CurrentSide == 'A';
    const std::string_view relative = std::string_view(path).substr(rootLength_);
    RecordIndex::Name& name = known_[relative];
    if (!onDrive && name.folderA) {
        LeaveTypeClashAlone(path, false);
        return;
    }
    bool isNew = false;
    AddRecordFor(name, relative, isNew);
    bool& matched = onDrive ? name.matchedA : name.matchedB;
    size_t& pairIndex = onDrive ? name.pairA : name.pairB;
    if (matched) {
        LeaveMatchedTwinAlone(path, relative, pairIndex);
        return;
    }
    matched = true;
    const RecordIndex::Record& record = onDrive ? name.a : name.b;
    // A computer-side file joins the drive-side file of the same record.
    const bool partnered = !onDrive && name.pairA != RecordIndex::kNoPair && name.a.id == name.b.id;
    pairIndex = partnered ? name.pairA : FilePairs.Add();
    // A file present here after the last sync shows that this side's folder is there.
    const TDateTime recordedHere = onDrive ? record.dateA : record.dateB;
    if (recordedHere > 0) {
        (onDrive ? recordedMatchedA_ : recordedMatchedB_) = true;
        int64_t& first = onDrive ? firstMatchedIdA_ : firstMatchedIdB_;
        if (first == 0 || record.id < first) first = record.id;
    }
    TFilePair& pair = FilePairs[pairIndex];
    pair.New = isNew;
    TakeRecordedDates(pair, record);
    (onDrive ? pair.FileA : pair.FileB).Assign(std::move(path), entry.size, entry.time);
}

void TSyncThreadBase::ScanFilePair(const std::string& pathA, const std::string& pathB) {
    ShowStatus(StatusPhase::Searching, std::string(kSearching) + pathA);
    const std::string dirA = FolderPart(pathA);
    const std::string dirB = FolderPart(pathB);
    const std::string fullA = OnDrive(pathA);
    // A missing folder says nothing about the file: the pair waits for the next run.
    for (const std::string& folder : {OnDrive(dirA), dirB}) {
        if (!FolderExists(folder)) {
            ReportThreadError(ThreadErrorKind::FolderUnreadable,
                              "Sync folder not found or not readable, pair skipped : " + folder);
            return;
        }
    }
    // One side alone would look new or deleted: a FIFO, socket or device on either leaves both.
    for (const std::string& path : {fullA, pathB}) {
        const std::optional<FolderEntry> listed = ListedEntryOf(Files(), path);
        if (listed && listed->special != SpecialKind::None) {
            ReportSpecialAlone(path, listed->special);
            return;
        }
    }
    const std::optional<uint32_t> attrsA = Files().GetAttributes(fullA);
    const std::optional<uint32_t> attrsB = Files().GetAttributes(pathB);
    const bool fileA = attrsA && !(*attrsA & fa::Directory);
    const bool fileB = attrsB && !(*attrsB & fa::Directory);
    if (attrsA && attrsB && fileA != fileB) {
        ReportTypeClash(pathB, fullA, !fileB);
        return;
    }

    if (fileA) {
        const std::string nameA = NamePart(pathA);
        std::optional<SyncFileRecord> record = Database->FindDriveSide(nameA, dirA);
        const bool isNew = !record;
        if (!record) record = Database->Insert(nameA, dirA, dirB, std::nullopt);
        TFilePair& pair = FilePairs[PairFor(record->ID)];
        pair.FileA.Assign(Files(), fullA);
        pair.New = isNew;
        TakeRecordedDates(pair, *record);
    }
    if (fileB) {
        const std::string nameB = NamePart(pathB);
        std::optional<SyncFileRecord> record = Database->FindComputerSide(nameB, dirB);
        const bool isNew = !record;
        if (!record) record = Database->Insert(nameB, dirA, dirB, std::nullopt);
        TFilePair& pair = FilePairs[PairFor(record->ID)];
        pair.FileB.Assign(Files(), pathB);
        pair.New = isNew;
        TakeRecordedDates(pair, *record);
    }
}

void TSyncThreadBase::LoadKnownRecords() {
    known_.Clear();
    recordedA_ = recordedB_ = false;
    recordedMatchedA_ = recordedMatchedB_ = false;
    lastRecordedIdA_ = lastRecordedIdB_ = firstMatchedIdA_ = firstMatchedIdB_ = 0;
    Database->EachRecordOfPair(RootA, RootB, [&](const SyncPairRecord& r) {
        RecordIndex::Name& name = known_[r.FileName];
        const RecordIndex::Record record{r.ID, r.DateFolderA, r.DateFolderB, r.Size};
        if (r.OnA && !name.a) name.a = record;
        if (r.OnB && !name.b) name.b = record;
        // Files present on a side after a sync; see RecordedFilesAllMissing.
        recordedA_ = recordedA_ || (r.OnA && r.DateFolderA > 0);
        recordedB_ = recordedB_ || (r.OnB && r.DateFolderB > 0);
        if (r.OnA && r.DateFolderA > 0) lastRecordedIdA_ = std::max(lastRecordedIdA_, r.ID);
        if (r.OnB && r.DateFolderB > 0) lastRecordedIdB_ = std::max(lastRecordedIdB_, r.ID);
    });
}

void TSyncThreadBase::AddRecordFor(RecordIndex::Name& name, std::string_view relative, bool& isNew) {
    RecordIndex::Record& slot = CurrentSide == 'A' ? name.a : name.b;
    isNew = !slot;
    if (slot) return;
    const SyncFileRecord inserted = Database->Insert(relative, RootA, RootB, std::nullopt);
    const RecordIndex::Record record{inserted.ID, 0, 0, -1};
    // The new row serves both sides, as a lookup in the table would find it.
    if (!name.a) name.a = record;
    if (!name.b) name.b = record;
}

void TSyncThreadBase::TakeRecordedDates(TFilePair& pair, const RecordIndex::Record& record) {
    pair.FileA.OLDFileDateTime = record.dateA;
    pair.FileB.OLDFileDateTime = record.dateB;
    pair.FileA.OLDFileSize = pair.FileB.OLDFileSize = record.size;
    pair.RecordID = record.id;
}

void TSyncThreadBase::TakeRecordedDates(TFilePair& pair, const SyncFileRecord& record) {
    // Both sides: for a side without a file, a recorded date tells a deletion since the last sync
    // (date set) from a file that never reached that side (0).
    pair.FileA.OLDFileDateTime = record.DateFolderA;
    pair.FileB.OLDFileDateTime = record.DateFolderB;
    pair.FileA.OLDFileSize = pair.FileB.OLDFileSize = record.Size;
    pair.RecordID = record.ID;
}

size_t TSyncThreadBase::PairFor(int64_t recordId) {
    const auto found = listIds_.find(recordId);
    if (found != listIds_.end()) return found->second;
    const size_t index = FilePairs.Add();
    listIds_.emplace(recordId, index);
    return index;
}

// --- names that differ only in letter case ---------------------------------------------------

void TSyncThreadBase::LeaveTwinAlone(const std::string& path, std::string_view relative) {
    Report().Log(path, std::string(kFileAction), std::string(kTwinStatus), true);
    if (!leftAlone_.insert(LowerCase(relative)).second) return;
    // The drive-side partner met earlier in this pair must not be copied over either twin.
    if (CurrentSide != 'B') return;
    const RecordIndex::Name* name = known_.Find(relative);
    if (name && name->pairA != RecordIndex::kNoPair) droppedPairs_.push_back(name->pairA);
}

void TSyncThreadBase::LeaveMatchedTwinAlone(const std::string& path, std::string_view relative,
                                            size_t earlierPair) {
    if (earlierPair != RecordIndex::kNoPair) {
        const TFilePair& pair = FilePairs[earlierPair];
        const TFileData& first = CurrentSide == 'A' ? pair.FileA : pair.FileB;
        if (first.Present() && first.FileName != path) LeaveTwinAlone(first.FileName, relative);
        droppedPairs_.push_back(earlierPair);
    }
    LeaveTwinAlone(path, relative);
}

bool TSyncThreadBase::IsLeftAlone(const std::string& lowerRelative) const {
    if (leftAlone_.contains(lowerRelative)) return true;
    for (const std::string& folder : unreadable_)
        if (lowerRelative.starts_with(folder)) return true;
    return false;
}

// --- emptied roots, unreadable folders and links ---------------------------------------------

bool TSyncThreadBase::RecordedFilesAllMissing(char side) const {
    // Only records of files that were present on that side after a sync count: a file that was
    // never copied there says nothing about the folder.
    return side == 'A' ? recordedA_ && !recordedMatchedA_ : recordedB_ && !recordedMatchedB_;
}

void TSyncThreadBase::LeaveUnreadableAlone(const std::string& folder) {
    // Its files would all look deleted on this side; they wait for a run that can read it.
    LeaveAloneBelow(folder.substr(0, folder.size() - 1), false);
    ReportThreadError(ThreadErrorKind::FolderUnreadable,
                      "Sync folder not readable, its files are left alone : " + folder);
}

void TSyncThreadBase::LeaveLinkAlone(const std::string& path, bool isFolder) {
    // Its files would look deleted on this side, and the other side's copies would be deleted:
    // a sync carries files, never what a link points to.
    LeaveAloneBelow(path, !isFolder);
    Report().Log(isFolder ? path + "/" : path, std::string(isFolder ? kFolderAction : kFileAction),
                 std::string(isFolder ? kLinkedFolderStatus : kDanglingLinkStatus), true);
}

void TSyncThreadBase::LeaveTypeClashAlone(const std::string& path, bool folderHere) {
    LeaveAloneBelow(path, true);
    ReportTypeClash(path, OnDrive(RootA) + path.substr(rootLength_), folderHere);
}

void TSyncThreadBase::ReportTypeClash(const std::string& pathB, const std::string& pathA, bool folderHere) {
    Report().Log(folderHere ? pathB + "/" : pathB, std::string(folderHere ? kFolderAction : kFileAction),
                 std::string(folderHere ? kFolderClashStatus : kFileClashStatus) + " (" + pathA + ")" +
                     std::string(kClashHow),
                 true);
}

void TSyncThreadBase::LeaveSpecialAlone(const std::string& path, SpecialKind kind) {
    LeaveAloneBelow(path, true);
    ReportSpecialAlone(path, kind);
}

void TSyncThreadBase::ReportSpecialAlone(const std::string& path, SpecialKind kind) {
    Report().Log(path, std::string(kFileAction),
                 "Left alone : " + std::string(SpecialKindText(kind)) +
                     " is not a regular file, nothing of this name is synced on either side",
                 true);
}

void TSyncThreadBase::LeaveAloneBelow(const std::string& path, bool nameToo) {
    const std::string name = LowerCase(path.substr(rootLength_));
    const std::string below = name + "/";
    unreadable_.push_back(below);
    if (nameToo) leftAlone_.insert(name);
    // The drive side was walked first: its pairs at or below the name go too.
    if (CurrentSide != 'B') return;
    for (size_t i = pairStart_; i < FilePairs.Count(); ++i) {
        const TFileData& onDrive = FilePairs[i].FileA;
        if (!onDrive.Present()) continue;
        const std::string relative = LowerCase(onDrive.FileName.substr(rootLengthA_));
        if (relative.starts_with(below) || (nameToo && relative == name)) droppedPairs_.push_back(i);
    }
}

bool TSyncThreadBase::IsFolderExcluded(const std::string& folder) {
    return TreeListing::IsDriveConfigFolder(folder, rootLength_, RootA == "/");
}

bool TSyncThreadBase::IsOwnDatabaseFile(const std::string& path) const {
    // The database and its journal files ("-wal", "-shm", "-journal") change while the run uses them.
    return path.size() >= DatabaseFile.size() && path.compare(0, DatabaseFile.size(), DatabaseFile) == 0 &&
           (path.size() == DatabaseFile.size() || path[DatabaseFile.size()] == '-');
}

bool TSyncThreadBase::FolderExists(const std::string& folder) const {
    const std::optional<uint32_t> attrs = Files().GetAttributes(folder);
    return attrs && (*attrs & fa::Directory);
}

} // namespace drivlet

#include "core/engine/sync/TSyncThreadBase.h"

#include "core/db/Transaction.h"
#include "core/records/TSyncData.h"
#include "core/drives/DrivePaths.h"
#include "core/text/CaseFold.h"
#include "platform/FileAttributes.h"

#include <filesystem>
#include <unordered_map>

namespace drivlet {
namespace {

constexpr std::string_view kSearching = " Searching...";
constexpr std::string_view kTwinAction = "Sync File";
constexpr std::string_view kTwinStatus =
    "Left alone : another file here has the same name in other letter case";

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
        StatusText = "Prepareing... ";
        ReportStatus();
        PrepareDatabase();
        FolderItems.SortByPathB();

        FilesDone = -1;
        StatusText = "Searching... ";
        ReportStatus();
        for (const TSyncItem& item : FolderItems) {
            if (Terminated()) break;
            ScanFolderPair(item);
        }
        const size_t firstPair = FilePairs.Count();
        const size_t firstDropped = droppedPairs_.size();
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
        StatusText = "Canceled :(";
        ReportStatus();
    }
}

void TSyncThreadBase::PrepareDatabase() {
    // The record-to-pair map lives in memory, so nothing of an earlier run can leak into it.
    listIds_.clear();
    if (drivePath_.empty()) drivePath_ = DrivePathOfJobFile(DatabaseFile);
    Database = std::make_unique<SyncDatabase>(WorkingDatabaseFile());
}

void TSyncThreadBase::ScanFolderPair(const TSyncItem& item) {
    RootA = item.PathA;
    RootB = item.PathB;
    matchedA_.clear();
    matchedB_.clear();
    leftAlone_.clear();
    unreadable_.clear();
    const size_t firstPair = FilePairs.Count();
    pairStart_ = firstPair;
    const size_t firstDropped = droppedPairs_.size();
    const std::string folderA = OnDrive(RootA);

    // One transaction per folder pair: its new rows are kept only when the pair is kept.
    Transaction batch(Database->GetConnection());
    LoadKnownRecords();
    std::string unlisted;
    std::future<Listings> listingB;
    try {
        CurrentSide = 'A';
        rootLength_ = folderA.size();
        rootLengthA_ = folderA.size();
        if (FolderExists(folderA) && FolderExists(RootB))
            listingB = std::async(std::launch::async, [this] { return ListTree(RootB); });
        if (!FolderExists(folderA) || !ScanSyncFolder(folderA)) unlisted = folderA;
        if (unlisted.empty() && !Terminated()) {
            CurrentSide = 'B';
            rootLength_ = RootB.size();
            if (listingB.valid()) prefetched_ = listingB.get();
            if (!FolderExists(RootB) || !ScanSyncFolder(RootB)) unlisted = RootB;
            prefetched_.reset();
        }
    } catch (...) {
        // A half-walked pair would look like deletions on its second side.
        prefetched_.reset();
        DropPairsFrom(firstPair, firstDropped);
        throw;
    }

    known_ = {};

    std::string reason;
    if (!unlisted.empty())
        reason = "Sync folder not found or not readable, pair skipped : " + unlisted;
    else if (!Terminated() && RecordedFilesAllMissing('A', matchedA_))
        reason = "Every recorded file is missing, pair skipped : " + folderA;
    else if (!Terminated() && RecordedFilesAllMissing('B', matchedB_))
        reason = "Every recorded file is missing, pair skipped : " + RootB;

    // A pair cut short by a cancel would look like deletions on its second side.
    if (reason.empty() && !Terminated()) {
        batch.Commit();
        return;
    }
    DropPairsFrom(firstPair, firstDropped);
    if (!reason.empty()) ReportThreadError(reason);
}

void TSyncThreadBase::DropPairsFrom(size_t firstPair, size_t firstDropped) {
    FilePairs.Truncate(firstPair);
    droppedPairs_.resize(firstDropped);
    std::erase_if(listIds_, [firstPair](const auto& entry) { return entry.second >= firstPair; });
}

bool TSyncThreadBase::ScanSyncFolder(const std::string& folder) {
    StatusText = std::string(kSearching) + folder;
    ReportStatus();
    std::vector<FolderEntry> entries;
    if (!TakeListing(folder, entries)) return false;
    const std::unordered_set<std::string> twins = CaseTwins(entries);

    for (const FolderEntry& entry : entries) {
        if (Terminated()) break;
        const std::string path = folder + entry.name;
        if (entry.isDirectory) {
            // A linked folder could lead the walk into a loop.
            if (entry.isSymlink) continue;
            const std::string sub = path + "/";
            if (IsFolderExcluded(sub)) continue;
            if (!ScanSyncFolder(sub)) LeaveUnreadableAlone(sub);
            StatusText = std::string(kSearching) + folder;
            ReportStatus();
            continue;
        }
        if (FileFilter.IsExcluded(entry.name, folder) || IsOwnDatabaseFile(path)) continue;
        const std::string relative = path.substr(rootLength_);
        if (twins.contains(LowerCase(entry.name))) {
            LeaveTwinAlone(path, relative);
            continue;
        }
        if (IsLeftAlone(LowerCase(relative))) continue;
        if (CurrentSide == 'A')
            MatchDriveFile(path, relative, entry);
        else
            MatchComputerFile(path, relative, entry);
    }
    return true;
}

void TSyncThreadBase::MatchDriveFile(const std::string& path, const std::string& relative,
                                     const FolderEntry& entry) {
    bool isNew = false;
    const KnownRecord record = RecordFor(relative, isNew);
    if (matchedA_.contains(record.id)) {
        LeaveMatchedTwinAlone(path, relative, record.id);
        return;
    }
    const size_t index = FilePairs.Add();
    listIds_[record.id] = index;
    matchedA_.insert(record.id);
    TFilePair& pair = FilePairs[index];
    pair.FileA.Assign(path, entry.size, entry.time);
    pair.New = isNew;
    TakeRecordedDates(pair, record);
}

void TSyncThreadBase::MatchComputerFile(const std::string& path, const std::string& relative,
                                        const FolderEntry& entry) {
    bool isNew = false;
    const KnownRecord record = RecordFor(relative, isNew);
    if (matchedB_.contains(record.id)) {
        LeaveMatchedTwinAlone(path, relative, record.id);
        return;
    }
    matchedB_.insert(record.id);
    TFilePair& pair = FilePairs[PairFor(record.id)];
    pair.FileB.Assign(path, entry.size, entry.time);
    pair.New = isNew;
    TakeRecordedDates(pair, record);
}

void TSyncThreadBase::ScanFilePair(const std::string& pathA, const std::string& pathB) {
    StatusText = std::string(kSearching) + pathA;
    ReportStatus();
    const std::string dirA = FolderPart(pathA);
    const std::string dirB = FolderPart(pathB);
    const std::string fullA = OnDrive(pathA);
    // A missing folder says nothing about the file: the pair waits for the next run.
    for (const std::string& folder : {OnDrive(dirA), dirB}) {
        if (!FolderExists(folder)) {
            ReportThreadError("Sync folder not found or not readable, pair skipped : " + folder);
            return;
        }
    }
    const auto isFile = [this](const std::string& path) {
        const std::optional<uint32_t> attrs = Files().GetAttributes(path);
        return attrs && !(*attrs & fa::Directory);
    };

    if (isFile(fullA)) {
        const std::string nameA = NamePart(pathA);
        std::optional<SyncFileRecord> record = Database->FindDriveSide(nameA, dirA);
        const bool isNew = !record;
        if (!record) record = Database->Insert(nameA, dirA, dirB, std::nullopt);
        TFilePair& pair = FilePairs[PairFor(record->ID)];
        pair.FileA.Assign(Files(), fullA);
        pair.New = isNew;
        TakeRecordedDates(pair, *record);
    }
    if (isFile(pathB)) {
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

namespace {

// The table's NOCASE collation folds ASCII letters only.
std::string TableKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

} // namespace

void TSyncThreadBase::LoadKnownRecords() {
    known_.clear();
    for (const char side : {'A', 'B'}) {
        Database->EachRecordOfFolder(side, side == 'A' ? RootA : RootB, [&](const SyncFileRecord& r) {
            std::optional<KnownRecord>& slot = side == 'A' ? known_[TableKey(r.FileName)].a : known_[TableKey(r.FileName)].b;
            if (!slot) slot = KnownRecord{r.ID, r.DateFolderA, r.DateFolderB};
        });
    }
}

TSyncThreadBase::KnownRecord TSyncThreadBase::RecordFor(const std::string& relative, bool& isNew) {
    KnownName& known = known_[TableKey(relative)];
    std::optional<KnownRecord>& slot = CurrentSide == 'A' ? known.a : known.b;
    isNew = !slot;
    if (slot) return *slot;
    const SyncFileRecord inserted = Database->Insert(relative, RootA, RootB, std::nullopt);
    const KnownRecord record{inserted.ID, 0, 0};
    // The new row serves both sides, as a lookup in the table would find it.
    if (!known.a) known.a = record;
    if (!known.b) known.b = record;
    return record;
}

void TSyncThreadBase::TakeRecordedDates(TFilePair& pair, const KnownRecord& record) {
    pair.FileA.OLDFileDateTime = record.dateA;
    pair.FileB.OLDFileDateTime = record.dateB;
    pair.RecordID = record.id;
}

void TSyncThreadBase::TakeRecordedDates(TFilePair& pair, const SyncFileRecord& record) {
    // Both sides: for a side without a file, a recorded date tells a deletion since the last sync
    // (date set) from a file that never reached that side (0).
    pair.FileA.OLDFileDateTime = record.DateFolderA;
    pair.FileB.OLDFileDateTime = record.DateFolderB;
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

std::unordered_set<std::string> TSyncThreadBase::CaseTwins(const std::vector<FolderEntry>& entries) const {
    std::unordered_map<std::string, int> seen;
    for (const FolderEntry& entry : entries)
        if (!entry.isDirectory) ++seen[LowerCase(entry.name)];
    std::unordered_set<std::string> twins;
    for (const auto& [name, count] : seen)
        if (count > 1) twins.insert(name);
    return twins;
}

void TSyncThreadBase::LeaveTwinAlone(const std::string& path, const std::string& relative) {
    LogFileName = path;
    LogAction = std::string(kTwinAction);
    LogStatus = std::string(kTwinStatus);
    LogIsError = true;
    ReportLogEntry();
    if (!leftAlone_.insert(LowerCase(relative)).second) return;
    // The drive-side partner met earlier in this pair must not be copied over either twin.
    if (CurrentSide != 'B') return;
    const std::optional<SyncFileRecord> record = Database->FindDriveSide(relative, RootA);
    if (!record) return;
    const auto partner = listIds_.find(record->ID);
    if (partner != listIds_.end()) droppedPairs_.push_back(partner->second);
}

void TSyncThreadBase::LeaveMatchedTwinAlone(const std::string& path, const std::string& relative,
                                            int64_t recordId) {
    const auto earlier = listIds_.find(recordId);
    if (earlier != listIds_.end()) {
        const TFilePair& pair = FilePairs[earlier->second];
        const TFileData& first = CurrentSide == 'A' ? pair.FileA : pair.FileB;
        if (first.Present() && first.FileName != path) LeaveTwinAlone(first.FileName, relative);
        droppedPairs_.push_back(earlier->second);
    }
    LeaveTwinAlone(path, relative);
}

bool TSyncThreadBase::IsLeftAlone(const std::string& lowerRelative) const {
    if (leftAlone_.contains(lowerRelative)) return true;
    for (const std::string& folder : unreadable_)
        if (lowerRelative.starts_with(folder)) return true;
    return false;
}

// --- missing roots and unreadable folders
// ---------------------------------------------------------------------------

bool TSyncThreadBase::RecordedFilesAllMissing(char side, const std::unordered_set<int64_t>& matched) {
    // Only records of files that were present on that side after a sync count: a file that was
    // never copied there says nothing about the folder.
    Statement query = Database->GetConnection().Prepare(
        side == 'A' ? R"(SELECT "ID" FROM "FileLog" WHERE "FolderA" = ?1 AND "DateFolderA" > 0)"
                    : R"(SELECT "ID" FROM "FileLog" WHERE "FolderB" = ?1 AND "DateFolderB" > 0)");
    query.BindText(1, side == 'A' ? RootA : RootB);
    bool anyRecorded = false;
    while (query.Step()) {
        anyRecorded = true;
        if (matched.contains(query.Integer(0))) return false;
    }
    return anyRecorded;
}

void TSyncThreadBase::LeaveUnreadableAlone(const std::string& folder) {
    // Its files would all look deleted on this side; they wait for a run that can read it.
    const std::string relative = LowerCase(folder.substr(rootLength_));
    unreadable_.push_back(relative);
    ReportThreadError("Sync folder not readable, its files are left alone : " + folder);
    if (CurrentSide != 'B') return;
    for (size_t i = pairStart_; i < FilePairs.Count(); ++i) {
        const TFileData& onDrive = FilePairs[i].FileA;
        if (onDrive.Present() && LowerCase(onDrive.FileName.substr(rootLengthA_)).starts_with(relative))
            droppedPairs_.push_back(i);
    }
}

bool TSyncThreadBase::IsFolderExcluded(const std::string& folder) {
    return IsDriveConfigFolder(folder, rootLength_);
}

bool TSyncThreadBase::IsDriveConfigFolder(const std::string& folder, size_t rootLength) const {
    // A one-way whole-drive sync would otherwise delete or overwrite the jobs themselves.
    return RootA == "/" && folder.size() == rootLength + 7 &&
           SameText(std::string_view(folder).substr(rootLength), "Config/");
}

bool TSyncThreadBase::TakeListing(const std::string& folder, std::vector<FolderEntry>& entries) {
    if (prefetched_) {
        const auto listed = prefetched_->folders.find(folder);
        if (listed != prefetched_->folders.end()) {
            entries = std::move(listed->second);
            prefetched_->folders.erase(listed);
            return true;
        }
        if (prefetched_->unreadable.contains(folder)) return false;
    }
    return Files().ReadFolder(folder, entries, ListDetail::Full).ok();
}

TSyncThreadBase::Listings TSyncThreadBase::ListTree(const std::string& root) const {
    Listings out;
    std::vector<std::string> pending{root};
    while (!pending.empty() && !Terminated()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        std::vector<FolderEntry> entries;
        if (!Files().ReadFolder(folder, entries, ListDetail::Full)) {
            out.unreadable.insert(folder);
            continue;
        }
        for (const FolderEntry& entry : entries) {
            if (!entry.isDirectory || entry.isSymlink) continue;
            const std::string sub = folder + entry.name + "/";
            if (!IsDriveConfigFolder(sub, root.size())) pending.push_back(sub);
        }
        out.folders.emplace(folder, std::move(entries));
    }
    return out;
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

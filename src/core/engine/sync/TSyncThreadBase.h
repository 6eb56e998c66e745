#pragma once
// The first half of every sync run: walks each folder pair and file pair on the drive (side A)
// and the computer (side B), matches every file to its row of the job's sync database and builds
// FilePairs for the decision step. A pair whose root is missing on one side is left out of the run
// with a thread error; one where every file recorded for a side is gone is marked as an emptied
// side, so that the decision step holds its deletions back until the user confirms them: a folder
// that is empty for a moment (a volume not mounted) is never taken for a thousand deletions.
#include "core/db/SyncDatabase.h"
#include "core/engine/TThreadBase.h"
#include "core/engine/sync/RecordIndex.h"
#include "core/engine/sync/TFileCollection.h"
#include "core/engine/sync/TSyncItems.h"
#include "core/engine/sync/TreeListing.h"
#include "core/records/Enumerations.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace drivlet {

struct TSyncJobFields;

class TSyncThreadBase : public TThreadBase {
public:
    explicit TSyncThreadBase(const ThreadServices& services);
    ~TSyncThreadBase() override;

    // Set before Start (the launcher's set-up).
    TSyncItems FolderItems;
    TSyncItems FileItems;
    TSyncDirection SyncDirection = TSyncDirection::sdBidi;
    TSyncDefaultAction SyncDefaultAction = TSyncDefaultAction::sdaAsk;

    // The pair lists, the filter, the direction and the conflict rule of a job or of one
    // computer's item.
    void Configure(const TSyncJobFields& job);
    // The drive path (ends with "/") that side-A paths are read against; by default the drive
    // of the database file (the folder holding its "Config" folder).
    void SetDrivePath(std::string drivePath) {
        SetJobDrive(drivePath);
        drivePath_ = std::move(drivePath);
    }

    // After the run: what the scan built (and the decision step left).
    const TFileCollection& GetFilePairs() const { return FilePairs; }

protected:
    // The scan alone; a descendant runs ScanAll first in its own Execute.
    void Execute() override { ScanAll(); }
    // Only files are filtered; the one folder a sync leaves out is the drive's own "Config" folder
    // in a whole-drive pair (on both sides), which holds the jobs and their live databases.
    bool IsFolderExcluded(const std::string& folder) override;

    // The whole scan with its own failure handling: an exception ends the scan with a thread
    // error and the run goes on with the pairs built so far.
    void ScanAll();
    // Walks one folder (ends with "/") of the side named by CurrentSide, recursively; false when
    // the folder itself cannot be listed.
    bool ScanSyncFolder(const std::string& folder);
    // Matches one file pair (a drive-relative and an absolute file path).
    void ScanFilePair(const std::string& pathA, const std::string& pathB);

    // The drive path followed by a drive-relative path.
    std::string OnDrive(const std::string& driveRelative) const;
    // The file the run's database connection opens; DatabaseFile unless a descendant works on a
    // scratch copy. DatabaseFile still names the job's own file (drive path, left out of walks).
    virtual std::string WorkingDatabaseFile() { return DatabaseFile; }

    // A folder pair one side of which lost every file recorded there after the last sync, or whose
    // deletions were held back at its last run; its pairs carry the index as TFilePair::Emptied.
    struct EmptiedSide {
        std::string rootA; // the pair's roots as the sync database holds them
        std::string rootB;
        char side = 'B';
        std::string folder; // the emptied root, full path
        // The highest record ID of the files the side held when the hold began.
        std::optional<int64_t> lastFileId;
        // The side holds its files again: the hold is over and nothing of the pair waits.
        bool ended = false;
        // Held since an earlier run (some of the side's files may have come back since).
        bool earlier = false;
        // A folder below the root that was another volume's mount point at the last run and is
        // none now: the deletions below it wait, and the folder is remembered while they do.
        std::string mountFolder; // its side and path below the root, as the database keeps it
    };
    std::vector<EmptiedSide> EmptiedSides;

    char CurrentSide = 'A';
    std::string RootA; // drive-relative, with trailing "/"
    std::string RootB; // absolute, with trailing "/"
    TFileCollection FilePairs;
    std::unique_ptr<SyncDatabase> Database; // open from the scan until the run ends

private:
    void PrepareDatabase();
    // Forgets the pairs from index firstPair on (their rows were rolled back).
    void DropPairsFrom(size_t firstPair, size_t firstDropped);
    // A file of the side being walked, by its full path.
    void MatchFile(std::string path, const FolderEntry& entry);
    // The record's identity and the dates it holds for both sides.
    static void TakeRecordedDates(TFilePair& pair, const SyncFileRecord& record);
    // The pair a record is matched to in this run, appending one when it has none yet.
    size_t PairFor(int64_t recordId);
    void LeaveTwinAlone(const std::string& path, std::string_view relative);
    // A second file of this side matched the record of an earlier one (the file of earlierPair):
    // both are left alone.
    void LeaveMatchedTwinAlone(const std::string& path, std::string_view relative, size_t earlierPair);
    // Whether a side holds none of the files recorded as present there after the last sync.
    bool RecordedFilesAllMissing(char side) const;
    // Marks the pairs from firstPair on when the folder pair walked has an emptied side.
    void MarkEmptiedSide(size_t firstPair);
    // The folders below the roots that are mount points now are remembered; one that was at the
    // last run and is not now (its volume not mounted) holds the deletions below it back.
    void MarkUnmountedFolders(size_t firstPair);
    std::vector<std::string> mountPoints_; // the system's, read when the run's scan begins
    bool FolderExists(const std::string& folder) const;
    // A sub-folder that cannot be listed: nothing under it is paired on either side.
    void LeaveUnreadableAlone(const std::string& folder);
    // A linked sub-folder, or a link to nothing (maybe a folder on a volume not mounted): what
    // lies behind it is not walked, and nothing under its name is paired on either side.
    void LeaveLinkAlone(const std::string& path, bool isFolder);
    // A computer-side folder (folderHere) or file whose name is a file or folder on the drive:
    // either copy would lose the other, so neither side is touched until the user settles it.
    void LeaveTypeClashAlone(const std::string& path, bool folderHere);
    // The log line of such a pair: the computer-side path with the drive-side one.
    void ReportTypeClash(const std::string& pathB, const std::string& pathA, bool folderHere);
    // A FIFO, socket or device: never opened, and nothing of its name is paired on either side.
    void LeaveSpecialAlone(const std::string& path, SpecialKind kind);
    void ReportSpecialAlone(const std::string& path, SpecialKind kind);
    // Nothing at (the name itself too, with nameToo) or below the path is paired on either side.
    void LeaveAloneBelow(const std::string& path, bool nameToo);
    bool IsLeftAlone(const std::string& lowerRelative) const;
    // A "<Root>" pair walks the job's "Config" folder too, where the open database lies.
    bool IsOwnDatabaseFile(const std::string& path) const;

    // The records of the folder pair being walked, loaded once per pair instead of looked up
    // file by file, and what the walk met of each name.
    void LoadKnownRecords();
    // The name of a file of the side being walked (its entry in known_), its record created when
    // there is none.
    void AddRecordFor(RecordIndex::Name& name, std::string_view relative, bool& isNew);
    void TakeRecordedDates(TFilePair& pair, const RecordIndex::Record& record);
    RecordIndex known_;
    // Whether the pair's records hold files present on a side after the last sync, and whether
    // the walk met one of them there.
    bool recordedA_ = false;
    bool recordedB_ = false;
    bool recordedMatchedA_ = false;
    // The highest ID of a record of a file present on each side after a sync, and the lowest ID
    // of such a record whose file the walk met there.
    int64_t lastRecordedIdA_ = 0;
    int64_t lastRecordedIdB_ = 0;
    int64_t firstMatchedIdA_ = 0;
    int64_t firstMatchedIdB_ = 0;
    bool recordedMatchedB_ = false;

    // A folder pair's two sides, listed while the database is opened and the records are read.
    struct PairListing {
        std::unique_ptr<TreeListing> a;
        std::unique_ptr<TreeListing> b;
    };
    // Nothing when either root is missing (the walk reports it).
    std::unique_ptr<PairListing> StartListing(const TSyncItem& item) const;
    void ScanFolderPair(const TSyncItem& item, std::unique_ptr<PairListing> listing);
    TreeListing* prefetched_ = nullptr; // the listing of the side being walked
    std::string drivePath_;
    // The record-to-pair map of the file pairs (the table's ListID, kept in memory); a folder
    // pair keeps its own in known_.
    std::unordered_map<int64_t, size_t> listIds_;
    // Per folder pair: the names left alone, and the folders that could not be listed.
    std::unordered_set<std::string> leftAlone_; // lower-case relative names
    std::vector<size_t> droppedPairs_;
    size_t rootLength_ = 0;               // of the full root path on the side being walked
    size_t rootLengthA_ = 0;              // of the full drive-side root
    size_t pairStart_ = 0;                // the first pair of the folder pair being walked
    std::vector<std::string> unreadable_; // lower-case relative folders, ending with "/"
};

} // namespace drivlet

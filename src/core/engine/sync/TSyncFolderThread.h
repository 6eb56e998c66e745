#pragma once
// The worker of one sync job, folder mode and file mode alike: the scan, then the pairs in which
// nothing changed are dropped, one action is decided per pair, the user settles the conflicts
// (when the job asks), the deletions carried over from a side that lost every recorded file wait
// for the user's word, and the actions are carried out with the protected copy and delete. The
// dates of every pair made equal are recorded, so the next run passes it over.
#include "core/engine/sync/IConflictPrompt.h"
#include "core/engine/sync/TSyncThreadBase.h"

#include <optional>
#include <string>

namespace drivlet {

class Transaction;

class TSyncFolderThread : public TSyncThreadBase {
public:
    explicit TSyncFolderThread(const ThreadServices& services);
    ~TSyncFolderThread() override;

    // Set before Start; not owned. Without a prompt, a run with pairs to ask about is canceled
    // before any file is touched (a dry run keeps their newer-wins actions instead).
    void SetConflictPrompt(IConflictPrompt* prompt) { prompt_ = prompt; }
    // Scan and decide only: no file is touched, and the database file is neither written nor
    // created (the run works on a scratch copy). GetFilePairs() then lists the decided pairs.
    void SetDryRun(bool dryRun) { dryRun_ = dryRun; }

protected:
    void Execute() override;
    std::string WorkingDatabaseFile() override;
    // The sync database is closed with the run.
    void ReleaseDrive() override;

private:
    void Decide();
    // The path a copy to a side without a file goes to, from the pair's record; false when the
    // record is gone.
    bool AssignTarget(TFilePair& pair);
    void ComputeTotals();
    // False when the run is canceled.
    bool ResolveConflicts();
    // The deletions of emptied sides, put to the user as one question; unless allowed, they are
    // neither carried out nor undone, and the next run holds them again.
    void HoldDeletions();
    void ReportHeld(const TFilePair& pair, const EmptiedSide& side);
    void ForgetMountFolder(const EmptiedSide& side);
    void CarryOut();
    bool CopyPair(TFilePair& pair, TFileData& source, TFileData& target);
    bool DeletePair(TFilePair& pair);
    // Whether the file differs from what the scan saw (for a target the scan did not find:
    // whether one is there now).
    bool ChangedSinceScan(const TFileData& file) const;
    void ReportLeftAlone(const std::string& file, std::string_view action);
    // Under a conflict, the version about to be overwritten goes into the deleted-files store
    // unless the copy keeps it there itself. False when that failed.
    bool KeepLosingVersion(const TFileData& source, const TFileData& target);
    // The size both sides have now; none after a deletion.
    void RecordDates(int64_t recordId, TDateTime dateA, TDateTime dateB, std::optional<int64_t> size);
    void CommitDates();
    void RemoveScratchDatabase();

    IConflictPrompt* prompt_ = nullptr;
    bool dryRun_ = false;
    std::string scratchDatabase_;
    std::unique_ptr<Transaction> dateBatch_;
    int pendingDates_ = 0;
};

} // namespace drivlet

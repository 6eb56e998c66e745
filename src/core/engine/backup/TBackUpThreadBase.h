#pragma once
// The base of the backup-family workers, backups and restores alike: the job's lists, the
// excluded folders and the counting pass before the work. What only a backup has (the job's
// backup database with its run history, followed links) is in TArchiveThreadBase.
#include "core/engine/TThreadBase.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace drivlet {

class TBackUpThreadBase : public TThreadBase {
public:
    explicit TBackUpThreadBase(const ThreadServices& services);
    ~TBackUpThreadBase() override;

    // Set before Start; folder paths end with "/".
    void SetExcludeList(const std::vector<std::string>& folders);
    void SetFolderList(std::vector<std::string> folders) { FolderList = std::move(folders); }
    void SetFileList(std::vector<std::string> files) { FileList = std::move(files); }
    void SetCountTotals(bool count) { CountTotals = count; }

protected:
    bool IsFolderExcluded(const std::string& folder) override { return InExcludeList(folder); }
    // The exclude list alone: whole entries, ignoring case.
    bool InExcludeList(const std::string& folder) const;
    // Whether a folder or anything above it is in the exclude list.
    bool ExcludedByPrefix(const std::string& folder) const;
    // Items below the folder (each subfolder counts as one), adding the file sizes to BytesTotal.
    virtual int64_t ScanFolder(const std::string& folder);

    // Whether a walk goes into the subfolder (path ending with "/") it has listed as `entry`:
    // never into an excluded one, into a linked one only as FollowsLinkedFolder decides. Every
    // walk of a backup (the counting pass and the work) asks here.
    bool EntersFolder(const std::string& folder, const FolderEntry& entry);
    // A restore just passes over linked folders.
    virtual bool FollowsLinkedFolder(const std::string& /*link*/) { return false; }
    // Run by the base body before the counting pass (on the worker).
    virtual void BeforeCounting() {}

    // The base body, run first by each descendant's Execute. False when it failed (the thread
    // error has been reported) and the descendant must not do any work.
    bool RunBackUpBase();
    // The work's own clock and count start after the counting pass.
    void StartClock() {
        SpeedStartTime = Clock().Now();
        FilesDone = 0;
    }

    // The listing of a folder, taken from the counting pass when it made one (each listing is
    // handed out once), else read now. A folder the counting pass could not list gives its
    // failure: the work's walk reports it, once.
    FileStatus TakeListing(const std::string& folder, std::vector<FolderEntry>& entries);

    std::vector<std::string> FolderList;
    std::vector<std::string> FileList;
    bool CountTotals = true;

private:
    std::unordered_set<std::string> excluded_; // lower case
    struct Listing {
        FileStatus status;
        std::vector<FolderEntry> entries;
    };
    std::unordered_map<std::string, Listing> listings_;
};

} // namespace drivlet

#pragma once
// What a restore may write. The run's folder on the drive can hold anything, since every byte
// there may have been put by someone else: only the files the job's history records the run as
// having copied come back, and to their old places only below the folders and files the job
// backs up.
#include "core/db/FileLogReader.h"
#include "core/time/DateTime.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

// The chosen run as the job's history has it, and the job's sources as the job runs now.
struct RestoreRun {
    std::optional<TDateTime> startTime; // the history row's DateTime
    std::string format;                 // its Format: the mode of the runs into the run's folder
    std::vector<std::string> folders;   // the job's source folders
    std::vector<std::string> files;     // the job's single files
    // A folder-copy move job puts the contents of each source folder straight into its folder.
    bool sourcesSideBySide = false;
};

// The earliest `FileLog.Update` a file of the run can have. A time-stamped run wrote a folder of
// its own, named after the minute it started (runs started within that minute share it), and
// later runs only move its files' rows on to their own starts: a row older than that minute is
// of a file the run did not write. Runs of the other modes all write into the one folder of
// their row, where any file the job has copied may lie: none. A time-stamped run without a start
// can tell nothing apart, and no file is its.
std::optional<TDateTime> EarliestCopyOf(const RestoreRun& run);

// Whether a path to restore to the old place is one of the job's files or lies below one of its
// folders.
bool IsJobSource(const RestoreRun& run, std::string_view path);

class RestoreScope {
public:
    // Reads the job's backup database without changing it; throws EDatabaseError when it cannot.
    RestoreScope(RestoreRun run, const std::filesystem::path& databaseFile);

    // A file of a folder backup at `rel` below the run's folder (the mapped path, such as
    // "home/a/x.txt"), restored to its old place or below another folder.
    [[nodiscard]] bool AdmitsCopy(std::string_view rel, bool toOldPlace);
    // An entry of one of the run's zip archives, such as "home/a/x.txt" in "Root.Zip".
    [[nodiscard]] bool AdmitsEntry(std::string_view archive, std::string_view entry, bool toOldPlace);

private:
    // The run copied the source file into its folder.
    bool Recorded(const std::string& source);

    RestoreRun run_;
    std::optional<TDateTime> earliest_;
    FileLogReader fileLog_;
};

} // namespace drivlet

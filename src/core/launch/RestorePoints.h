#pragma once
// The runs of a backup job that can be brought back: its history rows, newest first, each with
// the folder the run wrote to on the drive as it is mounted now.
#include "core/time/DateTime.h"
#include "core/time/DateTimeText.h"

#include <optional>
#include <string>
#include <vector>

namespace drivlet {

struct RestorePoint {
    std::string archiveFolder; // ends with "/"
    std::optional<TDateTime> startTime;
    std::string status;
    std::string format;
};

// The runs, or why they cannot be read: a backup database that is cut short, not a database at
// all or of another layout is an error to show, never an exception out of a restore.
struct RestorePointList {
    std::vector<RestorePoint> points;
    std::string error; // empty when the history was read (or there is none yet)
    bool ok() const { return error.empty(); }
};

// No runs when the job has no backup database yet (the file is not created).
[[nodiscard]] RestorePointList RestorePoints(const std::string& jobFile);

// The restore wizard's list: the runs in the order of their start, oldest first (a run without a
// start time first of all), each with its folder where it is now: on the job's drive when it is
// there, else as stored; a run whose folder is in neither place is left out.
[[nodiscard]] RestorePointList WizardRestorePoints(const std::string& jobFile);

// The point a restore takes from the wizard's list when none is chosen: the first (oldest); none
// for an empty list.
const RestorePoint* DefaultRestorePoint(const RestorePointList& list);

// The wizard's row caption: the start time as text, "N/A" when the run has none.
std::string RestorePointCaption(const RestorePoint& point,
                                const DateTimeTextFormat& format = DefaultDateTimeText);

// How a row is marked: a run that never ended ("Not Completed") and a cancelled one
// ("Canceled :(") stand out from the rest.
enum class RestorePointMark { Normal, NotCompleted, Canceled };
RestorePointMark RestorePointMarkOf(const RestorePoint& point);

// The folder of a history key: a key kept without the drive path is read against the drive the
// job file is on now; a key of a folder off the drive is that folder.
std::string ArchiveFolderOfKey(const std::string& key, const std::string& jobFile);

} // namespace drivlet

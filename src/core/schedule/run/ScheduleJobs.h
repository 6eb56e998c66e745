#pragma once
// Jobs on the schedule list: a job's name as its file gives it, a job added once whatever drive
// path it had, and the schedule editor's time wrapping.
#include "core/db/ProgramDatabase.h"
#include "core/time/DateTime.h"

#include <optional>
#include <string>
#include <utility>

namespace drivlet {

struct JobNameRead {
    std::optional<std::string> name;
    std::string error; // why there is none: "no such job file", "the job file cannot be read", ...
};

// The name of the job in the file: `BackupName` of a backup or move job, `SyncName` of a sync.
JobNameRead ReadJobName(const std::string& file, const IClock& clock);

// The Schedules screen's AddJob: the row of the job when it has one (found by its path below the
// drive, ignoring case, so a job is never added twice whatever drive path it had), else a new
// row, active and timed, named from the file ("-" when the file gives no name).
ScheduleRunRow AddJobToSchedules(ProgramDatabase& database, const std::string& jobFile, const IClock& clock);

// The editor's hour and minute boxes: an hour above 23 is 0 and below 0 is 23; minute 60 is 0 of
// the next hour and -1 is 59 of the hour before.
std::pair<int, int> WrapScheduleTime(int hour, int minute);

} // namespace drivlet

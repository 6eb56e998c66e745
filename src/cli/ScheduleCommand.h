#pragma once
// `drivlet-cli schedule`: the schedule table of the program database under the program data root,
// as the Schedules window keeps it: list the rows, add a job file with its mode (and for timed runs
// a schedule given as options), switch a row on or off, remove it.
#include "core/time/DateTime.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace drivlet::cli {

// args: the words after "schedule". Paths are full paths (main makes them so). Exit codes: 0 done,
// 2 a usage error, 3 the job, the row or the database cannot be read.
int ScheduleVerb(const std::vector<std::string>& args, const std::filesystem::path& programDataRoot,
                 const IClock& clock, std::ostream& out, std::ostream& err);

} // namespace drivlet::cli

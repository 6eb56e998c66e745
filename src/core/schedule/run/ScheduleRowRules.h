#pragma once
// What a schedule row shows and how its next run is set when the user saves it.
#include "core/schedule/TSchedule.h"

#include <optional>
#include <string>
#include <string_view>

namespace drivlet {

// The next run written when a row is saved. Timed rows: the schedule's next run from now; a
// once-only schedule keeps it whatever it is, any other is cleared when it is not later than now
// (its time today has passed: it is not run until saved again). Other modes: none.
std::optional<TDateTime> NextRunTimeOnSave(const TSchedule& schedule, int mode, TDateTime now);

// "Backup Job", "Move Job", "Sync Job", "PC-PC Sync" from the file's extension; "N/A" otherwise.
std::string ScheduleTypeText(std::string_view fileName);

// The caption of a row's Mode: "Windows Startup", "Window Shutdown", "Every Day/Week/Month/year",
// "USB Disk Insertion"; empty for another value.
std::string_view ScheduleModeCaption(int mode);

} // namespace drivlet

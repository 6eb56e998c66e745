#pragma once
// The Schedules screen's rules without its window: the next run time a row gets when it is saved,
// and the texts of its Type column, its mode and its next run.
#include "core/schedule/TSchedule.h"

#include <optional>
#include <string>
#include <string_view>

namespace drivlet {

// The next run time a schedule row gets when saved. A timed row (mode 2) takes the schedule's
// next run from now: as it is for a once-only schedule, otherwise only when it is later than now
// (a time already past today is none, and the job waits until the schedule is saved again before
// it). The other modes have none.
std::optional<TDateTime> NextRunTimeOnSave(bool timedRow, const TSchedule& schedule, TDateTime now);

// The Type column, by the job file's lower-cased extension: "Backup Job", "Move Job", "Sync Job",
// "PC-PC Sync", else "N/A".
std::string_view ScheduleTypeText(std::string_view fileName);

// The mode choices by their stored value: 0 "Windows Startup", 1 "Window Shutdown",
// 2 "Every Day/Week/Month/year", 3 "USB Disk Insertion"; empty for any other value.
std::string_view ScheduleModeCaption(int mode);

// The "Next Run At" labels: "Monday 16 of August 2010" and "14:05:00"; "N/A" and nothing when the
// row has no next run.
struct NextRunTexts {
    std::string date;
    std::string time;
};
NextRunTexts NextRunAtTexts(const std::optional<TDateTime>& nextRunTime);

} // namespace drivlet

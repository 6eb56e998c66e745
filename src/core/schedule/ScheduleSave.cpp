#include "core/schedule/ScheduleSave.h"

#include "core/text/CaseFold.h"
#include "core/time/DateFormat.h"

#include <array>

namespace drivlet {
namespace {

constexpr std::array<std::string_view, 7> kDayNames = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                       "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 12> kMonthNames = {"January",   "February", "March",    "April",
                                                          "May",       "June",     "July",     "August",
                                                          "September", "October",  "November", "December"};

} // namespace

std::optional<TDateTime> NextRunTimeOnSave(bool timedRow, const TSchedule& schedule, TDateTime now) {
    if (!timedRow) return std::nullopt;
    const TDateTime next = schedule.NextRun(now);
    if (schedule.ScheduleMode == TScheduleMode::smOnesOnly) return next;
    if (now >= next) return std::nullopt;
    return next;
}

std::string_view ScheduleTypeText(std::string_view fileName) {
    const size_t slash = fileName.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = name.rfind('.');
    const std::string extension = dot == std::string_view::npos ? std::string() : LowerCase(name.substr(dot));
    if (extension == ".ubk") return "Backup Job";
    if (extension == ".umv") return "Move Job";
    if (extension == ".usy") return "Sync Job";
    if (extension == ".upcsy") return "PC-PC Sync";
    return "N/A";
}

std::string_view ScheduleModeCaption(int mode) {
    switch (mode) {
    case 0:
        return "Windows Startup";
    case 1:
        return "Window Shutdown";
    case 2:
        return "Every Day/Week/Month/year";
    case 3:
        return "USB Disk Insertion";
    default:
        return {};
    }
}

NextRunTexts NextRunAtTexts(const std::optional<TDateTime>& nextRunTime) {
    if (!nextRunTime) return {"N/A", ""};
    const DateParts p = DecodeDateTime(*nextRunTime);
    std::string date =
        std::string(kDayNames[static_cast<size_t>(WeekdayMondayFirst(EncodeDate(p.year, p.month, p.day)))]) +
        " " + std::to_string(p.day) + " of " + std::string(kMonthNames[static_cast<size_t>(p.month - 1)]) +
        " " + std::to_string(p.year);
    return {std::move(date), FormatDateTime(*nextRunTime, "hh:nn:ss")};
}

} // namespace drivlet

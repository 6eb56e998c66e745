#include "core/schedule/run/ScheduleRowRules.h"

#include "core/db/ProgramDatabase.h"
#include "core/text/CaseFold.h"

#include <filesystem>

namespace drivlet {

std::optional<TDateTime> NextRunTimeOnSave(const TSchedule& schedule, int mode, TDateTime now) {
    if (mode != kRunTimed) return std::nullopt;
    const TDateTime next = schedule.NextRun(now);
    if (schedule.ScheduleMode == TScheduleMode::smOnesOnly) return next;
    if (now >= next) return std::nullopt;
    return next;
}

std::string ScheduleTypeText(std::string_view fileName) {
    const std::string extension =
        LowerCase(std::filesystem::path(std::string(fileName)).extension().string());
    if (extension == ".ubk") return "Backup Job";
    if (extension == ".umv") return "Move Job";
    if (extension == ".usy") return "Sync Job";
    if (extension == ".upcsy") return "PC-PC Sync";
    return "N/A";
}

std::string_view ScheduleModeCaption(int mode) {
    switch (mode) {
    case kRunAtStartup:
        return "Windows Startup";
    case kRunAtShutdown:
        return "Window Shutdown";
    case kRunTimed:
        return "Every Day/Week/Month/year";
    case kRunAtDriveInsertion:
        return "USB Disk Insertion";
    default:
        return {};
    }
}

} // namespace drivlet

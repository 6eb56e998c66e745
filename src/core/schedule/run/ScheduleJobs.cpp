#include "core/schedule/run/ScheduleJobs.h"

#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "core/text/CaseFold.h"

#include <filesystem>
#include <system_error>

namespace drivlet {

JobNameRead ReadJobName(const std::string& file, const IClock& clock) {
    const std::string extension = LowerCase(std::filesystem::path(file).extension().string());
    auto load = [&](TSaveLoadComponent& record) -> std::string {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) return "no such job file";
        if (record.LoadCompressed(file) != LoadResult::Loaded) return "the job file cannot be read";
        return {};
    };
    if (extension == ".ubk" || extension == ".umv") {
        TArchiveData job(clock);
        if (std::string error = load(job); !error.empty()) return {std::nullopt, error};
        return {job.BackupName, {}};
    }
    if (extension == ".usy") {
        TSyncData job;
        if (std::string error = load(job); !error.empty()) return {std::nullopt, error};
        return {job.SyncName, {}};
    }
    if (extension == ".upcsy") {
        TPCSyncData job;
        if (std::string error = load(job); !error.empty()) return {std::nullopt, error};
        return {job.SyncName, {}};
    }
    return {std::nullopt, "not a job file (.Ubk, .Umv, .Usy or .Upcsy)"};
}

ScheduleRunRow AddJobToSchedules(ProgramDatabase& database, const std::string& jobFile, const IClock& clock) {
    if (std::optional<ScheduleRunRow> row = database.FindScheduleForJob(jobFile)) return *row;
    return database.AddSchedule(jobFile, ReadJobName(jobFile, clock).name.value_or("-"));
}

std::pair<int, int> WrapScheduleTime(int hour, int minute) {
    if (minute >= 60) {
        minute = 0;
        ++hour;
    } else if (minute < 0) {
        minute = 59;
        --hour;
    }
    if (hour > 23) hour = 0;
    if (hour < 0) hour = 23;
    return {hour, minute};
}

} // namespace drivlet

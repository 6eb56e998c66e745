#pragma once
// The program's own database on this computer: the schedule table `ScheduleRun` and the log of
// files moved into the deleted-files folder, `DeleteDataLog`. The main thread keeps one instance
// open for the life of the process; every worker thread opens its own to log deleted files.
#include "core/db/Connection.h"
#include "core/db/DatabaseSchema.h"
#include "core/db/Table.h"
#include "core/time/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

// `ScheduleRun.Mode`: when a scheduled job runs.
inline constexpr int kRunAtStartup = 0;
inline constexpr int kRunAtShutdown = 1;
inline constexpr int kRunTimed = 2;
inline constexpr int kRunAtDriveInsertion = 3;

// `Active` is stored as text: true is written "T", false "F"; a value beginning with T, t, Y or y
// reads as true.
std::string_view ActiveText(bool active);
bool ActiveFromText(std::string_view text);

struct ScheduleRunRow {
    int64_t ID = 0;
    std::string FileName;
    int Mode = kRunTimed;
    std::optional<TDateTime> NextRunTime; // none: NULL
    bool Active = true;
    std::vector<uint8_t> Data; // the compressed schedule record; empty: NULL, never saved
    std::string JobName;
};

class ProgramDatabase {
public:
    static const DatabaseSchema& Schema();
    // program data root + "/ConfigData/ProgramData.udb"
    static std::filesystem::path PathFor(const std::filesystem::path& programDataRoot);

    // Opens the file, creating it with empty tables when it is missing (see Connection::Open).
    explicit ProgramDatabase(const std::filesystem::path& file);
    ProgramDatabase(const ProgramDatabase&) = delete;
    ProgramDatabase& operator=(const ProgramDatabase&) = delete;

    Connection& GetConnection() { return connection_; }

    // The selections of the schedule runner: active rows of one mode (start-up, shut-down, drive
    // insertion), and the active timed rows due at `now` (a NULL NextRunTime is never due).
    std::vector<ScheduleRunRow> ActiveSchedules(int mode);
    std::vector<ScheduleRunRow> DueTimedSchedules(TDateTime now);
    // The runner's rescheduling of one row.
    void SetNextRunTime(int64_t id, std::optional<TDateTime> nextRunTime);

    // The Schedules screen: all rows in the order they were added, add, save, delete.
    std::vector<ScheduleRunRow> AllSchedules();
    std::optional<ScheduleRunRow> FindSchedule(int64_t id);
    // A new row, active and timed, without schedule or next run time.
    ScheduleRunRow AddSchedule(std::string_view fileName, std::string_view jobName);
    // Writes every column of the row with row.ID.
    void SaveSchedule(const ScheduleRunRow& row);
    void DeleteSchedule(int64_t id);

    // The first row whose FileName contains the job file's path below its drive ("/Config/x.Ubk"),
    // ignoring letter case: a job is found whatever drive path it had when it was scheduled.
    std::optional<ScheduleRunRow> FindScheduleForJob(const std::filesystem::path& jobFile);
    // 0: no row for the job; 1: its row is active; 2: its row is switched off.
    int ScheduleStateOf(const std::filesystem::path& jobFile);

    // One file moved into the deleted-files folder; `relativePath` is below that folder.
    void LogDeletedFile(std::string_view relativePath, int64_t size);
    // Total size of the logged files; 0 for an empty log.
    int64_t DeletedFilesSize();
    void ClearDeletedFilesLog();

    // What a job will do on this computer (JobReach's fingerprint), once the user let it run here.
    bool KnowsJobReach(std::string_view reach);
    void RememberJobReach(std::string_view reach, TDateTime firstRun);

private:
    std::vector<ScheduleRunRow> SelectSchedules(std::string_view where, const std::vector<DbValue>& params);

    Connection connection_;
    Table schedules_;
    Statement insertDeleted_;
    Statement sumDeleted_;
};

} // namespace drivlet

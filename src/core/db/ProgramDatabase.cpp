#include "core/db/ProgramDatabase.h"

#include "core/db/EDatabaseError.h"
#include "core/text/CaseFold.h"

namespace drivlet {
namespace {

// ID never reuses a number (a deleted schedule's ID is not given to a new one); FileSize is a
// 64-bit integer, so sums above 4 GiB stay exact.
constexpr std::string_view kCreateSql = R"sql(
CREATE TABLE IF NOT EXISTS "ScheduleRun" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "FileName" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "Mode" INTEGER NOT NULL DEFAULT 2,
    "NextRunTime" REAL,
    "Active" TEXT NOT NULL DEFAULT 'T',
    "Data" BLOB,
    "JobName" TEXT NOT NULL DEFAULT '' COLLATE NOCASE
);
CREATE INDEX IF NOT EXISTS "ScheduleRun_FileName" ON "ScheduleRun" ("FileName");
CREATE INDEX IF NOT EXISTS "ScheduleRun_Mode" ON "ScheduleRun" ("Mode", "Active", "NextRunTime");
CREATE TABLE IF NOT EXISTS "DeleteDataLog" (
    "FileName" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "FileSize" INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS "DeleteDataLog_FileName" ON "DeleteDataLog" ("FileName");
)sql";

// Files from before it lack this table: it is made when such a file is opened.
constexpr std::string_view kKnownReachSql = R"sql(
CREATE TABLE IF NOT EXISTS "KnownJobReach" (
    "Reach" TEXT PRIMARY KEY NOT NULL,
    "FirstRun" REAL
);
)sql";

// The create statements of a new file: every table, the later ones too.
const std::string& CreateSql() {
    static const std::string sql = std::string(kCreateSql) + std::string(kKnownReachSql);
    return sql;
}

ScheduleRunRow FromRecord(const Record& r) {
    ScheduleRunRow row;
    row.ID = r.Integer("ID");
    row.FileName = r.Text("FileName");
    row.Mode = static_cast<int>(r.Integer("Mode"));
    row.NextRunTime = r.OptionalDate("NextRunTime");
    row.Active = ActiveFromText(r.Text("Active"));
    row.Data = r.Blob("Data");
    row.JobName = r.Text("JobName");
    return row;
}

void ToRecord(const ScheduleRunRow& row, Record& r) {
    r.Set("FileName", row.FileName);
    r.Set("Mode", int64_t{row.Mode});
    r.Set("NextRunTime", row.NextRunTime ? DbValue(*row.NextRunTime) : DbValue());
    r.Set("Active", std::string(ActiveText(row.Active)));
    r.Set("Data", row.Data.empty() ? DbValue() : DbValue(row.Data));
    r.Set("JobName", row.JobName);
}

// The job file's path below its drive: a job file lies in the "Config" folder at the drive's root.
std::string PathBelowDrive(const std::filesystem::path& jobFile) {
    const auto folder = jobFile.parent_path().filename().string();
    if (!SameText(folder, "Config")) return jobFile.string();
    return "/" + folder + "/" + jobFile.filename().string();
}

} // namespace

std::string_view ActiveText(bool active) {
    return active ? "T" : "F";
}

bool ActiveFromText(std::string_view text) {
    return !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
}

const DatabaseSchema& ProgramDatabase::Schema() {
    static const DatabaseSchema schema{
        CreateSql(),
        {{"ScheduleRun", {"ID", "FileName", "Mode", "NextRunTime", "Active", "Data", "JobName"}},
         {"DeleteDataLog", {"FileName", "FileSize"}}}};
    return schema;
}

namespace {

Connection OpenWithLaterTables(const std::filesystem::path& file) {
    Connection connection = Connection::Open(file, ProgramDatabase::Schema());
    connection.Execute(kKnownReachSql);
    return connection;
}

} // namespace

std::filesystem::path ProgramDatabase::PathFor(const std::filesystem::path& programDataRoot) {
    return programDataRoot / "ConfigData" / "ProgramData.udb";
}

ProgramDatabase::ProgramDatabase(const std::filesystem::path& file)
    : connection_(OpenWithLaterTables(file)), schedules_(connection_, "ScheduleRun"),
      insertDeleted_(
          connection_.Prepare(R"(INSERT INTO "DeleteDataLog" ("FileName", "FileSize") VALUES (?1, ?2))")),
      sumDeleted_(connection_.Prepare(R"(SELECT coalesce(SUM("FileSize"), 0) FROM "DeleteDataLog")")) {}

std::vector<ScheduleRunRow> ProgramDatabase::SelectSchedules(std::string_view where,
                                                             const std::vector<DbValue>& params) {
    std::vector<ScheduleRunRow> rows;
    for (const auto& r : schedules_.Select(where, params))
        rows.push_back(FromRecord(r));
    return rows;
}

std::vector<ScheduleRunRow> ProgramDatabase::ActiveSchedules(int mode) {
    return SelectSchedules(R"(("Active" = 'T') AND ("Mode" = ?1))", {int64_t{mode}});
}

std::vector<ScheduleRunRow> ProgramDatabase::DueTimedSchedules(TDateTime now) {
    // NULL <= now is not true, so rows without a next run are never due.
    return SelectSchedules(R"(("Active" = 'T') AND ("Mode" = 2) AND ("NextRunTime" <= ?1))", {now});
}

void ProgramDatabase::SetNextRunTime(int64_t id, std::optional<TDateTime> nextRunTime) {
    Statement s = connection_.Prepare(R"(UPDATE "ScheduleRun" SET "NextRunTime" = ?1 WHERE "ID" = ?2)");
    s.BindDate(1, nextRunTime).BindInteger(2, id).Run();
}

std::vector<ScheduleRunRow> ProgramDatabase::AllSchedules() {
    std::vector<ScheduleRunRow> rows;
    for (const auto& r : schedules_.Rows("ID"))
        rows.push_back(FromRecord(r));
    return rows;
}

std::optional<ScheduleRunRow> ProgramDatabase::FindSchedule(int64_t id) {
    auto r = schedules_.FindByRowId(id);
    if (!r) return std::nullopt;
    return FromRecord(*r);
}

ScheduleRunRow ProgramDatabase::AddSchedule(std::string_view fileName, std::string_view jobName) {
    ScheduleRunRow row;
    row.FileName = fileName;
    row.JobName = jobName;
    Record r = schedules_.NewRecord();
    ToRecord(row, r);
    schedules_.Post(r);
    return FromRecord(r);
}

void ProgramDatabase::SaveSchedule(const ScheduleRunRow& row) {
    auto r = schedules_.FindByRowId(row.ID);
    if (!r) throw EDatabaseError(connection_.File(), "no schedule with ID " + std::to_string(row.ID));
    ToRecord(row, *r);
    schedules_.Post(*r);
}

void ProgramDatabase::DeleteSchedule(int64_t id) {
    Statement s = connection_.Prepare(R"(DELETE FROM "ScheduleRun" WHERE "ID" = ?1)");
    s.BindInteger(1, id).Run();
}

std::optional<ScheduleRunRow> ProgramDatabase::FindScheduleForJob(const std::filesystem::path& jobFile) {
    // Searched here rather than with LIKE: no wildcard escaping, and the same letter-case folding
    // as the rest of the program.
    const std::string key = LowerCase(PathBelowDrive(jobFile));
    Statement s = connection_.Prepare(R"(SELECT "ID", "FileName" FROM "ScheduleRun" ORDER BY "ID")");
    while (s.Step()) {
        if (LowerCase(s.Text(1)).find(key) != std::string::npos) {
            const int64_t id = s.Integer(0);
            s.Reset();
            return FindSchedule(id);
        }
    }
    return std::nullopt;
}

int ProgramDatabase::ScheduleStateOf(const std::filesystem::path& jobFile) {
    const auto row = FindScheduleForJob(jobFile);
    if (!row) return 0;
    return row->Active ? 1 : 2;
}

void ProgramDatabase::LogDeletedFile(std::string_view relativePath, int64_t size) {
    insertDeleted_.BindText(1, relativePath).BindInteger(2, size).Run();
}

int64_t ProgramDatabase::DeletedFilesSize() {
    const int64_t total = sumDeleted_.Step() ? sumDeleted_.Integer(0) : 0;
    sumDeleted_.Reset();
    return total;
}

bool ProgramDatabase::KnowsJobReach(std::string_view reach) {
    Statement find = connection_.Prepare(R"(SELECT 1 FROM "KnownJobReach" WHERE "Reach" = ?1)");
    return find.BindText(1, reach).Step();
}

void ProgramDatabase::RememberJobReach(std::string_view reach, TDateTime firstRun) {
    connection_.Prepare(R"(INSERT OR IGNORE INTO "KnownJobReach" ("Reach", "FirstRun") VALUES (?1, ?2))")
        .BindText(1, reach)
        .BindDate(2, firstRun)
        .Run();
}

void ProgramDatabase::ClearDeletedFilesLog() {
    connection_.Execute(R"(DELETE FROM "DeleteDataLog")");
}

} // namespace drivlet

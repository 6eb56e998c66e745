#include "core/db/BackupDatabase.h"

#include "core/db/Transaction.h"

namespace drivlet {
namespace {

constexpr std::string_view kCreateSql = R"sql(
CREATE TABLE IF NOT EXISTS "FileLog" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "FileName" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "Update" REAL,
    "Size" INTEGER
);
CREATE INDEX IF NOT EXISTS "FileLog_FileName" ON "FileLog" ("FileName");
CREATE TABLE IF NOT EXISTS "ArchiveLog" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "ArchiveFolder" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "DateTime" REAL,
    "Status" TEXT NOT NULL DEFAULT '',
    "Format" TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS "ArchiveLog_ArchiveFolder" ON "ArchiveLog" ("ArchiveFolder");
)sql";

// Added later than the other two tables, so an older file gets it when it is first needed.
// Names are kept in their exact spelling: "root.zip" beside our "Root.Zip" is someone else's.
constexpr std::string_view kWrittenArchiveSql = R"sql(
CREATE TABLE IF NOT EXISTS "WrittenArchive" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "ArchiveFolder" TEXT NOT NULL,
    "FileName" TEXT NOT NULL,
    UNIQUE ("ArchiveFolder", "FileName")
);
)sql";

Connection OpenBackupFile(const std::filesystem::path& file, const DatabaseSchema& schema) {
    Connection connection = Connection::Open(file, schema);
    // A time alone misses an edit made within the two-second slot of the last copy.
    connection.AddColumnWhenMissing("FileLog", "Size", "INTEGER");
    return connection;
}

CopiedFile CopiedAt(const Statement& row, int column) {
    return {row.Date(column), row.IsNull(column + 1) ? -1 : row.Integer(column + 1)};
}

} // namespace

const DatabaseSchema& BackupDatabase::Schema() {
    // Not a required table: files made before it existed stay usable.
    static const std::string createSql = std::string(kCreateSql) + std::string(kWrittenArchiveSql);
    static const DatabaseSchema schema{
        createSql,
        {{"FileLog", {"FileName", "Update"}},
         {"ArchiveLog", {"ID", "ArchiveFolder", "DateTime", "Status", "Format"}}}};
    return schema;
}

std::filesystem::path BackupDatabase::PathForJob(const std::filesystem::path& jobFile) {
    return std::filesystem::path(jobFile).replace_extension(".Udb");
}

// The first comparison of each lookup uses the column's case-insensitive index, the second keeps
// only the row of the very same spelling.
BackupDatabase::BackupDatabase(const std::filesystem::path& file)
    : connection_(OpenBackupFile(file, Schema())),
      findFile_(connection_.Prepare(R"(SELECT "Update", "Size" FROM "FileLog" WHERE "FileName" = ?1
          AND "FileName" = ?1 COLLATE BINARY ORDER BY rowid LIMIT 1)")),
      updateFile_(connection_.Prepare(R"(UPDATE "FileLog" SET "Update" = ?2, "Size" = ?3 WHERE "FileName" = ?1
          AND "FileName" = ?1 COLLATE BINARY)")),
      insertFile_(
          connection_.Prepare(R"(INSERT INTO "FileLog" ("FileName", "Update", "Size") VALUES (?1, ?2, ?3))")),
      // The range compares without letter case, as the index is ordered; rows of equal names come
      // in rowid order.
      scanFolder_(connection_.Prepare(R"(SELECT "FileName", "Update", "Size" FROM "FileLog"
          WHERE "FileName" >= ?1 AND "FileName" < ?2 ORDER BY "FileName")")) {
    // A run writes a row per copied file. Folding the write-ahead log into the file (which
    // waits for the drive's pending write-back) every 4 MiB would stall a big first backup
    // several times; at 32 MiB a run of some 100,000 files folds it in once, when it closes.
    connection_.Execute("PRAGMA wal_autocheckpoint=8192");
}

std::optional<CopiedFile> BackupDatabase::LastCopied(std::string_view fileName) {
    findFile_.BindText(1, fileName);
    std::optional<CopiedFile> copied;
    if (findFile_.Step()) copied = CopiedAt(findFile_, 0);
    findFile_.Reset();
    return copied;
}

void BackupDatabase::RecordCopied(std::string_view fileName, TDateTime startTime,
                                  std::optional<int64_t> size) {
    Transaction t(connection_);
    updateFile_.BindText(1, fileName).BindDate(2, startTime).BindInteger(3, size).Run();
    if (connection_.Changes() == 0)
        insertFile_.BindText(1, fileName).BindDate(2, startTime).BindInteger(3, size).Run();
    t.Commit();
}

namespace {

// The first text after every name that begins with `prefix` (ending with "/"), in the index's
// case-blind order: '0' follows '/' and neither has a case.
std::string PastPrefix(std::string_view prefix) {
    std::string end(prefix);
    end.back() = '0';
    return end;
}

} // namespace

std::unordered_map<std::string, CopiedFile> BackupDatabase::CopiedInFolder(std::string_view folder) {
    std::unordered_map<std::string, CopiedFile> rows;
    if (folder.empty() || folder.back() != '/') return rows;
    const std::string end = PastPrefix(folder);
    std::string from(folder);
    for (bool more = true; more;) {
        more = false;
        scanFolder_.BindText(1, from).BindText(2, end);
        while (scanFolder_.Step()) {
            const std::string name = scanFolder_.Text(0);
            const std::size_t slash = name.find('/', folder.size());
            if (slash != std::string::npos) {
                // A row deeper down: the scan goes on past that whole subfolder.
                from = PastPrefix(std::string_view(name).substr(0, slash + 1));
                more = true;
                break;
            }
            // A folder spelt differently holds other files.
            if (name.compare(0, folder.size(), folder) != 0) continue;
            rows.emplace(name.substr(folder.size()), CopiedAt(scanFolder_, 1));
        }
        scanFolder_.Reset();
    }
    return rows;
}

void BackupDatabase::ResetFileLog() {
    connection_.Execute(R"(DELETE FROM "FileLog")");
}

int64_t BackupDatabase::BeginRun(std::string_view archiveFolderKey, TDateTime startTime,
                                 std::optional<std::string_view> format) {
    Transaction t(connection_);
    Statement find = connection_.Prepare(
        R"(SELECT "ID" FROM "ArchiveLog" WHERE "ArchiveFolder" = ?1 COLLATE NOCASE ORDER BY "ID" LIMIT 1)");
    find.BindText(1, archiveFolderKey);
    int64_t id = 0;
    if (find.Step()) {
        id = find.Integer(0);
    } else {
        Statement insert = connection_.Prepare(R"(INSERT INTO "ArchiveLog" ("ArchiveFolder") VALUES (?1))");
        insert.BindText(1, archiveFolderKey).Run();
        id = connection_.LastInsertId();
    }
    find.Reset();
    Statement update = connection_.Prepare(R"(UPDATE "ArchiveLog" SET "DateTime" = ?2, "Status" = ?3,
        "Format" = coalesce(?4, "Format") WHERE "ID" = ?1)");
    update.BindInteger(1, id).BindDate(2, startTime).BindText(3, kRunNotCompleted);
    if (format)
        update.BindText(4, *format);
    else
        update.BindNull(4);
    update.Run();
    t.Commit();
    return id;
}

void BackupDatabase::SetRunStatus(int64_t runId, std::string_view status) {
    Statement s = connection_.Prepare(R"(UPDATE "ArchiveLog" SET "Status" = ?2 WHERE "ID" = ?1)");
    s.BindInteger(1, runId).BindText(2, status).Run();
}

namespace {

std::vector<ArchiveLogRow> HistoryOf(const Connection& connection) {
    Statement s = connection.Prepare(R"(SELECT "ID", "ArchiveFolder", "DateTime", "Status", "Format"
        FROM "ArchiveLog" ORDER BY "DateTime", "ID")");
    std::vector<ArchiveLogRow> rows;
    while (s.Step())
        rows.push_back({s.Integer(0), s.Text(1), s.OptionalDate(2), s.Text(3), s.Text(4)});
    return rows;
}

} // namespace

std::vector<ArchiveLogRow> BackupDatabase::ArchiveHistory() {
    return HistoryOf(connection_);
}

std::vector<ArchiveLogRow> BackupDatabase::ArchiveHistoryUnchanging(const std::filesystem::path& file) {
    return HistoryOf(Connection::OpenUnchanging(file, Schema()));
}

bool BackupDatabase::HasWrittenArchives() {
    Statement s = connection_.Prepare(
        R"(SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'WrittenArchive')");
    return s.Step() && s.Integer(0) > 0;
}

std::vector<std::string> BackupDatabase::WrittenArchives(std::string_view archiveFolderKey) {
    std::vector<std::string> names;
    if (!HasWrittenArchives()) return names;
    Statement s = connection_.Prepare(
        R"(SELECT "FileName" FROM "WrittenArchive" WHERE "ArchiveFolder" = ?1 ORDER BY "ID")");
    s.BindText(1, archiveFolderKey);
    while (s.Step())
        names.push_back(s.Text(0));
    return names;
}

void BackupDatabase::RecordWrittenArchive(std::string_view archiveFolderKey, std::string_view fileName) {
    Transaction t(connection_);
    connection_.Execute(kWrittenArchiveSql);
    Statement s = connection_.Prepare(
        R"(INSERT OR IGNORE INTO "WrittenArchive" ("ArchiveFolder", "FileName") VALUES (?1, ?2))");
    s.BindText(1, archiveFolderKey).BindText(2, fileName).Run();
    t.Commit();
}

void BackupDatabase::ForgetWrittenArchive(std::string_view archiveFolderKey, std::string_view fileName) {
    if (!HasWrittenArchives()) return;
    Statement s =
        connection_.Prepare(R"(DELETE FROM "WrittenArchive" WHERE "ArchiveFolder" = ?1 AND "FileName" = ?2)");
    s.BindText(1, archiveFolderKey).BindText(2, fileName).Run();
}

} // namespace drivlet

#include "core/db/SyncDatabase.h"

#include "core/db/Transaction.h"

namespace drivlet {
namespace {

constexpr std::string_view kCreateSql = R"sql(
CREATE TABLE IF NOT EXISTS "FileLog" (
    "ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "FileName" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "FolderA" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "FolderB" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "ListID" INTEGER,
    "DateFolderA" REAL,
    "DateFolderB" REAL,
    "Size" INTEGER
);
CREATE INDEX IF NOT EXISTS "FileLog_FileName_FolderA" ON "FileLog" ("FileName", "FolderA");
CREATE INDEX IF NOT EXISTS "FileLog_FileName_FolderB" ON "FileLog" ("FileName", "FolderB");
)sql";

// One row per folder pair whose deletions wait for the user's word, with the side that lost its
// files. Files older than the table get it when they are opened.
constexpr std::string_view kHeldSql = R"sql(
CREATE TABLE IF NOT EXISTS "HeldDeletions" (
    "FolderA" TEXT NOT NULL COLLATE NOCASE,
    "FolderB" TEXT NOT NULL COLLATE NOCASE,
    "Side" TEXT NOT NULL,
    PRIMARY KEY ("FolderA", "FolderB")
);
)sql";

constexpr std::string_view kMountedSql = R"sql(
CREATE TABLE IF NOT EXISTS "MountedFolders" (
    "FolderA" TEXT NOT NULL COLLATE NOCASE,
    "FolderB" TEXT NOT NULL COLLATE NOCASE,
    "Folder" TEXT NOT NULL,
    PRIMARY KEY ("FolderA", "FolderB", "Folder")
);
)sql";

Connection OpenSyncFile(const std::filesystem::path& file, const DatabaseSchema& schema) {
    Connection connection = Connection::Open(file, schema);
    connection.Execute(kHeldSql);
    connection.Execute(kMountedSql);
    // Dates alone miss an edit made within the two-second slot of the last copy.
    connection.AddColumnWhenMissing("FileLog", "Size", "INTEGER");
    connection.AddColumnWhenMissing("HeldDeletions", "LastFileID", "INTEGER");
    return connection;
}

constexpr std::string_view kColumns =
    R"(SELECT "ID", "FileName", "FolderA", "FolderB", "ListID", "DateFolderA", "DateFolderB", "Size" FROM "FileLog" )";

} // namespace

const DatabaseSchema& SyncDatabase::Schema() {
    // The two later tables are not required: files made before them stay usable.
    static const std::string createSql =
        std::string(kCreateSql) + std::string(kHeldSql) + std::string(kMountedSql);
    static const DatabaseSchema schema{
        createSql,
        {{"FileLog", {"ID", "FileName", "FolderA", "FolderB", "ListID", "DateFolderA", "DateFolderB"}}}};
    return schema;
}

std::filesystem::path SyncDatabase::PathForJob(const std::filesystem::path& jobFile) {
    return std::filesystem::path(jobFile).replace_extension(".Usdb");
}

std::filesystem::path SyncDatabase::PathForItem(const std::filesystem::path& jobFile,
                                                std::string_view itemId) {
    return jobFile.parent_path() / (std::string(itemId) + ".Usdb");
}

SyncDatabase::SyncDatabase(const std::filesystem::path& file)
    : connection_(OpenSyncFile(file, Schema())),
      findA_(connection_.Prepare(std::string(kColumns) +
                                 R"(WHERE "FileName" = ?1 AND "FolderA" = ?2 ORDER BY "ID" LIMIT 1)")),
      findB_(connection_.Prepare(std::string(kColumns) +
                                 R"(WHERE "FileName" = ?1 AND "FolderB" = ?2 ORDER BY "ID" LIMIT 1)")),
      findId_(connection_.Prepare(std::string(kColumns) + R"(WHERE "ID" = ?1)")),
      insert_(connection_.Prepare(
          R"(INSERT INTO "FileLog" ("FileName", "FolderA", "FolderB", "ListID") VALUES (?1, ?2, ?3, ?4))")),
      setListId_(connection_.Prepare(R"(UPDATE "FileLog" SET "ListID" = ?2 WHERE "ID" = ?1)")),
      setDates_(connection_.Prepare(
          R"(UPDATE "FileLog" SET "DateFolderA" = ?2, "DateFolderB" = ?3, "Size" = ?4 WHERE "ID" = ?1)")),
      findHeld_(connection_.Prepare(
          R"(SELECT "Side" FROM "HeldDeletions" WHERE "FolderA" = ?1 AND "FolderB" = ?2)")),
      findHeldLast_(connection_.Prepare(
          R"(SELECT "LastFileID" FROM "HeldDeletions" WHERE "FolderA" = ?1 AND "FolderB" = ?2)")),
      setHeld_(connection_.Prepare(
          R"(INSERT OR REPLACE INTO "HeldDeletions" ("FolderA", "FolderB", "Side", "LastFileID") VALUES (?1, ?2, ?3, ?4))")),
      clearHeld_(
          connection_.Prepare(R"(DELETE FROM "HeldDeletions" WHERE "FolderA" = ?1 AND "FolderB" = ?2)")) {}

void SyncDatabase::ClearListIds() {
    connection_.Execute(R"(UPDATE "FileLog" SET "ListID" = NULL)");
}

SyncFileRecord SyncDatabase::RecordOf(Statement& query) {
    return SyncFileRecord{query.Integer(0),
                          query.Text(1),
                          query.Text(2),
                          query.Text(3),
                          query.IsNull(4) ? std::nullopt : std::optional<int64_t>(query.Integer(4)),
                          query.Date(5),
                          query.Date(6),
                          query.IsNull(7) ? -1 : query.Integer(7)};
}

std::optional<SyncFileRecord> SyncDatabase::FindOne(Statement& query) {
    std::optional<SyncFileRecord> found;
    if (query.Step()) found = RecordOf(query);
    query.Reset();
    return found;
}

void SyncDatabase::EachRecordOfPair(std::string_view folderA, std::string_view folderB,
                                    const std::function<void(const SyncPairRecord&)>& each) {
    // The comparisons take the columns' NOCASE collation, as the lookups by name do.
    Statement query = connection_.Prepare(
        R"(SELECT "ID", "FileName", "FolderA" = ?1, "FolderB" = ?2, "DateFolderA", "DateFolderB", "Size" FROM "FileLog" )"
        R"(WHERE "FolderA" = ?1 OR "FolderB" = ?2 ORDER BY "ID")");
    query.BindText(1, folderA).BindText(2, folderB);
    SyncPairRecord record;
    while (query.Step()) {
        record.ID = query.Integer(0);
        record.FileName = query.Text(1);
        record.OnA = query.Integer(2) != 0;
        record.OnB = query.Integer(3) != 0;
        record.DateFolderA = query.Date(4);
        record.DateFolderB = query.Date(5);
        record.Size = query.IsNull(6) ? -1 : query.Integer(6);
        each(record);
    }
}

std::optional<SyncFileRecord> SyncDatabase::FindDriveSide(std::string_view fileName,
                                                          std::string_view folderA) {
    findA_.BindText(1, fileName).BindText(2, folderA);
    return FindOne(findA_);
}

std::optional<SyncFileRecord> SyncDatabase::FindComputerSide(std::string_view fileName,
                                                             std::string_view folderB) {
    findB_.BindText(1, fileName).BindText(2, folderB);
    return FindOne(findB_);
}

std::optional<SyncFileRecord> SyncDatabase::FindById(int64_t id) {
    findId_.BindInteger(1, id);
    return FindOne(findId_);
}

SyncFileRecord SyncDatabase::Insert(std::string_view fileName, std::string_view folderA,
                                    std::string_view folderB, std::optional<int64_t> listId) {
    insert_.BindText(1, fileName).BindText(2, folderA).BindText(3, folderB).BindInteger(4, listId).Run();
    return SyncFileRecord{connection_.LastInsertId(),
                          std::string(fileName),
                          std::string(folderA),
                          std::string(folderB),
                          listId,
                          0,
                          0,
                          -1};
}

void SyncDatabase::SetListId(int64_t id, std::optional<int64_t> listId) {
    setListId_.BindInteger(1, id).BindInteger(2, listId).Run();
}

void SyncDatabase::SetDates(int64_t id, TDateTime dateFolderA, TDateTime dateFolderB,
                            std::optional<int64_t> size) {
    setDates_.BindInteger(1, id).BindDate(2, dateFolderA).BindDate(3, dateFolderB).BindInteger(4, size).Run();
}

std::optional<char> SyncDatabase::HeldSide(std::string_view folderA, std::string_view folderB) {
    findHeld_.BindText(1, folderA).BindText(2, folderB);
    std::optional<char> side;
    if (findHeld_.Step()) {
        const std::string text = findHeld_.Text(0);
        if (text == "A" || text == "B") side = text.front();
    }
    findHeld_.Reset();
    return side;
}

std::optional<int64_t> SyncDatabase::HeldLastFileId(std::string_view folderA, std::string_view folderB) {
    findHeldLast_.BindText(1, folderA).BindText(2, folderB);
    std::optional<int64_t> id;
    if (findHeldLast_.Step() && !findHeldLast_.IsNull(0)) id = findHeldLast_.Integer(0);
    findHeldLast_.Reset();
    return id;
}

void SyncDatabase::SetHeld(std::string_view folderA, std::string_view folderB, char side,
                           std::optional<int64_t> lastFileId) {
    setHeld_.BindText(1, folderA).BindText(2, folderB).BindText(3, std::string(1, side));
    if (lastFileId)
        setHeld_.BindInteger(4, *lastFileId);
    else
        setHeld_.BindNull(4);
    setHeld_.Run();
}

void SyncDatabase::ClearHeld(std::string_view folderA, std::string_view folderB) {
    clearHeld_.BindText(1, folderA).BindText(2, folderB).Run();
}

std::vector<std::string> SyncDatabase::MountedFolders(std::string_view folderA, std::string_view folderB) {
    Statement s = connection_.Prepare(
        R"(SELECT "Folder" FROM "MountedFolders" WHERE "FolderA" = ?1 AND "FolderB" = ?2 ORDER BY "Folder")");
    s.BindText(1, folderA).BindText(2, folderB);
    std::vector<std::string> folders;
    while (s.Step())
        folders.push_back(s.Text(0));
    return folders;
}

void SyncDatabase::SetMountedFolders(std::string_view folderA, std::string_view folderB,
                                     const std::vector<std::string>& folders) {
    Transaction t(connection_);
    Statement clear =
        connection_.Prepare(R"(DELETE FROM "MountedFolders" WHERE "FolderA" = ?1 AND "FolderB" = ?2)");
    clear.BindText(1, folderA).BindText(2, folderB).Run();
    Statement add = connection_.Prepare(
        R"(INSERT OR IGNORE INTO "MountedFolders" ("FolderA", "FolderB", "Folder") VALUES (?1, ?2, ?3))");
    for (const std::string& folder : folders) {
        add.BindText(1, folderA).BindText(2, folderB).BindText(3, folder).Run();
    }
    t.Commit();
}

} // namespace drivlet

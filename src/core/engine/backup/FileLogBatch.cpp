#include "core/engine/backup/FileLogBatch.h"

namespace drivlet {

// The first comparison uses the column's case-insensitive index, the second keeps only the row
// of the very same spelling.
FileLogBatch::FileLogBatch(Connection& connection)
    : connection_(connection),
      find_(connection.Prepare(R"(SELECT "Update" FROM "FileLog" WHERE "FileName" = ?1
          AND "FileName" = ?1 COLLATE BINARY ORDER BY rowid LIMIT 1)")),
      update_(connection.Prepare(R"(UPDATE "FileLog" SET "Update" = ?2 WHERE "FileName" = ?1
          AND "FileName" = ?1 COLLATE BINARY)")),
      insert_(connection.Prepare(R"(INSERT INTO "FileLog" ("FileName", "Update") VALUES (?1, ?2))")) {}

FileLogBatch::~FileLogBatch() {
    try {
        Commit();
    } catch (...) {
        // The rows are lost with the batch; the files are only copied again next time.
    }
}

void FileLogBatch::Begin() {
    if (batch_ && std::chrono::steady_clock::now() - batchStart_ >= kBatchAge) Commit();
    if (batch_) return;
    batch_ = std::make_unique<Transaction>(connection_);
    batchStart_ = std::chrono::steady_clock::now();
}

std::optional<TDateTime> FileLogBatch::LastCopied(std::string_view fileName) {
    // Inside the batch the lookups take no file lock of their own.
    Begin();
    find_.BindText(1, fileName);
    std::optional<TDateTime> update;
    if (find_.Step()) update = find_.Date(0);
    find_.Reset();
    return update;
}

void FileLogBatch::RecordCopied(std::string_view fileName, TDateTime startTime) {
    Begin();
    update_.BindText(1, fileName).BindDate(2, startTime).Run();
    if (connection_.Changes() == 0) insert_.BindText(1, fileName).BindDate(2, startTime).Run();
    if (++pending_ >= kBatchRows) Commit();
}

void FileLogBatch::Commit() {
    if (!batch_) return;
    std::unique_ptr<Transaction> batch = std::move(batch_);
    pending_ = 0;
    batch->Commit();
}

} // namespace drivlet

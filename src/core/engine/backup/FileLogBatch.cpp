#include "core/engine/backup/FileLogBatch.h"

namespace drivlet {

FileLogBatch::FileLogBatch(BackupDatabase& database) : database_(database) {}

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
    batch_ = std::make_unique<Transaction>(database_.GetConnection());
    batchStart_ = std::chrono::steady_clock::now();
}

std::optional<CopiedFile> FileLogBatch::LastCopied(std::string_view fileName) {
    Begin();
    return database_.LastCopied(fileName);
}

std::unordered_map<std::string, CopiedFile> FileLogBatch::CopiedInFolder(std::string_view folder) {
    Begin();
    return database_.CopiedInFolder(folder);
}

void FileLogBatch::RecordCopied(std::string_view fileName, TDateTime startTime, std::optional<int64_t> size) {
    Begin();
    database_.RecordCopied(fileName, startTime, size);
    if (++pending_ >= kBatchRows) Commit();
}

void FileLogBatch::Commit() {
    if (!batch_) return;
    std::unique_ptr<Transaction> batch = std::move(batch_);
    pending_ = 0;
    batch->Commit();
}

} // namespace drivlet

#pragma once
// The `FileLog` reads and writes of a backup run, gathered into transactions so a big run neither
// syncs nor locks the file once per file. A batch holds the write lock for a couple of seconds at
// most. The rows themselves (exact spelling of each path) are the database's business.
#include "core/db/BackupDatabase.h"
#include "core/db/Transaction.h"
#include "core/time/DateTime.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace drivlet {

class FileLogBatch {
public:
    explicit FileLogBatch(BackupDatabase& database);
    // Commits what is pending: a row exists only for a file that was copied.
    ~FileLogBatch();
    FileLogBatch(const FileLogBatch&) = delete;
    FileLogBatch& operator=(const FileLogBatch&) = delete;

    // See BackupDatabase; inside the batch the reads take no file lock of their own.
    std::optional<CopiedFile> LastCopied(std::string_view fileName);
    std::unordered_map<std::string, CopiedFile> CopiedInFolder(std::string_view folder);
    // Written with the batch.
    void RecordCopied(std::string_view fileName, TDateTime startTime, std::optional<int64_t> size);
    // Ends the open batch, if any, so its rows are in the file.
    void Commit();

private:
    // Opens a batch, after ending one that has been open for a while.
    void Begin();

    static constexpr int kBatchRows = 500;
    static constexpr std::chrono::seconds kBatchAge{2};

    BackupDatabase& database_;
    std::unique_ptr<Transaction> batch_;
    int pending_ = 0;
    std::chrono::steady_clock::time_point batchStart_;
};

} // namespace drivlet

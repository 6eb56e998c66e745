#pragma once
// The `FileLog` reads and writes of a backup run: lookups by the exact path (the column ignores
// letter case, but on Linux /a/X.txt and /a/x.txt are two files and must not share a row), and
// the per-file reads and writes gathered into transactions so a big run neither syncs nor locks
// the file once per file. A batch holds the write lock for a couple of seconds at most.
#include "core/db/Connection.h"
#include "core/db/Transaction.h"
#include "core/time/DateTime.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace drivlet {

class FileLogBatch {
public:
    explicit FileLogBatch(Connection& connection);
    // Commits what is pending: a row exists only for a file that was copied.
    ~FileLogBatch();
    FileLogBatch(const FileLogBatch&) = delete;
    FileLogBatch& operator=(const FileLogBatch&) = delete;

    // `Update` of the row of exactly this path (a NULL date reads as 0), none without a row.
    std::optional<TDateTime> LastCopied(std::string_view fileName);
    // The file's row gets `Update` := startTime, created when missing; written with the batch.
    void RecordCopied(std::string_view fileName, TDateTime startTime);
    // Ends the open batch, if any, so its rows are in the file.
    void Commit();

private:
    // Opens a batch, after ending one that has been open for a while.
    void Begin();

    static constexpr int kBatchRows = 500;
    static constexpr std::chrono::seconds kBatchAge{2};

    Connection& connection_;
    Statement find_;
    Statement update_;
    Statement insert_;
    std::unique_ptr<Transaction> batch_;
    int pending_ = 0;
    std::chrono::steady_clock::time_point batchStart_;
};

} // namespace drivlet

#pragma once
// The backup database of one backup or move job, beside its job file: `FileLog` remembers when
// each source file was last copied, `ArchiveLog` holds one history row per destination folder,
// `WrittenArchive` the zip archives the job itself has written, the only ones it may delete.
#include "core/db/Connection.h"
#include "core/db/DatabaseSchema.h"
#include "core/time/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace drivlet {

// What `FileLog` remembers of a file's last copy.
struct CopiedFile {
    TDateTime update = 0; // the start of the run that copied it (a NULL date reads as 0)
    int64_t size = -1;    // the size it was copied at; -1: not recorded (a row of an older version)

    // Whether the file, now of this time and size, has changed since that copy: a later time, or
    // another size (an edit within the two-second slot of the copy keeps the time).
    bool Changed(TDateTime fileTime, int64_t fileSize) const {
        return fileTime > update || (size >= 0 && fileSize != size);
    }
    bool operator==(const CopiedFile&) const = default;
};

// `ArchiveLog.Status` of a run that has begun and not ended.
inline constexpr std::string_view kRunNotCompleted = "Not Completed";

struct ArchiveLogRow {
    int64_t ID = 0;
    std::string ArchiveFolder;
    std::optional<TDateTime> DateTime; // none: NULL
    std::string Status;
    std::string Format;
};

class BackupDatabase {
public:
    static const DatabaseSchema& Schema();
    // The job file's path with its extension replaced by ".Udb".
    static std::filesystem::path PathForJob(const std::filesystem::path& jobFile);

    // Opens the file, creating it (and its folder) when it is missing (see Connection::Open).
    explicit BackupDatabase(const std::filesystem::path& file);
    BackupDatabase(const BackupDatabase&) = delete;
    BackupDatabase& operator=(const BackupDatabase&) = delete;

    // For batching many row writes in one Transaction.
    Connection& GetConnection() { return connection_; }

    // The row of exactly this path, or none when the file has no row. The column ignores letter
    // case, but /a/X.txt and /a/x.txt are two files here and never share a row.
    std::optional<CopiedFile> LastCopied(std::string_view fileName);
    // After a successful copy: the row of exactly this path gets `Update` := startTime and the
    // size copied (none: not known), created when missing. Joins the caller's transaction when
    // one is open.
    void RecordCopied(std::string_view fileName, TDateTime startTime, std::optional<int64_t> size);
    // What LastCopied tells for each file lying directly in the folder (ending with "/") that
    // has a row, by file name: one pass over the index instead of a lookup per file.
    std::unordered_map<std::string, CopiedFile> CopiedInFolder(std::string_view folder);
    // "Reset Backup": forget every file, so the next run treats all of them as new.
    void ResetFileLog();

    // The start of a backup run: the row of `archiveFolderKey` (found ignoring letter case, else
    // added) gets DateTime := startTime and Status "Not Completed", and Format when one is given
    // (a move job leaves it as it was). Returns the row's ID.
    int64_t BeginRun(std::string_view archiveFolderKey, TDateTime startTime,
                     std::optional<std::string_view> format);
    // The run's final status line.
    void SetRunStatus(int64_t runId, std::string_view status);
    // Every history row, oldest DateTime first (for the restore wizard).
    std::vector<ArchiveLogRow> ArchiveHistory();
    // The same, read from a file that cannot be written (a read-only drive), without opening it
    // for writing.
    static std::vector<ArchiveLogRow> ArchiveHistoryUnchanging(const std::filesystem::path& file);

    // The zip archives this job has written into an archive folder (its history key form), by
    // file name in its exact spelling. A database made before the table existed has none.
    std::vector<std::string> WrittenArchives(std::string_view archiveFolderKey);
    // After an archive that the job made has been written; the table is added when missing.
    void RecordWrittenArchive(std::string_view archiveFolderKey, std::string_view fileName);
    // After the archive has been deleted.
    void ForgetWrittenArchive(std::string_view archiveFolderKey, std::string_view fileName);

private:
    bool HasWrittenArchives();

    Connection connection_;
    Statement findFile_;
    Statement updateFile_;
    Statement insertFile_;
    Statement scanFolder_;
};

} // namespace drivlet

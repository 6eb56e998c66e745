#pragma once
// A backup database's `FileLog` as a restore reads it: which source files the job's runs have
// copied, and when last. The file is opened as one nothing changes meanwhile (the restore holds
// the job's lock), never for writing, so a restore leaves the drive as it found it.
#include "core/db/Connection.h"
#include "core/time/DateTime.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace drivlet {

class FileLogReader {
public:
    // Throws EDatabaseError when the file is missing, damaged or not a backup database.
    explicit FileLogReader(const std::filesystem::path& file);
    FileLogReader(const FileLogReader&) = delete;
    FileLogReader& operator=(const FileLogReader&) = delete;

    // `Update` of the row of exactly this path (a NULL date reads as 0); none when the file has
    // no row. As in BackupDatabase::LastCopied, /a/X.txt and /a/x.txt are two files.
    std::optional<TDateTime> LastCopied(std::string_view fileName);

private:
    Connection connection_;
    Statement find_;
};

} // namespace drivlet

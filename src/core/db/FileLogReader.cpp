#include "core/db/FileLogReader.h"

#include "core/db/BackupDatabase.h"

namespace drivlet {

// Only the columns every version of the file has: an older file without "Size" reads too.
FileLogReader::FileLogReader(const std::filesystem::path& file)
    : connection_(Connection::OpenUnchanging(file, BackupDatabase::Schema())),
      find_(connection_.Prepare(R"(SELECT "Update" FROM "FileLog" WHERE "FileName" = ?1
          AND "FileName" = ?1 COLLATE BINARY ORDER BY rowid LIMIT 1)")) {}

std::optional<TDateTime> FileLogReader::LastCopied(std::string_view fileName) {
    find_.BindText(1, fileName);
    std::optional<TDateTime> update;
    if (find_.Step()) update = find_.Date(0);
    find_.Reset();
    return update;
}

} // namespace drivlet

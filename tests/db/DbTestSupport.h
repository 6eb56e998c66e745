#pragma once
// Helpers for the database tests: raw SQLite files made outside the layer under test.
#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace drivlet::test {

// Runs SQL on a file through SQLite directly, in its default (rollback journal) mode.
inline void RawSql(const std::filesystem::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open " + file.string());
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error(message);
}

} // namespace drivlet::test

#pragma once
// Helpers for the database tests: raw SQLite files made outside the layer under test.
#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace drivlet::test {

// Runs SQL on a file through SQLite directly, in its default (rollback journal) mode or in the
// write-ahead mode of a file that has it. With `leaveLog`, the write-ahead log stays beside the
// file unfolded, as after a crash.
inline void RawSql(const std::filesystem::path& file, const std::string& sql, bool leaveLog = false) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open " + file.string());
    if (leaveLog) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error(message);
}

} // namespace drivlet::test

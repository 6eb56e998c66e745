#pragma once
// One connection to one database file. A connection belongs to the thread that uses it: every
// thread opens its own. Connections wait for each other (WAL journal, a busy handler with a
// generous timeout), so several threads may write the same file at once.
#include "core/db/DatabaseSchema.h"
#include "core/db/Statement.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

struct sqlite3;

namespace drivlet {

class Connection {
public:
    // Opens `file`, creating it (and its folder) with the schema when it is missing or empty.
    // A file that is not a database, is damaged, lacks a table or column of the schema or holds
    // anything the schema does not make (a trigger, a view, another table or index) throws
    // EDatabaseError naming the file, and is left exactly as it was.
    static Connection Open(const std::filesystem::path& file, const DatabaseSchema& schema);
    // Opens an existing file for reading only, as one that nothing changes meanwhile: a database
    // on a read-only drive, whose write-ahead files cannot be made. Checked like Open; nothing is
    // created or written.
    static Connection OpenUnchanging(const std::filesystem::path& file, const DatabaseSchema& schema);

    ~Connection();
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::filesystem::path& File() const { return file_; }

    // Runs one or more statements without result.
    void Execute(std::string_view sql);
    Statement Prepare(std::string_view sql) const;

    // Row identity of the last row inserted on this connection.
    int64_t LastInsertId() const;
    // Rows changed by the last INSERT, UPDATE or DELETE on this connection.
    int64_t Changes() const;
    bool InTransaction() const;

    // A column a later version added to a table: an older file gets it (NULL in every row) when it
    // is opened, so that it keeps working.
    void AddColumnWhenMissing(std::string_view table, std::string_view column, std::string_view type);

private:
    Connection(std::filesystem::path file, bool create);
    enum class ReadOnlyTag { Unchanging };
    Connection(std::filesystem::path file, ReadOnlyTag);
    void OpenWith(const std::string& name, int flags);
    // Whether closing the last connection folds the write-ahead log into the file.
    void FoldLogOnClose(bool fold);
    void CheckIntegrity();
    // Refuses, as damaged, a file holding an object the schema does not make; true when it holds
    // any object at all.
    bool CheckOwnObjects(const DatabaseSchema& schema);
    bool HasColumn(std::string_view table, std::string_view column);
    void CheckSchema(const DatabaseSchema& schema);
    void UseWal();
    void CreateSchema(const DatabaseSchema& schema);

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    // Start of the current wait for a lock; on the heap so that its address survives a move.
    std::unique_ptr<std::chrono::steady_clock::time_point> busy_;
};

} // namespace drivlet

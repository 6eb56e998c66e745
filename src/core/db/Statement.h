#pragma once
// A prepared SQLite statement with typed binding and reading. Parameters are numbered from 1,
// result columns from 0, as in SQLite. Binding after the statement has been stepped starts it
// afresh, so one statement is simply re-bound and run again for the next row.
#include "core/db/DbValue.h"
#include "core/time/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace drivlet {

class Statement {
public:
    // Prepares the first statement of `sql`. With `consumed`, its length is stored there and an
    // empty text (blanks or comments) gives an Empty() statement instead of an error.
    Statement(sqlite3* db, std::string_view sql, std::filesystem::path file, size_t* consumed = nullptr);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& BindText(int index, std::string_view text);
    Statement& BindInteger(int index, int64_t value);
    // An absent number is stored as NULL.
    Statement& BindInteger(int index, std::optional<int64_t> value);
    Statement& BindDate(int index, TDateTime value);
    // An absent date is stored as NULL.
    Statement& BindDate(int index, std::optional<TDateTime> value);
    Statement& BindBlob(int index, std::span<const uint8_t> bytes);
    Statement& BindNull(int index);
    Statement& Bind(int index, const DbValue& value);

    // Advances to the next result row; false when there is none left.
    bool Step();
    // Runs a statement without result to its end; the change is in the file when it returns
    // (outside a transaction).
    void Run();
    // Starts the statement afresh and clears its parameters.
    void Reset();

    int ColumnCount() const;
    std::string ColumnName(int column) const;
    // Index of a result column by name, ignoring letter case; throws when there is none.
    int ColumnIndex(std::string_view name) const;

    bool IsNull(int column) const;
    // NULL reads as "", 0, 0.0 and no bytes.
    std::string Text(int column) const;
    int64_t Integer(int column) const;
    TDateTime Date(int column) const;
    std::optional<TDateTime> OptionalDate(int column) const;
    std::vector<uint8_t> Blob(int column) const;
    DbValue Value(int column) const;

    const std::string& Sql() const { return sql_; }
    bool Empty() const { return stmt_ == nullptr; }

private:
    void PrepareForBinding();
    void Check(int rc, const char* action) const;
    [[noreturn]] void Fail(int rc, const std::string& action) const;

    sqlite3_stmt* stmt_ = nullptr;
    std::string sql_;
    std::filesystem::path file_;
    bool started_ = false; // stepped since the last reset
    bool hasRow_ = false;  // at least one row returned since the last reset
};

} // namespace drivlet

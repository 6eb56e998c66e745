#include "core/db/Statement.h"

#include "core/db/BusyWait.h"
#include "core/db/EDatabaseError.h"
#include "core/text/CaseFold.h"

#include <sqlite3.h>

#include <utility>

namespace drivlet {

Statement::Statement(sqlite3* db, std::string_view sql, std::filesystem::path file, size_t* consumed)
    : sql_(sql), file_(std::move(file)) {
    const auto start = std::chrono::steady_clock::now();
    const char* tail = nullptr;
    for (int attempt = 0;; ++attempt) {
        // Preparing reads the schema, which can meet a lock like any other read.
        const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
        if (rc == SQLITE_OK) break;
        if ((rc & 0xff) == SQLITE_BUSY && WaitWhileBusy(attempt, start)) continue;
        throw EDatabaseError(file_, std::string(sqlite3_errmsg(db)) + " (preparing: " + sql_ + ")", rc);
    }
    const size_t used = tail ? static_cast<size_t>(tail - sql.data()) : sql.size();
    sql_.resize(used);
    if (consumed)
        *consumed = used;
    else if (!stmt_)
        throw EDatabaseError(file_, "empty statement: " + std::string(sql));
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), sql_(std::move(other.sql_)), file_(std::move(other.file_)),
      started_(other.started_), hasRow_(other.hasRow_) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
        sql_ = std::move(other.sql_);
        file_ = std::move(other.file_);
        started_ = other.started_;
        hasRow_ = other.hasRow_;
    }
    return *this;
}

void Statement::Fail(int rc, const std::string& action) const {
    throw EDatabaseError(
        file_, std::string(sqlite3_errmsg(sqlite3_db_handle(stmt_))) + " (" + action + ": " + sql_ + ")", rc);
}

void Statement::Check(int rc, const char* action) const {
    if (rc != SQLITE_OK) Fail(rc, action);
}

void Statement::PrepareForBinding() {
    if (started_) {
        sqlite3_reset(stmt_);
        started_ = hasRow_ = false;
    }
}

Statement& Statement::BindText(int index, std::string_view text) {
    PrepareForBinding();
    Check(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
          "binding");
    return *this;
}

Statement& Statement::BindInteger(int index, int64_t value) {
    PrepareForBinding();
    Check(sqlite3_bind_int64(stmt_, index, value), "binding");
    return *this;
}

Statement& Statement::BindInteger(int index, std::optional<int64_t> value) {
    return value ? BindInteger(index, *value) : BindNull(index);
}

Statement& Statement::BindDate(int index, TDateTime value) {
    PrepareForBinding();
    Check(sqlite3_bind_double(stmt_, index, value), "binding");
    return *this;
}

Statement& Statement::BindDate(int index, std::optional<TDateTime> value) {
    return value ? BindDate(index, *value) : BindNull(index);
}

Statement& Statement::BindBlob(int index, std::span<const uint8_t> bytes) {
    PrepareForBinding();
    // An empty blob must still be a blob, not NULL: bind a zero-length blob explicitly.
    Check(bytes.empty() ? sqlite3_bind_zeroblob(stmt_, index, 0)
                        : sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT),
          "binding");
    return *this;
}

Statement& Statement::BindNull(int index) {
    PrepareForBinding();
    Check(sqlite3_bind_null(stmt_, index), "binding");
    return *this;
}

Statement& Statement::Bind(int index, const DbValue& value) {
    struct Binder {
        Statement& s;
        int i;
        void operator()(std::monostate) { s.BindNull(i); }
        void operator()(int64_t v) { s.BindInteger(i, v); }
        void operator()(double v) { s.BindDate(i, v); }
        void operator()(const std::string& v) { s.BindText(i, v); }
        void operator()(const std::vector<uint8_t>& v) { s.BindBlob(i, v); }
    };
    std::visit(Binder{*this, index}, value);
    return *this;
}

bool Statement::Step() {
    const auto start = std::chrono::steady_clock::now();
    for (int attempt = 0;; ++attempt) {
        const int rc = sqlite3_step(stmt_);
        started_ = true;
        if (rc == SQLITE_ROW) {
            hasRow_ = true;
            return true;
        }
        if (rc == SQLITE_DONE) return false;
        // Outside a transaction nothing has happened yet, so the statement can simply be tried again.
        const bool retry = (rc & 0xff) == SQLITE_BUSY && !hasRow_ &&
                           sqlite3_get_autocommit(sqlite3_db_handle(stmt_)) && WaitWhileBusy(attempt, start);
        if (!retry) {
            const std::string message = sqlite3_errmsg(sqlite3_db_handle(stmt_));
            sqlite3_reset(stmt_);
            started_ = hasRow_ = false;
            throw EDatabaseError(file_, message + " (running: " + sql_ + ")", rc);
        }
        sqlite3_reset(stmt_);
    }
}

void Statement::Run() {
    while (Step()) {
    }
    sqlite3_reset(stmt_);
    started_ = hasRow_ = false;
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    started_ = hasRow_ = false;
}

int Statement::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}

std::string Statement::ColumnName(int column) const {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
}

int Statement::ColumnIndex(std::string_view name) const {
    for (int i = 0, n = ColumnCount(); i < n; ++i)
        if (SameText(ColumnName(i), name)) return i;
    throw EDatabaseError(file_, "no column " + std::string(name) + " in the result of: " + sql_);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    if (!text) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

int64_t Statement::Integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

TDateTime Statement::Date(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::optional<TDateTime> Statement::OptionalDate(int column) const {
    if (IsNull(column)) return std::nullopt;
    return Date(column);
}

std::vector<uint8_t> Statement::Blob(int column) const {
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    const auto size = static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
    return bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>{};
}

DbValue Statement::Value(int column) const {
    switch (sqlite3_column_type(stmt_, column)) {
    case SQLITE_INTEGER:
        return Integer(column);
    case SQLITE_FLOAT:
        return Date(column);
    case SQLITE_TEXT:
        return Text(column);
    case SQLITE_BLOB:
        return Blob(column);
    default:
        return std::monostate{};
    }
}

} // namespace drivlet

#include "core/db/Connection.h"

#include "core/db/BusyWait.h"
#include "core/db/EDatabaseError.h"
#include "core/db/Transaction.h"
#include "core/text/CaseFold.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace drivlet {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
// What a damaged file is told, whether SQLite found it so or the program did.
constexpr std::string_view kDamaged = "is damaged (truncated or overwritten)";

uint32_t BigEndian(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Looks at the file without SQLite, so that nothing can write to a file that is not ours.
// Returns true when there is a database to open, false when it is missing or empty.
bool InspectFile(const fs::path& file) {
    std::error_code ec;
    // A link is not followed: on a drive it could lead to any file of the computer.
    const auto status = fs::symlink_status(file, ec);
    if (status.type() == fs::file_type::not_found) return false;
    if (ec) throw EDatabaseError(file, "cannot be examined: " + ec.message());
    if (!fs::is_regular_file(status)) throw EDatabaseError(file, "is not a file");
    const auto size = fs::file_size(file, ec);
    if (ec) throw EDatabaseError(file, "cannot be examined: " + ec.message());
    if (size == 0) return false;

    std::array<unsigned char, 100> header{};
    std::ifstream in(file, std::ios::binary);
    if (!in) throw EDatabaseError(file, "cannot be read");
    in.read(reinterpret_cast<char*>(header.data()), header.size());
    if (in.gcount() < static_cast<std::streamsize>(header.size()) ||
        std::string_view(reinterpret_cast<const char*>(header.data()), kSqliteMagic.size()) != kSqliteMagic)
        throw EDatabaseError(file, "is not a database file");

    uint32_t pageSize = BigEndian(&header[16], 2);
    if (pageSize == 1) pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        throw EDatabaseError(file, "is not a database file (bad page size)");
    // SQLite writes whole pages only. (The page count in the header is left to SQLite: while another
    // connection checkpoints, the header may run ahead of the file for a moment.)
    if (size % pageSize != 0)
        throw EDatabaseError(file, "is damaged: the file ends inside a page (truncated)");
    return true;
}

// Reads the whole file once, front to back, in large pieces. The integrity check that follows
// visits every page in tree order, which on a cold cache (a stick just plugged in) is a small
// read per page; after one sequential pass it finds them all in the page cache. A read error is
// left for that check to report.
void ReadThrough(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> piece(1 << 20);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size()))) {
    }
}

bool HasContent(const fs::path& file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return !ec && size > 0;
}

// SQLite counts the attempts of one wait; the first one marks its start.
int OnBusy(void* waitStart, int attempt) {
    auto& start = *static_cast<std::chrono::steady_clock::time_point*>(waitStart);
    if (attempt == 0) start = std::chrono::steady_clock::now();
    return WaitWhileBusy(attempt, start) ? 1 : 0;
}

} // namespace

Connection::Connection(fs::path file, bool create)
    : file_(std::move(file)), busy_(std::make_unique<std::chrono::steady_clock::time_point>()) {
    if (create) {
        std::error_code ec;
        if (!file_.parent_path().empty()) fs::create_directories(file_.parent_path(), ec);
        if (ec) throw EDatabaseError(file_, "its folder cannot be created: " + ec.message());
    }
    // A connection belongs to the thread that opened it, so the library's own lock around every
    // call would only cost time (a scan reads a row per file).
    OpenWith(file_.string(), SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX |
                                 SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_EXRESCODE);
}

namespace {

// The file as a URI, every byte that a URI gives a meaning to escaped.
std::string FileUri(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xf];
        }
    }
    return uri;
}

} // namespace

Connection::Connection(fs::path file, ReadOnlyTag)
    : file_(std::move(file)), busy_(std::make_unique<std::chrono::steady_clock::time_point>()) {
    // "immutable": no lock and no write-ahead files, which a read-only drive cannot hold.
    OpenWith(FileUri(file_.string()) + "?immutable=1", SQLITE_OPEN_READONLY | SQLITE_OPEN_URI |
                                                           SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW |
                                                           SQLITE_OPEN_EXRESCODE);
}

void Connection::OpenWith(const std::string& name, int flags) {
    int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    // A file on a drive may have been written by anybody: SQL kept in its schema (a trigger, a
    // view, a function in a default, check or index) must not run here, nor a foreign key reach
    // other rows, and no statement may switch off the library's guards of the file (a writable
    // schema, no journal).
    for (const auto& [option, value] : {std::pair{SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
                                        {SQLITE_DBCONFIG_DEFENSIVE, 1},
                                        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
                                        {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                                        {SQLITE_DBCONFIG_ENABLE_FKEY, 0}})
        if (rc == SQLITE_OK) rc = sqlite3_db_config(db_, option, value, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw EDatabaseError(file_, "cannot be opened: " + message, rc);
    }
    sqlite3_busy_handler(db_, OnBusy, busy_.get());
}

Connection Connection::OpenUnchanging(const fs::path& file, const DatabaseSchema& schema) {
    if (!InspectFile(file)) throw EDatabaseError(file, "is missing or empty");
    Connection c(file, ReadOnlyTag::Unchanging);
    c.CheckIntegrity();
    c.CheckOwnObjects(schema);
    c.CheckSchema(schema);
    return c;
}

Connection::~Connection() {
    // close_v2 defers the close until statements still alive are finalised.
    if (db_) sqlite3_close_v2(db_);
}

Connection::Connection(Connection&& other) noexcept
    : file_(std::move(other.file_)), db_(std::exchange(other.db_, nullptr)), busy_(std::move(other.busy_)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        if (db_) sqlite3_close_v2(db_);
        file_ = std::move(other.file_);
        db_ = std::exchange(other.db_, nullptr);
        busy_ = std::move(other.busy_);
    }
    return *this;
}

Connection Connection::Open(const fs::path& file, const DatabaseSchema& schema) {
    const bool exists = InspectFile(file);
    Connection c(file, !exists);
    // A write-ahead log found beside the file is folded into it on closing only once the file has
    // been found to be ours; a log SQLite makes now is empty and goes with the connection.
    c.FoldLogOnClose(!exists || !HasContent(fs::path(file) += "-wal"));
    // An existing file is only read until it has been found to be one of ours.
    bool filled = false;
    if (exists) {
        ReadThrough(file);
        c.CheckIntegrity();
        filled = c.CheckOwnObjects(schema);
        if (filled) c.CheckSchema(schema);
    }
    c.FoldLogOnClose(true);
    c.UseWal();
    // Another thread may be creating it too; the statements allow for that.
    if (!filled) c.CreateSchema(schema);
    c.CheckSchema(schema);
    return c;
}

void Connection::FoldLogOnClose(bool fold) {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, fold ? 0 : 1, nullptr);
}

void Connection::CheckIntegrity() {
    try {
        Statement check = Prepare("PRAGMA quick_check(1)");
        const std::string result = check.Step() ? check.Text(0) : std::string("no answer");
        if (result != "ok") throw EDatabaseError(file_, "is damaged: " + result);
    } catch (const EDatabaseError& e) {
        const int code = e.Code() & 0xff;
        if (code == SQLITE_NOTADB) throw EDatabaseError(file_, "is not a database file", e.Code());
        if (code == SQLITE_CORRUPT) throw EDatabaseError(file_, std::string(kDamaged), e.Code());
        throw;
    }
}

namespace {

// type, name and tbl_name of a row of sqlite_master.
using SchemaObject = std::tuple<std::string, std::string, std::string>;

// What the schema's statements make, with the tables and indexes SQLite adds for them
// (sqlite_sequence, sqlite_autoindex_*): found by running them on an empty database in memory,
// once per schema.
const std::set<SchemaObject>& OwnObjects(const DatabaseSchema& schema, const fs::path& file) {
    static std::mutex mutex;
    static std::map<std::string, std::set<SchemaObject>, std::less<>> known;
    const std::lock_guard lock(mutex);
    if (const auto found = known.find(schema.createSql); found != known.end()) return found->second;

    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
    if (rc != SQLITE_OK)
        throw EDatabaseError(file, "cannot be checked: " + std::string(sqlite3_errstr(rc)), rc);
    char* error = nullptr;
    if (sqlite3_exec(raw, std::string(schema.createSql).c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "";
        sqlite3_free(error);
        throw EDatabaseError(file, "cannot be checked: " + message);
    }
    std::set<SchemaObject> objects;
    Statement rows(raw, "SELECT type, name, tbl_name FROM sqlite_master", file);
    while (rows.Step())
        objects.emplace(rows.Text(0), rows.Text(1), rows.Text(2));
    return known.emplace(std::string(schema.createSql), std::move(objects)).first->second;
}

} // namespace

bool Connection::CheckOwnObjects(const DatabaseSchema& schema) {
    const std::set<SchemaObject>& own = OwnObjects(schema, file_);
    Statement objects = Prepare("SELECT type, name, tbl_name, rootpage FROM sqlite_master");
    bool any = false;
    while (objects.Step()) {
        any = true;
        // A table without pages of its own is a virtual one, whatever its name.
        if (objects.Integer(3) <= 0 || !own.contains({objects.Text(0), objects.Text(1), objects.Text(2)}))
            throw EDatabaseError(file_, std::string(kDamaged), SQLITE_CORRUPT);
    }
    return any;
}

bool Connection::HasColumn(std::string_view table, std::string_view column) {
    Statement info = Prepare("SELECT count(*) FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE");
    info.BindText(1, table).BindText(2, column);
    return info.Step() && info.Integer(0) > 0;
}

void Connection::AddColumnWhenMissing(std::string_view table, std::string_view column,
                                      std::string_view type) {
    if (HasColumn(table, column)) return;
    Transaction t(*this);
    // Another connection may have added it while this one waited for the lock.
    if (!HasColumn(table, column))
        Execute("ALTER TABLE \"" + std::string(table) + "\" ADD COLUMN \"" + std::string(column) + "\" " +
                std::string(type));
    t.Commit();
}

void Connection::CheckSchema(const DatabaseSchema& schema) {
    for (const auto& table : schema.tables) {
        Statement info = Prepare("SELECT name FROM pragma_table_info(?1)");
        info.BindText(1, table.name);
        std::vector<std::string> present;
        while (info.Step())
            present.push_back(info.Text(0));
        if (present.empty()) throw EDatabaseError(file_, "has no table " + std::string(table.name));
        for (const auto column : table.columns) {
            bool found = false;
            for (const auto& p : present)
                found = found || SameText(p, column);
            if (!found)
                throw EDatabaseError(file_, "table " + std::string(table.name) + " has no column " +
                                                std::string(column));
        }
    }
}

void Connection::UseWal() {
    // WAL lets readers and one writer work at once; NORMAL is safe with WAL (a power cut may
    // lose the last commits, never the file).
    Statement wal = Prepare("PRAGMA journal_mode=WAL");
    wal.Step();
    Execute("PRAGMA synchronous=NORMAL");
}

void Connection::CreateSchema(const DatabaseSchema& schema) {
    Transaction t(*this);
    Execute(schema.createSql);
    t.Commit();
}

void Connection::Execute(std::string_view sql) {
    while (!sql.empty()) {
        size_t used = 0;
        Statement statement(db_, sql, file_, &used);
        if (!statement.Empty()) statement.Run();
        if (used == 0) break;
        sql.remove_prefix(used);
    }
}

Statement Connection::Prepare(std::string_view sql) const {
    return Statement(db_, sql, file_);
}

int64_t Connection::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int64_t Connection::Changes() const {
    return sqlite3_changes64(db_);
}

bool Connection::InTransaction() const {
    return !sqlite3_get_autocommit(db_);
}

} // namespace drivlet

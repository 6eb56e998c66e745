#include "core/db/Table.h"

#include "core/db/Connection.h"
#include "core/db/EDatabaseError.h"
#include "core/db/Transaction.h"

namespace drivlet {
namespace {

std::string Quote(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

std::string OrderClause(std::string_view orderBy) {
    return orderBy.empty() ? std::string(" ORDER BY rowid") : " ORDER BY " + Quote(orderBy) + ", rowid";
}

} // namespace

Table::Table(Connection& connection, std::string_view name) : connection_(connection), name_(name) {
    Statement info = connection_.Prepare("SELECT name FROM pragma_table_info(?1)");
    info.BindText(1, name_);
    std::vector<std::string> columns;
    while (info.Step())
        columns.push_back(info.Text(0));
    if (columns.empty()) throw EDatabaseError(connection_.File(), "has no table " + name_);
    columns_ = std::make_shared<const std::vector<std::string>>(std::move(columns));
}

std::string Table::SelectList() const {
    std::string list = "SELECT rowid";
    for (const auto& c : *columns_)
        list += ", " + Quote(c);
    return list + " FROM " + Quote(name_);
}

std::vector<Record> Table::Query(const std::string& sql, const std::vector<DbValue>& params) const {
    Statement s = connection_.Prepare(sql);
    for (size_t i = 0; i < params.size(); ++i)
        s.Bind(static_cast<int>(i + 1), params[i]);
    std::vector<Record> rows;
    while (s.Step()) {
        Record r(columns_);
        r.rowId_ = s.Integer(0);
        for (size_t i = 0; i < columns_->size(); ++i)
            r.values_[i] = s.Value(static_cast<int>(i + 1));
        rows.push_back(std::move(r));
    }
    return rows;
}

std::vector<Record> Table::Rows(std::string_view orderBy) const {
    return Query(SelectList() + OrderClause(orderBy), {});
}

std::vector<Record> Table::Select(std::string_view where, const std::vector<DbValue>& params,
                                  std::string_view orderBy) const {
    return Query(SelectList() + " WHERE (" + std::string(where) + ")" + OrderClause(orderBy), params);
}

std::optional<Record> Table::Find(std::string_view column, const DbValue& key) const {
    auto rows = Query(
        SelectList() + " WHERE " + Quote(column) + " = ?1 COLLATE NOCASE ORDER BY rowid LIMIT 1", {key});
    if (rows.empty()) return std::nullopt;
    return std::move(rows.front());
}

std::optional<Record> Table::Find(std::string_view column1, const DbValue& key1, std::string_view column2,
                                  const DbValue& key2) const {
    auto rows = Query(SelectList() + " WHERE " + Quote(column1) + " = ?1 COLLATE NOCASE AND " +
                          Quote(column2) + " = ?2 COLLATE NOCASE ORDER BY rowid LIMIT 1",
                      {key1, key2});
    if (rows.empty()) return std::nullopt;
    return std::move(rows.front());
}

std::optional<Record> Table::FindByRowId(int64_t rowId) const {
    auto rows = Query(SelectList() + " WHERE rowid = ?1", {rowId});
    if (rows.empty()) return std::nullopt;
    return std::move(rows.front());
}

Record Table::NewRecord() const {
    return Record(columns_);
}

void Table::Post(Record& record) {
    std::string sql;
    std::vector<DbValue> params;
    std::string names, marks;
    for (size_t i = 0; i < columns_->size(); ++i) {
        if (!record.changed_[i]) continue;
        params.push_back(record.values_[i]);
        const std::string mark = "?" + std::to_string(params.size());
        if (record.IsNew()) {
            names += (names.empty() ? "" : ", ") + Quote((*columns_)[i]);
            marks += (marks.empty() ? "" : ", ") + mark;
        } else {
            names += (names.empty() ? "" : ", ") + Quote((*columns_)[i]) + " = " + mark;
        }
    }
    if (!record.IsNew() && params.empty()) return;

    // The write and the read-back of the stored row belong together.
    Transaction t(connection_);
    if (record.IsNew()) {
        sql = params.empty() ? "INSERT INTO " + Quote(name_) + " DEFAULT VALUES"
                             : "INSERT INTO " + Quote(name_) + " (" + names + ") VALUES (" + marks + ")";
    } else {
        params.push_back(record.RowId());
        sql = "UPDATE " + Quote(name_) + " SET " + names + " WHERE rowid = ?" + std::to_string(params.size());
    }
    Statement s = connection_.Prepare(sql);
    for (size_t i = 0; i < params.size(); ++i)
        s.Bind(static_cast<int>(i + 1), params[i]);
    s.Run();
    const int64_t rowId = record.IsNew() ? connection_.LastInsertId() : record.RowId();
    auto stored = FindByRowId(rowId);
    if (!stored) throw EDatabaseError(connection_.File(), "the row posted to " + name_ + " is gone");
    t.Commit();
    record = std::move(*stored);
}

void Table::Delete(const Record& record) {
    if (record.IsNew()) return;
    Statement s = connection_.Prepare("DELETE FROM " + Quote(name_) + " WHERE rowid = ?1");
    s.BindInteger(1, record.RowId());
    s.Run();
}

} // namespace drivlet

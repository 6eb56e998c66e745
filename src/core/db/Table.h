#pragma once
// A table of one connection, row by row: read its rows (all, a selection or by key) as Record
// snapshots, change them and post them back, insert new ones, delete. A posted record is in the
// file when Post returns (unless a Transaction is open). A const Table is a read-only view.
#include "core/db/Record.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

class Connection;

class Table {
public:
    // Throws EDatabaseError when the table does not exist.
    Table(Connection& connection, std::string_view name);

    const std::string& Name() const { return name_; }
    const std::vector<std::string>& Columns() const { return *columns_; }

    // Every row, in row order or sorted ascending on one column.
    std::vector<Record> Rows(std::string_view orderBy = {}) const;
    // The rows meeting an SQL condition with parameters ?1, ?2, ... taken from `params`.
    std::vector<Record> Select(std::string_view where, const std::vector<DbValue>& params = {},
                               std::string_view orderBy = {}) const;
    // The first row (in row order) whose key columns equal the keys; text keys ignore letter case.
    std::optional<Record> Find(std::string_view column, const DbValue& key) const;
    std::optional<Record> Find(std::string_view column1, const DbValue& key1, std::string_view column2,
                               const DbValue& key2) const;
    std::optional<Record> FindByRowId(int64_t rowId) const;

    // A blank record to fill and post; columns left unset take the table's defaults.
    Record NewRecord() const;
    // Inserts a new record or writes the changed fields of an existing one. Afterwards the record
    // holds the row as stored, generated identity included.
    void Post(Record& record);
    void Delete(const Record& record);

private:
    std::vector<Record> Query(const std::string& sql, const std::vector<DbValue>& params) const;
    std::string SelectList() const;

    Connection& connection_;
    std::string name_;
    std::shared_ptr<const std::vector<std::string>> columns_;
};

} // namespace drivlet

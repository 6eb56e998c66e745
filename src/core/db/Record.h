#pragma once
// One row of a table as a value: read it, change fields, hand it back to its Table to post.
// Field access is by column name, ignoring letter case. NULL reads as "", 0 or the date 0.
#include "core/db/DbValue.h"
#include "core/time/DateTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

class Record {
public:
    // A record not yet in its table has no row identity.
    bool IsNew() const { return !rowId_; }
    int64_t RowId() const { return rowId_.value_or(0); }
    const std::vector<std::string>& Columns() const { return *columns_; }
    bool Has(std::string_view column) const;
    bool Modified() const;

    const DbValue& Get(std::string_view column) const;
    bool IsNull(std::string_view column) const;
    std::string Text(std::string_view column) const;
    int64_t Integer(std::string_view column) const;
    TDateTime Date(std::string_view column) const;
    std::optional<TDateTime> OptionalDate(std::string_view column) const;
    std::vector<uint8_t> Blob(std::string_view column) const;

    // Throws std::out_of_range for a column the table does not have.
    void Set(std::string_view column, DbValue value);
    void SetNull(std::string_view column) { Set(column, std::monostate{}); }

private:
    friend class Table;
    explicit Record(std::shared_ptr<const std::vector<std::string>> columns);
    size_t IndexOf(std::string_view column) const;

    std::shared_ptr<const std::vector<std::string>> columns_;
    std::vector<DbValue> values_;
    std::vector<bool> changed_;
    std::optional<int64_t> rowId_;
};

} // namespace drivlet

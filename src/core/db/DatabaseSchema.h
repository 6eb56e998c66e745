#pragma once
// What a database file must hold: the statements that create it, and the tables and columns the
// program relies on (checked whenever an existing file is opened).
#include <string_view>
#include <vector>

namespace drivlet {

struct TableSchema {
    std::string_view name;
    std::vector<std::string_view> columns;
};

struct DatabaseSchema {
    // Run once, inside a write transaction, on a new file; uses IF NOT EXISTS throughout so that
    // two threads creating the same file at once end with one schema. It makes every table and
    // index the program puts in such a file, also those older files get later: a file holding
    // anything else is refused. A table a later version stops using stays here for older files.
    std::string_view createSql;
    std::vector<TableSchema> tables;
};

} // namespace drivlet

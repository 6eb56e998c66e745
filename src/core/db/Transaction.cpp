#include "core/db/Transaction.h"

#include "core/db/Connection.h"

namespace drivlet {

Transaction::Transaction(Connection& connection) : connection_(connection) {
    if (connection_.InTransaction()) return;
    connection_.Execute("BEGIN IMMEDIATE");
    open_ = true;
}

Transaction::~Transaction() {
    if (!open_ || !connection_.InTransaction()) return;
    try {
        connection_.Execute("ROLLBACK");
    } catch (...) {
        // A failed rollback leaves nothing to do: SQLite rolls back when the connection closes.
    }
}

void Transaction::Commit() {
    if (!open_) return;
    connection_.Execute("COMMIT");
    open_ = false;
}

} // namespace drivlet

#include "core/db/EDatabaseError.h"

#include <sqlite3.h>

namespace drivlet {

EDatabaseError::EDatabaseError(const std::filesystem::path& file, const std::string& what, int code)
    : std::runtime_error("Database \"" + file.string() + "\": " + what), file_(file), code_(code) {}

bool EDatabaseError::CannotWrite() const {
    const int primary = code_ & 0xff;
    return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN;
}

} // namespace drivlet

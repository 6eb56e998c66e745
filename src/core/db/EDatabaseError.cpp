#include "core/db/EDatabaseError.h"

namespace drivlet {

EDatabaseError::EDatabaseError(const std::filesystem::path& file, const std::string& what, int code)
    : std::runtime_error("Database \"" + file.string() + "\": " + what), file_(file), code_(code) {}

} // namespace drivlet

#pragma once
// The deleted-files log of the program database, opened by each worker on its own thread.
#include "core/engine/IDeletedFilesLog.h"

#include <filesystem>

namespace drivlet {

// Each call opens its own connection to the database file (one connection per thread).
DeletedFilesLogFactory DeletedDataLogFactory(std::filesystem::path programDatabase);

} // namespace drivlet

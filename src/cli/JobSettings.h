#pragma once
// What every headless run reads before it starts: the program's settings under the program data
// root (the deleted-files store), and the job record itself.
#include "cli/CliConsole.h"
#include "core/engine/TThreadBase.h"

#include <filesystem>
#include <string>

namespace drivlet {
class TSaveLoadComponent;
}

namespace drivlet::cli {

struct JobSettings {
    DeletedStoreSettings store;
    DeletedFilesLogFactory openDeletedLog;
};

// Missing settings are the defaults; the store's folder is created when it is in use.
JobSettings LoadJobSettings(const std::filesystem::path& programDataRoot, CliConsole& console);

// Loads a job record, saying on standard error why it could not be read.
bool LoadJobRecord(TSaveLoadComponent& record, const std::string& file, CliConsole& console);

} // namespace drivlet::cli

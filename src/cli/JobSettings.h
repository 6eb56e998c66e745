#pragma once
// What every headless run reads before it starts: the program's settings under the program data
// root (the deleted-files store), and the job record itself; and how a job that was refused is
// told on the command line.
#include "cli/CliConsole.h"
#include "core/launch/JobRefusal.h"
#include "core/launch/RunSettings.h"

#include <filesystem>
#include <string>

namespace drivlet {
class TSaveLoadComponent;
}

namespace drivlet::cli {

using JobSettings = RunSettings;

// Missing settings are the defaults; the store's folder is created when it is in use.
JobSettings LoadJobSettings(const std::filesystem::path& programDataRoot, CliConsole& console);

// Loads a job record, saying on standard error why it could not be read.
bool LoadJobRecord(TSaveLoadComponent& record, const std::string& file, CliConsole& console);

// Says why the job was not started and gives the exit code: 3 when it could not be read, else 2.
int ReportRefusal(const JobRefusal& refusal, const std::string& file, CliConsole& console);

} // namespace drivlet::cli

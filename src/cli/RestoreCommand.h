#pragma once
// `drivlet-cli restore FILE --list` and `--point N [--to DIR] [--password P] [PATH...]`: the runs of
// a backup job, and bringing one back, whole or the chosen folders and files inside it.
#include "cli/CliConsole.h"
#include "cli/RunCommand.h"

#include <optional>
#include <string>
#include <vector>

namespace drivlet::cli {

struct RestoreOptions {
    int point = 0;                       // 1: the newest run
    std::string target;                  // --to; empty: back where each file came from
    std::optional<std::string> password; // --password; else the job's
    // Paths as they were backed up (/home/a/Docs/ or /home/a/Docs/a.txt); none: the whole run.
    std::vector<std::string> paths;
    std::stop_token cancel;
};

int ListRestorePoints(const std::string& jobFile, CliConsole& console);
int RestoreBackup(const std::string& jobFile, const RestoreOptions& options,
                  const CliEnvironment& environment, CliConsole& console);

} // namespace drivlet::cli

#pragma once
// `drivlet-cli watch`: the resident program's duties without its windows. The start-up schedules
// once; a known drive's arrival runs the drive-insertion schedules; the timed schedules are looked
// at every second; the deleted-files store is measured every six seconds and a store over its limit
// is a log line. Questions are answered as `run` answers them without a terminal (No, Cancel;
// --yes answers the launcher's questions Yes). A job file runs once at a time; every job runs on a
// worker whose events are drained on the watch's own thread. The stop request (SIGINT or SIGTERM)
// cancels the running jobs, waits for them and ends the watch. Like the tray, the watch holds the
// shut-down back while jobs run, and runs the shut-down schedules when the machine goes down.
#include "cli/CliConsole.h"
#include "cli/RunCommand.h"

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <stop_token>
#include <string>
#include <vector>

namespace drivlet {
class IShellNotifySource;
class LogindClient;
} // namespace drivlet

namespace drivlet::cli {

struct WatchEnvironment {
    CliEnvironment run; // the program data root, this computer, files and clock
    IShellNotifySource& driveFeed;
    // The drive paths of the mounted volumes, in mount-table order.
    std::function<std::vector<std::string>()> mountedDrives;
    // Asked when the watch is to end (SIGINT or SIGTERM).
    std::stop_token stop;
    // The login manager: the shut-down is held back while jobs run, and its coming is the
    // shut-down query. Null: none.
    LogindClient* logind = nullptr;
};

struct WatchOptions {
    bool assumeYes = false; // the launcher's questions (another computer's job, missing folders)
};

// Returns 0 when stopped, 3 when the program database cannot be opened.
int Watch(const WatchOptions& options, const WatchEnvironment& environment, std::ostream& out);

} // namespace drivlet::cli

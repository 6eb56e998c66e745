// drivlet-cli: the headless front end. Runs the same engine as the tray program.
#include "cli/CliConsole.h"
#include "cli/RecordCommands.h"
#include "cli/RestoreCommand.h"
#include "cli/RunCommand.h"
#include "cli/ScheduleCommand.h"
#include "cli/ShiftedClock.h"
#include "cli/WatchCommand.h"
#include "core/app/ProgramDataRoot.h"
#include "core/drives/DriveRegistry.h"
#include "core/drives/VolumeInfo.h"
#include "core/schedule/run/ShutdownCoordinator.h"
#include "platform/LocalTime.h"
#include "platform/ShellNotifySource.h"
#include "platform/Terminal.h"
#include "platform/VolumeSystem.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LogindClient.h"
#include "platform/linux/StopSignals.h"

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void Usage(std::ostream& out) {
    out << "usage: drivlet-cli show FILE        print a job, drive or settings file as JSON\n"
           "       drivlet-cli write FILE       save the record given as JSON on standard input\n"
           "       drivlet-cli id               this computer's identity\n"
           "       drivlet-cli register DRIVE   make the drive (its folder) known to this computer\n"
           "       drivlet-cli run FILE [--yes] [--low-disk=abort|skip|retry] [--item N]\n"
           "                        [--conflicts=ask|skip|computer|drive|newest] [--dry-run]\n"
           "                        [--allow-deletions]\n"
           "                                    run a job; exit 0 all done, 1 some files failed,\n"
           "                                    2 cancelled or a thread error, 3 job not readable\n"
           "                                    (--item N: 0 is the first item of a .Upcsy job;\n"
           "                                    --allow-deletions: a sync folder that lost every\n"
           "                                    file it held still carries its deletions over)\n"
           "       drivlet-cli restore FILE --list\n"
           "                                    the runs of a backup job, newest first\n"
           "       drivlet-cli restore FILE --point N [--to DIR] [--password P] [--yes] [PATH...]\n"
           "                                    bring run N back, whole or the PATHs as they were\n"
           "                                    backed up (a folder ends with /)\n"
           "       drivlet-cli schedule list|add|on|off|remove ...\n"
           "                                    the scheduled jobs of this computer (schedule --help)\n"
           "       drivlet-cli watch [--yes]    run the scheduled jobs: at start, when a known drive\n"
           "                                    arrives and when due, until SIGINT or SIGTERM\n";
}

bool TakeValue(const std::string& arg, const char* name, std::string& value) {
    const std::string prefix = std::string(name) + "=";
    if (arg.rfind(prefix, 0) != 0) return false;
    value = arg.substr(prefix.size());
    return true;
}

// The whole text as a number: "1x" or "" is no number (std::stoi would take "1x" as 1).
bool TakeNumber(const std::string& text, int& number) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return !text.empty() && error == std::errc() && stop == end;
}

// Paths given on the command line are read against the working folder here, where they enter:
// the core takes only full paths (a job's drive is found from its file's place).
std::string Absolute(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec) return path;
    return full.string();
}

// The drive roots jobs may be run from: mount points, and the folders named in
// DRIVLET_DRIVE_FOLDERS (separated by ":"), which stand for drives where nothing can be mounted
// (the sample drive, tests).
drivlet::DriveRootTest DriveRoots() {
    using namespace drivlet;
    std::vector<std::string> named;
    if (const char* list = std::getenv("DRIVLET_DRIVE_FOLDERS")) {
        std::string_view rest(list);
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const std::string folder(rest.substr(0, colon));
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
            std::string real = LinuxFileSystem::Instance().RealPath(folder);
            if (real.empty()) continue;
            if (real.back() != '/') real += '/';
            named.push_back(std::move(real));
        }
    }
    return [named](const std::string& drivePath) {
        for (const std::string& folder : named)
            if (folder == drivePath) return true;
        return IsMountPoint(drivePath, LinuxFileSystem::Instance());
    };
}

drivlet::cli::CliConsole MakeConsole() {
    using namespace drivlet;
    return {std::cin,  std::cout,
            std::cerr, IsTerminal(StandardStream::Input) && IsTerminal(StandardStream::Error),
            false,     std::nullopt};
}

// The jobs the user let act on this computer, and the home folder whose files are the user's.
drivlet::KnownReach KnownJobsOf(const std::filesystem::path& root, const drivlet::IClock& clock) {
    return drivlet::KnownReachIn(root, clock, drivlet::ProcessEnvironment()("HOME").value_or(std::string()));
}

int RunVerb(const std::vector<std::string>& args, const std::filesystem::path& root) {
    using namespace drivlet;
    using namespace drivlet::cli;
    CliConsole console = MakeConsole();
    RunOptions options;
    std::string file;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (arg == "--yes") {
            console.assumeYes = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--allow-deletions") {
            options.allowDeletions = true;
        } else if (TakeValue(arg, "--low-disk", value)) {
            if (value == "abort")
                console.lowDisk = LowDiskAnswer::Abort;
            else if (value == "skip")
                console.lowDisk = LowDiskAnswer::Skip;
            else if (value == "retry")
                console.lowDisk = LowDiskAnswer::Retry;
            else
                return Usage(std::cerr), 2;
        } else if (TakeValue(arg, "--conflicts", value)) {
            if (value == "ask")
                options.conflicts = ConflictAnswer::Ask;
            else if (value == "skip")
                options.conflicts = ConflictAnswer::Skip;
            else if (value == "computer")
                options.conflicts = ConflictAnswer::Computer;
            else if (value == "drive")
                options.conflicts = ConflictAnswer::Drive;
            else if (value == "newest")
                options.conflicts = ConflictAnswer::Newest;
            else
                return Usage(std::cerr), 2;
        } else if ((arg == "--item" && i + 1 < args.size()) || TakeValue(arg, "--item", value)) {
            if (arg == "--item") value = args[++i];
            int item = 0;
            if (!TakeNumber(value, item)) return Usage(std::cerr), 2;
            options.item = item;
        } else if (file.empty() && arg.rfind("--", 0) != 0) {
            file = arg;
        } else {
            return Usage(std::cerr), 2;
        }
    }
    if (file.empty()) return Usage(std::cerr), 2;
    file = Absolute(file);
    const std::string id = ComputerIdentity(*MakeVolumeSystem());
    const CliEnvironment environment{root,
                                     id,
                                     LinuxFileSystem::Instance(),
                                     SystemClock::Instance(),
                                     DriveRoots(),
                                     KnownJobsOf(root, SystemClock::Instance())};
    const StopSignals interrupt({SIGINT});
    options.cancel = interrupt.Token();
    return RunJob(file, options, environment, console);
}

int RestoreVerb(const std::vector<std::string>& args, const std::filesystem::path& root) {
    using namespace drivlet;
    using namespace drivlet::cli;
    CliConsole console = MakeConsole();
    RestoreOptions options;
    std::string file;
    bool list = false, havePoint = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        const bool hasNext = i + 1 < args.size();
        if (arg == "--list") {
            list = true;
        } else if (arg == "--yes") {
            console.assumeYes = true;
        } else if ((arg == "--point" && hasNext) || TakeValue(arg, "--point", value)) {
            if (arg == "--point") value = args[++i];
            if (!TakeNumber(value, options.point) || options.point < 1) {
                std::cerr << "--point takes the number of a run, 1 for the newest (see --list), not \""
                          << value << "\"\n";
                return Usage(std::cerr), 2;
            }
            havePoint = true;
        } else if ((arg == "--to" && hasNext) || TakeValue(arg, "--to", value)) {
            options.target = arg == "--to" ? args[++i] : value;
        } else if ((arg == "--password" && hasNext) || TakeValue(arg, "--password", value)) {
            options.password = arg == "--password" ? args[++i] : value;
        } else if (arg.rfind("--", 0) == 0) {
            return Usage(std::cerr), 2;
        } else if (file.empty()) {
            file = arg;
        } else {
            options.paths.push_back(arg);
        }
    }
    if (file.empty() || list == havePoint || (list && !options.paths.empty())) return Usage(std::cerr), 2;
    file = Absolute(file);
    if (!options.target.empty()) options.target = Absolute(options.target);
    if (list) return ListRestorePoints(file, console);
    const CliEnvironment environment{root, ComputerIdentity(*MakeVolumeSystem()), LinuxFileSystem::Instance(),
                                     SystemClock::Instance(), DriveRoots()};
    const StopSignals interrupt({SIGINT});
    options.cancel = interrupt.Token();
    return RestoreBackup(file, options, environment, console);
}

// The watch's clock: the system's, or for tests one started at DRIVLET_CLI_CLOCK.
std::unique_ptr<drivlet::IClock> WatchClock() {
    const char* start = std::getenv(drivlet::cli::kClockVariable);
    if (!start || !*start) return nullptr;
    const auto value = drivlet::cli::ParseClockText(start);
    if (!value)
        throw std::runtime_error(std::string(drivlet::cli::kClockVariable) + " is not yyyy-mm-dd hh:nn:ss");
    return std::make_unique<drivlet::cli::ShiftedClock>(*value);
}

int WatchVerb(const std::vector<std::string>& args, const std::filesystem::path& root) {
    using namespace drivlet;
    using namespace drivlet::cli;
    WatchOptions options;
    for (const std::string& arg : args) {
        if (arg == "--yes")
            options.assumeYes = true;
        else
            return Usage(std::cerr), 2;
    }
    std::unique_ptr<IClock> shifted;
    try {
        shifted = WatchClock();
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    const IClock& clock = shifted ? static_cast<const IClock&>(*shifted) : SystemClock::Instance();
    // Before the feed's thread, which must not take the signals.
    const StopSignals stop({SIGINT, SIGTERM});
    LogindClient logind("", "", std::string(kThreadsRunningText));
    const std::unique_ptr<IVolumeSystem> volumes = MakeVolumeSystem();
    const std::unique_ptr<IShellNotifySource> feed = MakeShellNotifySource();
    const WatchEnvironment environment{{root, ComputerIdentity(*volumes), LinuxFileSystem::Instance(), clock,
                                        DriveRoots(), KnownJobsOf(root, clock)},
                                       *feed,
                                       [&volumes] {
                                           std::vector<std::string> drives;
                                           for (const MountedDrive& d : volumes->MountedDrives())
                                               drives.push_back(d.drivePath);
                                           return drives;
                                       },
                                       stop.Token(),
                                       &logind};
    return Watch(options, environment, std::cout);
}

} // namespace

int main(int argc, char** argv) {
    using namespace drivlet;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Usage(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 2 : 0;
    }
    const std::string verb = argv[1];
    std::filesystem::path root;
    try {
        root = ProgramDataRoot(ProcessEnvironment());
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 3;
    }
    // Where the temporary files this process names are noted, before the first file is touched.
    LinuxFileSystemOptions fileOptions;
    fileOptions.temporaryJournal = root / "Temporaries";
    LinuxFileSystem::SetInstanceOptions(std::move(fileOptions));
    if (verb == "id" && argc == 2) {
        const std::string id = ComputerIdentity(*MakeVolumeSystem());
        if (id.empty()) {
            std::cerr << "this computer's identity cannot be read\n";
            return 3;
        }
        std::cout << id << "\n";
        return 0;
    }
    if ((verb == "show" || verb == "write") && argc == 3) {
        return verb == "show" ? cli::ShowRecord(argv[2], root, std::cout, std::cerr)
                              : cli::WriteRecord(argv[2], root, std::cin, std::cerr);
    }
    if (verb == "register" && argc == 3) {
        std::string drive = Absolute(argv[2]);
        if (drive.empty() || drive.back() != '/') drive += '/';
        try {
            RegisterDrive(drive, ComputerIdentity(*MakeVolumeSystem()), LinuxFileSystem::Instance());
        } catch (const std::exception& e) {
            std::cerr << drive << ": " << e.what() << "\n";
            return 3;
        }
        std::cout << "registered " << drive << "\n";
        return 0;
    }
    if (verb == "restore" && argc >= 3)
        return RestoreVerb(std::vector<std::string>(argv + 2, argv + argc), root);
    if (verb == "run" && argc >= 3) return RunVerb(std::vector<std::string>(argv + 2, argv + argc), root);
    if (verb == "schedule" && argc >= 3) {
        std::vector<std::string> args(argv + 2, argv + argc);
        // The job file of add, on, off and remove, read against the working folder.
        if (args.size() >= 2 && args[0] != "list" && args[1].rfind("--", 0) != 0 &&
            args[1].find_first_not_of("0123456789") != std::string::npos)
            args[1] = Absolute(args[1]);
        return cli::ScheduleVerb(args, root, SystemClock::Instance(), std::cout, std::cerr);
    }
    if (verb == "watch") return WatchVerb(std::vector<std::string>(argv + 2, argv + argc), root);
    Usage(std::cerr);
    return 2;
}

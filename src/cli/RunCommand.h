#pragma once
// `drivlet-cli run FILE`: a job file run as the tray program's launcher runs it, headless.
#include "cli/CliConsole.h"
#include "core/launch/JobLocation.h"
#include "core/launch/KnownReach.h"
#include "core/time/DateTime.h"

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

namespace drivlet {
class IFileSystem;
} // namespace drivlet

namespace drivlet::cli {

// How the conflicts of a two-way sync are answered.
enum class ConflictAnswer { Ask, Skip, Computer, Drive, Newest };

struct RunOptions {
    std::optional<int> item; // --item N of a computer-to-computer job (0: the first)
    ConflictAnswer conflicts = ConflictAnswer::Ask;
    bool dryRun = false;
    bool allowDeletions = false; // deletions from a folder that lost every recorded file
    std::stop_token cancel;      // a stop request cancels the run like the panel's Cancel
    bool reachAnswered = false;  // a schedule the user made starts it (no first-run question)
};

// What a run works with, chosen by main (or by a test).
struct CliEnvironment {
    std::filesystem::path programDataRoot;
    std::string computerId;
    const IFileSystem& files;
    const IClock& clock;
    // The folders jobs may be run from as drive roots; empty: mount points.
    DriveRootTest isDriveRoot;
    // The jobs the user let act on this computer (main keeps them in the program database);
    // empty: no first-run question.
    KnownReach knownReach = {};
};

// Runs the job to its end on this thread, as the tray's launcher runs it; the exit code.
int RunJob(const std::string& file, const RunOptions& options, const CliEnvironment& environment,
           CliConsole& console);

} // namespace drivlet::cli

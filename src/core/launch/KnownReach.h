#pragma once
// The reach of the jobs the user let act on this computer (JobReach fingerprints), kept in the
// program database, so that a job is asked about once, and again only when it changes.
#include "core/time/DateTime.h"

#include <filesystem>
#include <functional>
#include <string>

namespace drivlet {

class ProgramDatabase;

struct KnownReach {
    // Empty functions: nothing is asked (callers that act for the user themselves).
    std::function<bool(const std::string& fingerprint)> known;
    std::function<void(const std::string& fingerprint)> remember;
    // Which sources are the user's own files: what is copied from below it is shown.
    std::string homeFolder;
};

// Over the program database below the root, opened for each question (a program that runs one
// job); a database that cannot be read knows nothing, so the question is asked.
KnownReach KnownReachIn(std::filesystem::path programDataRoot, const IClock& clock, std::string homeFolder);
// Over a connection the front end holds open on the thread that launches its jobs.
KnownReach KnownReachOf(ProgramDatabase& database, const IClock& clock, std::string homeFolder);

} // namespace drivlet

#pragma once
// The reach of the jobs the user let act on this computer (JobReach fingerprints), kept in the
// program database, so that a job is asked about once, and again only when it changes.
#include "core/time/DateTime.h"

#include <filesystem>
#include <functional>
#include <string>

namespace drivlet {

struct KnownReach {
    // Empty functions: nothing is asked (callers that act for the user themselves).
    std::function<bool(const std::string& fingerprint)> known;
    std::function<void(const std::string& fingerprint)> remember;
    // Which sources are the user's own files: what is copied from below it is shown.
    std::string homeFolder;
};

// Over the program database below the root; a database that cannot be read knows nothing, so
// the question is asked.
KnownReach KnownReachIn(std::filesystem::path programDataRoot, const IClock& clock, std::string homeFolder);

} // namespace drivlet

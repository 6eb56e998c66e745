#include "core/launch/KnownReach.h"

#include "core/db/ProgramDatabase.h"

#include <exception>

namespace drivlet {

KnownReach KnownReachIn(std::filesystem::path programDataRoot, const IClock& clock, std::string homeFolder) {
    const std::filesystem::path file = ProgramDatabase::PathFor(programDataRoot);
    KnownReach reach;
    reach.homeFolder = std::move(homeFolder);
    reach.known = [file](const std::string& fingerprint) {
        try {
            return ProgramDatabase(file).KnowsJobReach(fingerprint);
        } catch (const std::exception&) {
            return false;
        }
    };
    reach.remember = [file, &clock](const std::string& fingerprint) {
        try {
            std::filesystem::create_directories(file.parent_path());
            ProgramDatabase(file).RememberJobReach(fingerprint, clock.Now());
        } catch (const std::exception&) {
            // Not kept: the job is asked about again next time, nothing worse.
        }
    };
    return reach;
}

KnownReach KnownReachOf(ProgramDatabase& database, const IClock& clock, std::string homeFolder) {
    KnownReach reach;
    reach.homeFolder = std::move(homeFolder);
    reach.known = [&database](const std::string& fingerprint) {
        try {
            return database.KnowsJobReach(fingerprint);
        } catch (const std::exception&) {
            return false;
        }
    };
    reach.remember = [&database, &clock](const std::string& fingerprint) {
        try {
            database.RememberJobReach(fingerprint, clock.Now());
        } catch (const std::exception&) {
            // Not kept: the job is asked about again next time, nothing worse.
        }
    };
    return reach;
}

} // namespace drivlet

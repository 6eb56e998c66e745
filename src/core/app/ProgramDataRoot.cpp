#include "core/app/ProgramDataRoot.h"

#include "core/app/Constants.h"

#include <cstdlib>
#include <stdexcept>

namespace drivlet {

namespace fs = std::filesystem;

EnvironmentLookup ProcessEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value) return std::nullopt;
        return std::string(value);
    };
}

fs::path CommonAppDataFolder(const EnvironmentLookup& env) {
    const auto programData = env("ProgramData");
    if (programData && !programData->empty()) return fs::path(*programData);
    // The base directory rules treat a relative XDG_DATA_HOME as not set.
    const auto dataHome = env("XDG_DATA_HOME");
    if (dataHome && !dataHome->empty() && (*dataHome)[0] == '/') return fs::path(*dataHome);
    const auto home = env("HOME");
    if (home && !home->empty()) return fs::path(*home) / ".local/share";
    throw std::runtime_error("Cannot find the program data folder: neither ProgramData, XDG_DATA_HOME "
                             "nor HOME is set.");
}

fs::path ProgramDataRoot(const EnvironmentLookup& env) {
    return CommonAppDataFolder(env) / std::string(kVendorSubPath);
}

} // namespace drivlet

#pragma once
// Where the program keeps its own files on this computer: the common application data folder and
// the program data root below it.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace drivlet {

// Reads one environment variable; nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The environment of this process.
EnvironmentLookup ProcessEnvironment();

// "ProgramData" when set and not empty, else $XDG_DATA_HOME when absolute, else $HOME/.local/share.
// Throws std::runtime_error when none of them gives a folder.
std::filesystem::path CommonAppDataFolder(const EnvironmentLookup& env);

// The common application data folder followed by "Quorvane/Drivlet".
std::filesystem::path ProgramDataRoot(const EnvironmentLookup& env);

} // namespace drivlet

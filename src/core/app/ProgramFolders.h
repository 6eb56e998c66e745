#pragma once
// The program's own folders below the program data root, as the start-up creates them.
#include "core/app/TFolderManager.h"

#include <filesystem>
#include <string>
#include <vector>

namespace drivlet {

// AutoFill, ErrorLogs and ConfigData, relative, hidden, system and indexed (mask 0x26).
void AddProgramFolders(TDirConfigItems& items);

// Creates the root with its parents and the three folders inside it, hiding them; returns the
// report lines. Throws std::runtime_error when the root is not a folder afterwards, since nothing
// of the program can be kept then.
std::vector<std::string> CreateProgramFolders(const std::filesystem::path& root,
                                              const IFileAttributes& attributes);

} // namespace drivlet

#pragma once
// What a job file is, told by its extension in any letter case: ".ubk" backup, ".umv" move,
// ".usy" folder or file sync, ".upcsy" computer-to-computer sync.
#include <string_view>

namespace drivlet {

enum class JobFileKind { None, Backup, Move, Sync, ComputerSync };

JobFileKind JobFileKindOf(std::string_view jobFile);

} // namespace drivlet

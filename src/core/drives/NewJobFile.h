#pragma once
// The file name a new job gets on its drive: the kind's prefix and the moment of creation to the
// millisecond, in the drive's "Config" folder. Nothing is written until the wizard saves.
#include "core/time/DateTime.h"

#include <string>

namespace drivlet {

enum class NewJobKind { Backup, Move, Sync };

// "2011-03-24 13-57-31 042"
std::string NewJobTimeText(TDateTime now);

// drive path + "Config/Backup" + time + ".Ubk", + "Config/Move " + time + ".Umv", or
// + "Config/sync " + time + ".Usy". The drive path may lack its trailing "/". Two jobs made within
// one millisecond get the same name; the later save replaces the earlier.
std::string NewJobFileName(NewJobKind kind, std::string drivePath, TDateTime now);

} // namespace drivlet

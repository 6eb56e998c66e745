#pragma once
// The deleted-files alert: the total size of the files moved into the deleted-files store,
// measured against the user's limit. The front end shows the balloon (or writes a log line).
#include <cstdint>
#include <string>
#include <string_view>

namespace drivlet {

class ProgramDatabase;

inline constexpr std::string_view kDeletedOverloadText =
    "Deleted files space overload. Please clear deleted files.";
inline constexpr std::string_view kDeletedIdleText = "Click here to open Drivlet";

struct DeletedSizeAlert {
    int64_t deletedSize = 0; // the measured total in bytes
    bool overLimit = false;  // show the balloon, as a warning
    std::string balloonText; // the balloon's text either way (information when not over)
};

// The comparison alone: over only when the total is greater than the limit, as 64-bit values.
DeletedSizeAlert DeletedSizeAlertFor(int64_t deletedSize, int64_t maxDeletedSize);

// Sums DeleteDataLog.FileSize (an empty log is 0) and compares it with the limit. A database
// error reaches the caller.
DeletedSizeAlert MeasureDeletedSize(ProgramDatabase& database, int64_t maxDeletedSize);

} // namespace drivlet

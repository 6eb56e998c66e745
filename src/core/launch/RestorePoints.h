#pragma once
// The runs of a backup job that can be brought back: its history rows, newest first, each with
// the folder the run wrote to on the drive as it is mounted now.
#include "core/time/DateTime.h"

#include <optional>
#include <string>
#include <vector>

namespace drivlet {

struct RestorePoint {
    std::string archiveFolder; // ends with "/"
    std::optional<TDateTime> startTime;
    std::string status;
    std::string format;
};

// Nothing when the job has no backup database yet (the file is not created).
std::vector<RestorePoint> RestorePoints(const std::string& jobFile);

// The folder of a history key: a key kept without the drive path is read against the drive the
// job file is on now; a key of a folder off the drive is that folder.
std::string ArchiveFolderOfKey(const std::string& key, const std::string& jobFile);

} // namespace drivlet

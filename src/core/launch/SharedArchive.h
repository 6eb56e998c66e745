#pragma once
// Two zip jobs with one destination folder would write one "Root.Zip": a completely-new run of
// either would delete the other's backup, and a restore of one would bring back the other's
// files. Such a job is refused before it starts, so that drives written by earlier versions keep
// their layout and stay readable.
#include "core/launch/JobRefusal.h"
#include "core/records/TArchiveData.h"
#include "platform/FileSystem.h"

#include <optional>
#include <string>

namespace drivlet {

// Why the zip job may not run: another zip job in the same "Config" folder keeps its archives
// in the same folder. Nothing for a folder-copy job or a job of time-stamped runs.
[[nodiscard]] std::optional<JobRefusal> SharedArchiveRefusal(const TArchiveData& job,
                                                             const std::string& jobFile,
                                                             const std::string& destination,
                                                             const IFileSystem& files);

} // namespace drivlet

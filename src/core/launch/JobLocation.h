#pragma once
// Where a job file may be run from. A job's drive is the folder above its "Config" folder, and a
// run writes and deletes below that drive, so a job file anywhere else (a copy in the home folder,
// a link into a stick) would make some other folder the drive. The drive is found from the job
// file's real path, and it must be a mounted drive's root.
#include "core/launch/JobRefusal.h"
#include "platform/FileSystem.h"

#include <functional>
#include <optional>
#include <string>

namespace drivlet {

// Whether a folder (ending with "/") is the root of a drive. Empty: a mount point, told by the
// volume of the folder differing from its parent's ("/" is one).
using DriveRootTest = std::function<bool(const std::string& drivePath)>;

struct JobLocation {
    std::string file;                  // the job file's real path, links resolved
    std::string drivePath;             // the drive of that path, ending with "/"
    std::optional<JobRefusal> refusal; // why the job may not be run from where it is
};

// Refused too: a path that is not a full one (read against the working folder it would name
// another drive).
[[nodiscard]] JobLocation LocateJobFile(const std::string& jobFile, const IFileSystem& files,
                                        const DriveRootTest& isDriveRoot);

// The default test: the folder is a mount point.
[[nodiscard]] bool IsMountPoint(const std::string& folder, const IFileSystem& files);

} // namespace drivlet

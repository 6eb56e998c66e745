#include "core/launch/JobLocation.h"

#include "core/drives/DrivePaths.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/JobClaim.h"

namespace drivlet {

bool IsMountPoint(const std::string& folder, const IFileSystem& files) {
    if (folder == "/") return true;
    const std::string real = files.RealPath(folder);
    if (real.empty()) return false;
    if (real == "/") return true;
    const std::optional<uint64_t> own = files.VolumeId(real);
    const std::optional<uint64_t> parent = files.VolumeId(std::filesystem::path(real).parent_path());
    return own && parent && *own != *parent;
}

JobLocation LocateJobFile(const std::string& jobFile, const IFileSystem& files,
                          const DriveRootTest& isDriveRoot) {
    JobLocation where;
    const auto refuse = [&where, &jobFile](const std::string& why) {
        where.refusal =
            JobRefusal{RefusalReason::NotOnDrive, std::string(kLoadJobTitle),
                       jobFile + ": " + why +
                           ". A job file must live in the \"Config\" folder at the root of its drive."};
        return where;
    };
    if (jobFile.empty() || jobFile.front() != '/') {
        // Read against the working folder, the job would find the wrong drive.
        where.refusal = TryClaimJob(jobFile, files).refusal;
        return where;
    }
    where.file = files.RealPath(jobFile);
    if (where.file.empty()) {
        where.refusal = JobRefusal{RefusalReason::Missing, std::string(kLoadJobTitle), "no such job file"};
        return where;
    }
    if (!IsInConfigFolder(where.file)) return refuse("it is not in a \"Config\" folder");
    where.drivePath = DrivePathOfJobFile(where.file);
    const bool driveRoot = isDriveRoot ? isDriveRoot(where.drivePath) : IsMountPoint(where.drivePath, files);
    if (!driveRoot) return refuse(where.drivePath + " is not the root of a mounted drive");
    return where;
}

} // namespace drivlet

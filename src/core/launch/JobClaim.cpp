#include "core/launch/JobClaim.h"

#include "core/app/Constants.h"
#include "core/launch/FinishMessages.h"

#include <cerrno>

namespace drivlet {

std::string JobLockFile(const std::string& jobFile) {
    return jobFile + ".lock";
}

JobClaim TryClaimJob(const std::string& jobFile, const IFileSystem& files) {
    JobClaim claim;
    const auto refuse = [&](RefusalReason reason, std::string text) {
        claim.refusal = JobRefusal{reason, std::string(kLoadJobTitle), std::move(text)};
        return std::move(claim);
    };
    if (jobFile.empty() || jobFile.front() != '/')
        return refuse(RefusalReason::RelativePath, "The job file must be named by its full path: " + jobFile);
    FileStatus status;
    claim.lock = files.TryLock(JobLockFile(jobFile), status);
    if (claim.lock) return claim;
    if (status.code() == EWOULDBLOCK)
        return refuse(RefusalReason::AlreadyRunning, "The job is already running: " + jobFile +
                                                         "\nIt can be run again when that run has ended.");
    return refuse(RefusalReason::NotLockable,
                  "The job could not be locked for its run: " + jobFile + " : " + status.message());
}

} // namespace drivlet

#include "core/launch/JobClaim.h"

#include "core/app/Constants.h"
#include "core/launch/FinishMessages.h"

#include <cerrno>

namespace drivlet {

std::string JobLockFile(const std::string& jobFile) {
    return jobFile + ".lock";
}

std::unique_ptr<IFileLock> ClaimJob(const std::string& jobFile, const LaunchServices& services) {
    const auto refuse = [&](const std::string& text) {
        services.dialogs.ShowNotice(text, std::string(kLoadJobTitle), MessageKind::Error, std::string(kProductTitle));
        return nullptr;
    };
    if (jobFile.empty() || jobFile.front() != '/')
        return refuse("The job file must be named by its full path: " + jobFile);
    FileStatus status;
    std::unique_ptr<IFileLock> lock = services.threads.fileSystem.TryLock(JobLockFile(jobFile), status);
    if (lock) return lock;
    if (status.code() == EWOULDBLOCK)
        return refuse("The job is already running: " + jobFile + "\nIt can be run again when that run has ended.");
    return refuse("The job could not be locked for its run: " + jobFile + " : " + status.message());
}

} // namespace drivlet

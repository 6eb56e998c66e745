#pragma once
// What every launch does first: the job file must be named by its full path (a relative one is
// read against whatever folder the front end happens to be in, which gives the wrong drive), and
// only one run of a job may work at a time (two runs of a sync or move delete each other's files).
#include "core/launch/JobRefusal.h"
#include "platform/FileSystem.h"

#include <memory>
#include <optional>
#include <string>

namespace drivlet {

// The lock file of a job: beside the job file, so that every program on this computer that runs
// the job from this drive sees it.
std::string JobLockFile(const std::string& jobFile);

struct JobClaim {
    std::unique_ptr<IFileLock> lock;   // held by the run's worker
    std::optional<JobRefusal> refusal; // why there is no lock (nothing was touched)
};

// The job's lock, or why it cannot be had: the path is relative, the job already runs, or its
// lock file cannot be made.
[[nodiscard]] JobClaim TryClaimJob(const std::string& jobFile, const IFileSystem& files);

} // namespace drivlet

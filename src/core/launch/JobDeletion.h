#pragma once
// Deleting a job from its drive: the job file with the databases only it uses (its backup and
// sync databases beside it, and a computer-to-computer job's per-item sync databases), never
// while a run of the job holds its lock. Schedule rows of the job are left alone.
#include "core/app/MessageDialogs.h"
#include "platform/FileSystem.h"

#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

inline constexpr std::string_view kDeleteJobTitle = "Delete Job";

// "Are you sure you want to permanently delete this job ?\r\nJob Name : " + the name
std::string DeleteJobQuestion(std::string_view jobName);

enum class JobDeletionResult {
    Deleted,  // the job is gone (a file that would not go is left, as a failed delete is ignored)
    Declined, // the user said no: nothing was touched
    Running,  // a run holds the job: nothing was touched
};

// The companion databases of a job that no other job in its folder uses: stem ".Usdb" and stem
// ".Udb", and for a ".upcsy" job each item's "<item ID>.Usdb". Only those that exist.
std::vector<std::string> JobCompanionFiles(const IFileSystem& files, const std::string& jobFile);

// The notice of a job that cannot go while a run holds it.
std::string JobRunningNotice(const std::string& jobFile);

// Without a question: takes the job's lock (refusing while a run holds it), deletes the job file
// and its companions, and lets the lock go, which removes the lock file.
[[nodiscard]] JobDeletionResult DeleteJobFiles(const IFileSystem& files, const std::string& jobFile);

// Asks first (Yes/No); a running job is refused with a notice.
[[nodiscard]] JobDeletionResult DeleteJob(const IFileSystem& files, const std::string& jobFile,
                                          std::string_view jobName, IMessageDialogs& dialogs);

} // namespace drivlet

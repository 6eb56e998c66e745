#pragma once
// The messages shown when a job has ended, and the questions asked before one starts.
#include <cstdint>
#include <string>
#include <string_view>

namespace drivlet {

enum class JobKind { Backup, Move, Sync, PCSync, Restore };

inline constexpr std::string_view kLoadJobTitle = "Load Job";
inline constexpr std::string_view kOtherComputerQuestion =
    "You have selected job settings that belong to a deferent pc. Continue using this settings might "
    "cause data corruption. Do you want to Continue?";
inline constexpr std::string_view kFolderMissingTitle = "Folder Missing";
inline constexpr std::string_view kFolderMissingQuestion =
    "Some of the folders / files configured in this job is missing. It is recommended that you "
    "reconfigure this job. Do you want to run the job ?";
inline constexpr std::string_view kNoDestinationText = "The job has no destination folder.";
inline constexpr std::string_view kUnknownArchiveTypeText = "The job's archive type is unknown.";
inline constexpr std::string_view kJobCompletedTitle = "Job Completed.";

// filesDone is the worker's count (-1 reads as 0); errors the thread errors of the run.
std::string FinishMessage(JobKind kind, int64_t filesDone, int64_t errors);

} // namespace drivlet

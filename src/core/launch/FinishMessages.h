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
inline constexpr std::string_view kJobCanceledTitle = "Job Canceled.";
inline constexpr std::string_view kJobFailedTitle = "Job Failed.";

// How a run ended: it went through (some files may have failed), it was cancelled, or an error
// stopped it or a part of it. Only a run that went through is called completed.
enum class JobEnding { Completed, Canceled, Failed };

// filesDone is the number of files the run went through (-1 reads as 0); errors its failed files
// and thread errors together.
std::string FinishMessage(JobKind kind, int64_t filesDone, int64_t errors,
                          JobEnding ending = JobEnding::Completed);
// The title of the finish message's box.
std::string_view FinishTitle(JobEnding ending);

} // namespace drivlet

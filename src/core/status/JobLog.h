#pragma once
// The operation log of a job's status panel: one line per file result or thread error, the count
// of thread errors the finish message reports, and the log saved as a tab-separated text file.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

// The state picture of a line, which is also the index of its state text.
enum class LogLineState { Success = 0, Failed = 1, ThreadError = 2 };

// "Success", "Failed", "Thread Error".
std::string_view LogLineStateText(LogLineState state);

struct JobLogLine {
    std::string timeStamp; // the moment the line was added, in the user's date and time form
    std::string action;
    std::string fileName;
    std::string info;
    LogLineState state = LogLineState::Success;
};

class JobLog {
public:
    // A per-file result of the worker.
    void AddEntry(std::string timeStamp, std::string fileName, std::string action, std::string status,
                  bool isError);
    // A thread error: its text stands in the file-name column and it counts as an error of the job.
    void AddThreadError(std::string timeStamp, std::string text);
    // Lines go; the error count stays, since the finish message counts the run's errors.
    void Clear() { lines_.clear(); }
    // When a worker is attached.
    void ResetErrorCount() { errorCount_ = 0; }

    const std::vector<JobLogLine>& Lines() const { return lines_; }
    int64_t ErrorCount() const { return errorCount_; }

private:
    std::vector<JobLogLine> lines_;
    int64_t errorCount_ = 0;
};

// The saved log file's content: a banner of 82 "=", the title, the column heads and one line per
// log line (time stamp, action, state text, file name, tab-separated), each ended by CR LF.
std::string JobLogFileText(const std::vector<JobLogLine>& lines);

// Writes the file, replacing one that exists. Empty on success, else the system's reason; a write
// that fails part-way leaves what it wrote.
[[nodiscard]] std::string SaveJobLog(const std::filesystem::path& file, const std::vector<JobLogLine>& lines);

// "Drivlet.log", ".log": the save dialog's proposals.
inline constexpr std::string_view kJobLogDefaultName = "Drivlet.log";
inline constexpr std::string_view kJobLogFilter = "Log File (*.log)|*.log";

} // namespace drivlet

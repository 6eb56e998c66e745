#pragma once
// What a headless run prints: one line per log entry and thread error, and the status (as a bar on
// a terminal). The counts behind the exit code and the finish message are the runner's.
#include "cli/CliConsole.h"
#include "core/engine/ThreadEvents.h"
#include "core/launch/JobRun.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace drivlet::cli {

// A file name or status on one log line: a newline, tab or other control character in it would
// split the line or shift its columns, so it is shown as an escape ("\\n").
std::string EscapeControls(std::string_view text);

class CliRunEvents final : public IThreadEvents {
public:
    explicit CliRunEvents(CliConsole& console) : console_(console) {}

    void OnStatus(const TThreadBase&, const StatusEvent& event) override;
    void OnThreadError(const TThreadBase&, const ThreadErrorEvent& event) override;
    void OnFileProgress(const TThreadBase&, const FileProgressEvent& event) override;
    void OnLogEntry(const TThreadBase&, const LogEntryEvent& event) override;
    // Answers before it returns: the terminal is asked on the thread that drains the run.
    void AskLowDiskSpace(const TThreadBase&, const LowDiskQuestion& question,
                         Answer<LowDiskAnswer> answer) override;
    void OnTerminated(TThreadBase&, const TerminatedEvent&) override;

    const std::string& LastStatus() const { return lastStatus_; }

private:
    LowDiskAnswer AskOnConsole(const LowDiskQuestion& question);
    void ClearBar();
    void DrawBar();

    CliConsole& console_;
    std::mutex mutex_;
    std::string lastStatus_;
    std::string lastPrinted_;
    StatusEvent status_;
    double filePercent_ = 0;
    bool barShown_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// 2 when the run was cancelled or hit a thread error, 1 when a file failed, else 0.
int ExitCodeOf(const JobOutcome& outcome);

// "hh:mm:ss" of a span in days; "N/A" when unknown.
std::string RemainingText(double days);

} // namespace drivlet::cli

#include "cli/CliRunEvents.h"

#include "cli/RecordCommands.h"
#include "core/engine/TThreadBase.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <thread>

namespace drivlet::cli {
namespace {

constexpr int kBarWidth = 24;
constexpr size_t kBarTextWidth = 48;
constexpr std::chrono::milliseconds kDrawPace{100};

// Per-file statuses are repeated by the log line that follows, and the walk's are one a folder;
// only the others are printed.
bool IsPerFileStatus(StatusPhase phase) {
    switch (phase) {
    case StatusPhase::Searching:
    case StatusPhase::File:
    case StatusPhase::AddingFile:
    case StatusPhase::SkippingFile:
        return true;
    default:
        return false;
    }
}

std::string Fit(const std::string& text, size_t width) {
    if (text.size() <= width) return text + std::string(width - text.size(), ' ');
    return "..." + text.substr(text.size() - (width - 3));
}

} // namespace

// A log line is one line per file: a newline, tab or other control character in a name or a
// status would split it or shift its columns, so it is shown as an escape.
std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        }
    }
    return out;
}

int ExitCodeOf(const JobOutcome& outcome) {
    if (outcome.cancelled || outcome.threadErrors > 0) return exitcode::Cancelled;
    if (outcome.failedLines > 0) return exitcode::SomeFailed;
    return exitcode::Ok;
}

std::string RemainingText(double days) {
    if (days < 0) return "N/A";
    const long long seconds = static_cast<long long>(days * 86400 + 0.5);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return buffer;
}

void CliRunEvents::OnStatus(const TThreadBase&, const StatusEvent& event) {
    std::lock_guard lock(mutex_);
    status_ = event;
    if (!event.text.empty()) lastStatus_ = event.text;
    if (console_.interactive) {
        DrawBar();
        return;
    }
    if (!event.text.empty() && !IsPerFileStatus(event.phase) && event.text != lastPrinted_) {
        lastPrinted_ = event.text;
        console_.out << event.text << "\n";
    }
}

void CliRunEvents::OnThreadError(const TThreadBase&, const ThreadErrorEvent& event) {
    std::lock_guard lock(mutex_);
    ClearBar();
    console_.out << "Thread Error\t" << event.text << "\n";
}

void CliRunEvents::OnFileProgress(const TThreadBase&, const FileProgressEvent& event) {
    std::lock_guard lock(mutex_);
    filePercent_ = event.percent;
    if (console_.interactive) DrawBar();
}

void CliRunEvents::OnLogEntry(const TThreadBase&, const LogEntryEvent& event) {
    std::lock_guard lock(mutex_);
    ClearBar();
    console_.out << event.action << "\t" << (event.isError ? "Failed" : "Success") << "\t"
                 << EscapeControls(event.fileName);
    if (event.isError) console_.out << "\t" << EscapeControls(event.status);
    console_.out << "\n";
}

void CliRunEvents::AskLowDiskSpace(const TThreadBase&, const LowDiskQuestion& question,
                                   Answer<LowDiskAnswer> answer) {
    answer(AskOnConsole(question));
}

LowDiskAnswer CliRunEvents::AskOnConsole(const LowDiskQuestion& question) {
    std::lock_guard lock(mutex_);
    ClearBar();
    console_.err << question.title << ": " << question.message << "\n";
    if (console_.lowDisk) {
        // An unattended retry gives the user a moment to make room before the next look.
        if (*console_.lowDisk == LowDiskAnswer::Retry) std::this_thread::sleep_for(std::chrono::seconds(5));
        return *console_.lowDisk;
    }
    if (!console_.interactive) {
        console_.err << "(no terminal to ask on: the file is skipped; --low-disk=abort|skip|retry chooses)\n";
        return LowDiskAnswer::Skip;
    }
    for (;;) {
        console_.err << "[r]etry/[a]bort/[s]kip? " << std::flush;
        std::string line;
        if (!std::getline(console_.in, line)) return LowDiskAnswer::Skip;
        if (line.empty()) continue;
        switch (line.front()) {
        case 'r':
        case 'R':
            return LowDiskAnswer::Retry;
        case 'a':
        case 'A':
            return LowDiskAnswer::Abort;
        case 's':
        case 'S':
            return LowDiskAnswer::Skip;
        default:
            break;
        }
    }
}

void CliRunEvents::OnTerminated(TThreadBase&, const TerminatedEvent&) {
    std::lock_guard lock(mutex_);
    ClearBar();
    console_.out.flush();
}

void CliRunEvents::ClearBar() {
    if (!barShown_) return;
    console_.err << "\r" << std::string(kBarWidth + kBarTextWidth + 40, ' ') << "\r" << std::flush;
    barShown_ = false;
}

void CliRunEvents::DrawBar() {
    const auto now = std::chrono::steady_clock::now();
    if (barShown_ && now - lastDraw_ < kDrawPace) return;
    lastDraw_ = now;
    const int percent = status_.percent;
    const int filled = percent < 0 ? 0 : std::min(kBarWidth, percent * kBarWidth / 100);
    std::string bar(static_cast<size_t>(filled), '#');
    bar += std::string(static_cast<size_t>(kBarWidth - filled), percent < 0 ? '?' : '-');
    char head[16];
    std::snprintf(head, sizeof head, "%3d%%", percent < 0 ? 0 : percent);
    console_.err << "\r[" << bar << "] " << head << " " << Fit(status_.text, kBarTextWidth) << " "
                 << status_.speed << " " << RemainingText(status_.remaining) << std::flush;
    barShown_ = true;
}

} // namespace drivlet::cli

#include "core/engine/Reporter.h"

#include "core/engine/FolderWalk.h"
#include "core/engine/SizeText.h"

#include <cmath>

namespace drivlet {

void Reporter::FileProgress(double percent) const {
    const FileProgressEvent ev{fileAction_, percent};
    if (events_) events_->OnFileProgress(sender_, ev);
}

void Reporter::Status(StatusPhase phase, std::string text, const ThreadCounters& counters,
                      TDateTime speedStart) const {
    StatusEvent ev;
    ev.text = std::move(text);
    ev.phase = phase;
    ev.percent = counters.FilesTotal == 0
                     ? -1
                     : static_cast<int32_t>(std::trunc(counters.FilesDone * 100.0 / counters.FilesTotal));
    ev.remaining = -1.0;
    const TDateTime now = clock_.Now();
    // Whole milliseconds (the clock's resolution), so that day-count rounding cannot tip a speed
    // across a unit boundary.
    const double seconds = std::round((now - speedStart) * 86400000.0) / 1000.0;
    if (seconds == 0) {
        ev.speed = "N/A";
    } else {
        ev.speed = FormatSpeed(counters.BytesDone / seconds);
        const double bytesPerDay = counters.BytesDone / (seconds / 86400.0);
        if (bytesPerDay != 0) ev.remaining = (counters.BytesTotal - counters.BytesDone) / bytesPerDay;
    }
    if (events_) events_->OnStatus(sender_, ev);
}

void Reporter::Log(std::string fileName, std::string action, std::string status, bool isError) const {
    const LogEntryEvent ev{std::move(fileName), std::move(action), std::move(status), isError};
    if (events_) events_->OnLogEntry(sender_, ev);
}

void Reporter::UnlistedFolder(const std::string& folder, const FileStatus& status) const {
    Log(folder, "Read Folder", "Folder not read, what it holds is left out: " + status.message(), true);
}

void Reporter::SpecialFile(const std::string& path, SpecialKind kind, std::string_view action) const {
    Log(path, std::string(action),
        "Left alone: " + std::string(SpecialKindText(kind)) + " is not a regular file", true);
}

void Reporter::ThreadError(ThreadErrorKind kind, std::string text, int32_t code) const {
    const ThreadErrorEvent ev{std::move(text), code, kind};
    if (events_) events_->OnThreadError(sender_, ev);
}

} // namespace drivlet

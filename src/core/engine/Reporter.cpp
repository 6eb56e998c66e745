#include "core/engine/Reporter.h"

#include "core/engine/FolderWalk.h"

namespace drivlet {

void Reporter::FileProgress(double percent) const {
    const FileProgressEvent ev{fileAction_, percent};
    if (events_) events_->OnFileProgress(sender_, ev);
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

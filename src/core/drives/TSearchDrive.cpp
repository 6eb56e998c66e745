#include "core/drives/TSearchDrive.h"

#include <cerrno>
#include <exception>
#include <stdexcept>
#include <vector>

namespace drivlet {

TSearchDrive::TSearchDrive(const IFileSystem& files, std::string drivePath, Handlers handlers)
    : files_(files), folder_(std::move(drivePath)), handlers_(std::move(handlers)) {
    if (folder_.empty() || folder_.back() != '/') folder_ += '/';
    folder_ += "Config/";
}

TSearchDrive::~TSearchDrive() {
    Terminate();
    WaitFor();
}

void TSearchDrive::Start() {
    if (thread_.joinable() || finished_.load()) return;
    thread_ = std::thread([this] {
        try {
            Body();
        } catch (const std::exception& e) {
            Report(handlers_.onError, std::string(kSearchErrorPrefix) + e.what());
        } catch (...) {
            Report(handlers_.onError, std::string(kSearchErrorPrefix) + "Unknown error");
        }
        try {
            if (handlers_.onEnd) handlers_.onEnd();
        } catch (...) {
            // Nobody is left to tell.
        }
        finished_.store(true);
    });
}

void TSearchDrive::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TSearchDrive::IsJobFileName(std::string_view name) {
    return !name.empty() && name.front() != '.' && JobFileKindOf(name) != JobFileKind::None;
}

void TSearchDrive::Report(const std::function<void(const std::string&)>& handler,
                          const std::string& text) const {
    try {
        if (handler) handler(text);
    } catch (...) {
        // A failing handler must not end the search with an unjoined error of its own.
    }
}

void TSearchDrive::Body() {
    Report(handlers_.onStatus, "Prepareing... ");
    Report(handlers_.onStatus, " Searching..." + folder_);
    std::vector<std::string> names;
    const FileStatus listed = files_.ListFolder(
        folder_,
        [&](const FolderEntry& entry) {
            if (Terminated()) return false;
            if (!entry.isDirectory && IsJobFileName(entry.name)) names.push_back(entry.name);
            return true;
        },
        ListDetail::NamesAndTypes);
    // A drive without jobs has no "Config" folder: an empty list, not a failure.
    if (!listed && listed.code() != ENOENT && listed.code() != ENOTDIR)
        throw std::runtime_error(folder_ + ": " + listed.message());
    for (const std::string& name : names) {
        if (Terminated()) return;
        const TAutoRunFileData row = LoadJobRow(folder_ + name, handlers_.lastRunText);
        if (Terminated()) return;
        if (handlers_.onRow) handlers_.onRow(row);
    }
}

} // namespace drivlet

#include "core/engine/FolderWalk.h"

#include "core/engine/Reporter.h"

#include <cerrno>

namespace drivlet {

std::string_view SpecialKindText(SpecialKind kind) {
    switch (kind) {
    case SpecialKind::Fifo:
        return "a FIFO";
    case SpecialKind::Socket:
        return "a socket";
    case SpecialKind::Device:
        return "a device";
    case SpecialKind::None:
        break;
    }
    return "a regular file";
}

std::optional<FolderEntry> ListedEntryOf(const IFileSystem& files, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return std::nullopt;
    const std::string name = path.substr(slash + 1);
    std::optional<FolderEntry> found;
    files.ListFolder(
        path.substr(0, slash + 1),
        [&](const FolderEntry& entry) {
            if (entry.name != name) return true;
            found = entry;
            return false;
        },
        ListDetail::NamesAndTypes);
    return found;
}

bool FolderWalk::Run(const std::string& root, const Steps& steps) const {
    std::string folder = root;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return Walk(folder, steps);
}

bool FolderWalk::Walk(const std::string& folder, const Steps& steps) const {
    std::vector<FolderEntry> entries;
    const FileStatus listed = steps.list(folder, entries);
    if (!listed) {
        if (listed.code() != ENOENT && steps.unlisted) steps.unlisted(folder, listed);
        return false;
    }
    if (steps.begin) steps.begin(folder, entries);
    for (const FolderEntry& entry : entries) {
        if (Stopped()) return true;
        if (entry.isDirectory) {
            const std::string sub = folder + entry.name + "/";
            const bool enters = steps.enters ? steps.enters(sub, entry) : !entry.isSymlink;
            if (!enters) continue;
            Walk(sub, steps);
            if (Stopped()) return true;
            if (steps.left) steps.left(sub, entry);
        } else if (entry.special != SpecialKind::None) {
            if (steps.special) steps.special(folder, entry);
        } else if (steps.file) {
            steps.file(folder, entry);
        }
    }
    if (Stopped()) return true;
    if (steps.end) steps.end(folder, entries);
    return true;
}

bool WalkReportingFailures(const std::string& root, FolderWalk::Steps steps, std::string_view action,
                           const Reporter& reporter, std::stop_token stop) {
    if (!steps.unlisted)
        steps.unlisted = [&reporter](const std::string& folder, const FileStatus& status) {
            reporter.UnlistedFolder(folder, status);
        };
    if (!steps.special)
        steps.special = [&reporter, action](const std::string& folder, const FolderEntry& entry) {
            reporter.SpecialFile(folder + entry.name, entry.special, action);
        };
    return FolderWalk([stop = std::move(stop)] { return stop.stop_requested(); }).Run(root, steps);
}

} // namespace drivlet

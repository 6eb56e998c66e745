#pragma once
// The one recursive walk of a folder tree that the backup workers, the restores and the
// deleted-files store share. Nothing is passed over in silence: a folder that cannot be listed
// and an entry that is no regular file each go to a hook of their own, which reports them, and
// the walk goes on with the rest.
#include "platform/FileSystem.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace drivlet {

// "a FIFO", "a socket", "a device".
std::string_view SpecialKindText(SpecialKind kind);

// The entry of one path as its folder's listing gives it (names and types only); nothing when the
// folder does not hold it. For the files a job names one by one.
std::optional<FolderEntry> ListedEntryOf(const IFileSystem& files, const std::string& path);

class FolderWalk {
public:
    // Folder paths end with "/". `list` is needed; the other hooks may be left empty: they then
    // do nothing, except `enters`, which then lets the walk into every folder but a linked one.
    struct Steps {
        // The listing of a folder; a failure goes to `unlisted`.
        std::function<FileStatus(const std::string& folder, std::vector<FolderEntry>& entries)> list;
        // Before the entries of a folder that was listed.
        std::function<void(const std::string& folder, const std::vector<FolderEntry>& entries)> begin;
        // Whether the walk goes into a listed subfolder.
        std::function<bool(const std::string& sub, const FolderEntry& entry)> enters;
        // After the walk came back out of a subfolder it went into.
        std::function<void(const std::string& sub, const FolderEntry& entry)> left;
        // A regular file, or a link that leads to no folder.
        std::function<void(const std::string& folder, const FolderEntry& entry)> file;
        // A FIFO, socket or device, which is never opened.
        std::function<void(const std::string& folder, const FolderEntry& entry)> special;
        // A folder that could not be listed, and why. A folder that is not there (gone since its
        // parent was listed, or never made) holds nothing to leave out and does not come here.
        std::function<void(const std::string& folder, const FileStatus& status)> unlisted;
        // After the last entry of a folder, with its listing, which the hook may keep.
        std::function<void(const std::string& folder, std::vector<FolderEntry>& entries)> end;
    };

    // `stopped` is asked before every entry; once it answers true the walk calls nothing more.
    explicit FolderWalk(std::function<bool()> stopped) : stopped_(std::move(stopped)) {}

    // Walks root and every folder below it that `enters` lets in, depth first. False when root
    // itself could not be listed.
    bool Run(const std::string& root, const Steps& steps) const;

private:
    // False when the folder could not be listed.
    bool Walk(const std::string& folder, const Steps& steps) const;
    bool Stopped() const { return stopped_ && stopped_(); }

    std::function<bool()> stopped_;
};

class Reporter;

// A FolderWalk until `stop` is requested; false when root could not be listed. A folder that
// cannot be listed and a special file get the run's failed log lines (the file's with `action`)
// unless the steps have hooks of their own for them.
bool WalkReportingFailures(const std::string& root, FolderWalk::Steps steps, std::string_view action,
                           const Reporter& reporter, std::stop_token stop);

} // namespace drivlet

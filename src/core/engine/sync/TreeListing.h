#pragma once
// One side of a folder pair, listed ahead of its walk by two threads of its own: the walk then
// takes each folder's listing instead of waiting for the disk itself, and the two sides and the
// loading of the pair's records overlap.
#include "platform/FileSystem.h"

#include <atomic>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace drivlet {

class TreeListing {
public:
    // One folder's entries with the folded names that occur more than once among its files. The
    // temporary files of copies are never entries: they are not the user's files.
    struct Folder {
        std::vector<FolderEntry> entries;
        std::unordered_set<std::string> twins;
    };

    // Starts listing root (ends with "/") and every folder below it, linked folders left out.
    // wholeDrive: root is a drive's root, whose "Config" folder is left out too. The listing
    // stops early once `canceled` answers true.
    TreeListing(const IFileSystem& files, std::string root, bool wholeDrive, std::function<bool()> canceled);
    // Stops the listing and waits for its threads.
    ~TreeListing();
    TreeListing(const TreeListing&) = delete;
    TreeListing& operator=(const TreeListing&) = delete;

    // A folder's listing, waiting for the whole listing first; a folder it did not reach is read
    // now. False when the folder cannot be read. Rethrows a fault of a listing thread.
    bool Take(const std::string& folder, Folder& listing);

    // One folder read on the calling thread; false when it cannot be read.
    static bool Read(const IFileSystem& files, const std::string& folder, Folder& listing);
    // The folded names that occur more than once among the files of a listing.
    static std::unordered_set<std::string> CaseTwins(const std::vector<FolderEntry>& entries);
    // The whole-drive pair's own "Config" folder, directly below a root of rootLength characters.
    static bool IsDriveConfigFolder(const std::string& folder, size_t rootLength, bool wholeDrive);

private:
    struct Listings {
        std::unordered_map<std::string, Folder> folders;
        std::unordered_set<std::string> unreadable;
    };
    Listings ListAll() const;

    const IFileSystem& files_;
    const std::string root_;
    const bool wholeDrive_;
    const std::function<bool()> canceled_;
    std::atomic<bool> stop_{false};
    std::future<Listings> pending_;
    std::optional<Listings> done_;
};

} // namespace drivlet

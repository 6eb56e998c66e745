#include "core/engine/sync/TreeListing.h"

#include "core/text/CaseFold.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <iterator>
#include <mutex>
#include <thread>

namespace drivlet {
namespace {

// Equal for any two names LowerCase folds alike: it folds ASCII letters and skips every other
// byte (no other letter folds to ASCII). Names that share it are folded for real.
uint64_t LooseCaseHash(std::string_view name) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80) continue;
        const char folded = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        hash = (hash ^ static_cast<unsigned char>(folded)) * 1099511628211ull;
    }
    return hash;
}

} // namespace

TreeListing::TreeListing(const IFileSystem& files, std::string root, bool wholeDrive,
                         std::function<bool()> canceled)
    : files_(files), root_(std::move(root)), wholeDrive_(wholeDrive), canceled_(std::move(canceled)) {
    pending_ = std::async(std::launch::async, [this] { return ListAll(); });
}

TreeListing::~TreeListing() {
    // A listing not taken (a root gone, a cancel) is not waited for longer than needed.
    stop_ = true;
    if (pending_.valid()) pending_.wait();
}

bool TreeListing::Take(const std::string& folder, Folder& listing) {
    if (pending_.valid()) done_ = pending_.get();
    if (!done_) return Read(files_, folder, listing);
    const auto listed = done_->folders.find(folder);
    if (listed != done_->folders.end()) {
        listing = std::move(listed->second);
        done_->folders.erase(listed);
        return true;
    }
    if (done_->unreadable.contains(folder)) return false;
    return Read(files_, folder, listing);
}

bool TreeListing::Read(const IFileSystem& files, const std::string& folder, Folder& listing) {
    if (!files.ReadFolder(folder, listing.entries, ListDetail::Full)) return false;
    listing.heldTempFiles = std::erase_if(listing.entries, [](const FolderEntry& entry) {
                                return !entry.isDirectory && entry.name.starts_with(kCopyTempPrefix);
                            }) > 0;
    listing.twins = CaseTwins(listing.entries);
    return true;
}

TreeListing::Listings TreeListing::ListAll() const {
    Listings out;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> pending{root_};
    int busy = 0;               // folders being read
    std::exception_ptr failure; // the first fault of a lister ends the listing
    // Each lister takes a folder, reads it without the lock and hands back its sub-folders.
    const auto lister = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return !pending.empty() || busy == 0; });
            if (failure || stop_ || canceled_()) pending.clear();
            if (pending.empty()) break;
            const std::string folder = std::move(pending.back());
            pending.pop_back();
            ++busy;
            lock.unlock();
            try {
                Folder listing;
                const bool read = Read(files_, folder, listing);
                std::vector<std::string> subs;
                for (const FolderEntry& entry : listing.entries) {
                    if (!entry.isDirectory || entry.isSymlink) continue;
                    std::string sub = folder + entry.name + "/";
                    if (!IsDriveConfigFolder(sub, root_.size(), wholeDrive_)) subs.push_back(std::move(sub));
                }
                lock.lock();
                if (read) {
                    pending.insert(pending.end(), std::make_move_iterator(subs.begin()),
                                   std::make_move_iterator(subs.end()));
                    out.folders.emplace(folder, std::move(listing));
                } else {
                    out.unreadable.insert(folder);
                }
            } catch (...) {
                if (!lock.owns_lock()) lock.lock();
                if (!failure) failure = std::current_exception();
            }
            --busy;
            changed.notify_all();
        }
        changed.notify_all();
    };
    // Two listers: a cold cache keeps each of them waiting for the disk much of the time.
    std::thread second(lister);
    lister();
    second.join();
    if (failure) std::rethrow_exception(failure);
    return out;
}

std::unordered_set<std::string> TreeListing::CaseTwins(const std::vector<FolderEntry>& entries) {
    // Every listing is checked, so the common case (no twin) must not fold every name.
    std::vector<std::pair<uint64_t, size_t>> hashes;
    hashes.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        if (!entries[i].isDirectory) hashes.emplace_back(LooseCaseHash(entries[i].name), i);
    std::sort(hashes.begin(), hashes.end());
    std::unordered_set<std::string> twins;
    for (size_t first = 0; first < hashes.size();) {
        size_t end = first + 1;
        while (end < hashes.size() && hashes[end].first == hashes[first].first)
            ++end;
        if (end - first > 1) {
            std::unordered_map<std::string, int> seen;
            for (size_t i = first; i < end; ++i)
                ++seen[LowerCase(entries[hashes[i].second].name)];
            for (const auto& [name, count] : seen)
                if (count > 1) twins.insert(name);
        }
        first = end;
    }
    return twins;
}

bool TreeListing::IsDriveConfigFolder(const std::string& folder, size_t rootLength, bool wholeDrive) {
    // A one-way whole-drive sync would otherwise delete or overwrite the jobs themselves.
    return wholeDrive && folder.size() == rootLength + 7 &&
           SameText(std::string_view(folder).substr(rootLength), "Config/");
}

} // namespace drivlet

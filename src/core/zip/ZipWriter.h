#pragma once
// Adds files to a zip archive. Nothing reaches the disk before Close: the library writes a
// temporary file next to the archive and renames it over the old one only when everything went
// in, so a failed or cancelled close leaves the old archive as it was.
#include "core/zip/ZipStatus.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct zip;

namespace drivlet {

// The fraction (0 to 1) of the archive written so far.
using ZipWriteProgress = std::function<void(double fraction)>;

class ZipWriter {
public:
    ZipWriter();
    // An archive still open is discarded, never half-written.
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Opens the archive, or starts a new one when the file does not exist.
    ZipStatus Open(const std::string& archive);
    bool IsOpen() const { return archive_ != nullptr; }
    // Entries added from now on are AES-256 encrypted with it; empty means plain entries.
    void SetPassword(std::string password) { password_ = std::move(password); }

    // Queues one file under the entry name (folders separated by "/"), replacing an entry of
    // that name. The file must be readable now; its data is read during Close.
    ZipStatus AddFile(const std::string& source, const std::string& entryName);
    // Whether the archive (as opened, plus what was queued) has an entry of exactly this name.
    bool Contains(const std::string& entryName) const;
    // Whether the archive has entries whose names begin with the prefix (a folder's, ending
    // with "/"); RemoveBelow drops them from what Close writes and gives their names.
    bool HasEntriesBelow(const std::string& prefix);
    std::vector<std::string> RemoveBelow(const std::string& prefix);
    // Drops the entry of exactly this name; false when there is none.
    bool Remove(const std::string& entryName);
    // Files queued since Open.
    std::size_t Pending() const { return pending_; }

    // Writes the archive. A cancel (the check answers true) fails with the library's cancel code.
    // After a failure the queue is dropped, except when the disk was full: then Close may be
    // called again once there is room, or Discard gives up.
    ZipStatus Close(const ZipWriteProgress& progress = {}, const ZipCancelCheck& cancel = {});
    // Drops everything queued; the file on disk is not touched.
    void Discard();

private:
    struct Discarder {
        void operator()(zip* archive) const;
    };
    std::unique_ptr<zip, Discarder> archive_;
    std::string password_;
    std::size_t pending_ = 0;
    // The index of the entry stored under exactly these bytes; -1 when there is none.
    int64_t Locate(const std::string& entryName) const;
    // The entry names, read when first asked for by prefix and kept up to date after.
    void Index();
    bool indexed_ = false;
    std::set<std::string> names_;
};

} // namespace drivlet

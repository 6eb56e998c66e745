#pragma once
// Lists the entries of a zip archive and extracts one entry at a time into a file, in chunks.
#include "core/time/DateTime.h"
#include "core/zip/ZipStatus.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct zip;

namespace drivlet {

struct ZipEntryInfo {
    uint64_t index = 0;
    std::string name; // as stored, folders separated by "/"
    int64_t size = 0; // uncompressed
    // Modification time as local wall time: to the second where the entry carries its exact time,
    // else the two-second form of the DOS field.
    TDateTime time = 0;
    bool encrypted = false;
    std::optional<uint32_t> permissions; // rwx bits when the entry was written on a POSIX system
    bool IsFolder() const { return !name.empty() && name.back() == '/'; }
};

// Bytes written so far out of the entry's size.
using ZipReadProgress = std::function<void(int64_t done, int64_t total)>;

class ZipReader {
public:
    ZipReader();
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // The password opens the encrypted entries.
    ZipStatus Open(const std::string& archive, const std::string& password = {});
    void Close();
    bool IsOpen() const { return archive_ != nullptr; }
    const std::string& ArchiveName() const { return name_; }

    std::vector<ZipEntryInfo> Entries() const;
    // Writes the entry's data to the file (created or truncated). On failure the file may hold
    // part of the data; the caller writes to a temporary name.
    ZipStatus Extract(const ZipEntryInfo& entry, const std::string& file, const ZipReadProgress& progress = {},
                      const ZipCancelCheck& cancel = {}) const;

private:
    struct Closer {
        void operator()(zip* archive) const;
    };
    std::unique_ptr<zip, Closer> archive_;
    std::string name_;
};

} // namespace drivlet

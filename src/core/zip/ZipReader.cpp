#include "core/zip/ZipReader.h"

#include "core/zip/ZipLibrary.h"

#include <cerrno>
#include <ctime>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

namespace drivlet {
namespace {

constexpr std::size_t kChunk = 1 << 20;

// The library turns the stored local date and time into an instant; this gives the local wall
// time back. std::localtime shares one buffer, so its calls here are serialised.
TDateTime LocalTimeOf(std::time_t instant) {
    static std::mutex guard;
    std::lock_guard lock(guard);
    const std::tm* local = std::localtime(&instant);
    if (!local) return 0;
    return EncodeDateTime({local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour,
                           local->tm_min, local->tm_sec, 0});
}

uint64_t LittleEndian(const zip_uint8_t* data, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | data[i];
    return value;
}

// The entry's exact modification time from the central directory's extra fields (the NTFS one
// first, then the extended timestamp); none when it carries neither and only the DOS field tells.
// The local headers are not read: that would be a seek per entry of a large archive.
std::optional<std::time_t> ExactTime(zip_t* archive, zip_uint64_t index) {
    zip_uint16_t length = 0;
    const zip_uint8_t* ntfs = zip_file_extra_field_get_by_id(archive, index, kNtfsTimeField, 0, &length, ZIP_FL_CENTRAL);
    // Past 4 reserved bytes, attributes as tag, size, data; tag 1 holds the three times.
    for (std::size_t at = 4; ntfs && at + 4 <= length;) {
        const auto tag = LittleEndian(ntfs + at, 2);
        const auto size = LittleEndian(ntfs + at + 2, 2);
        if (tag == 1 && size >= 8 && at + 4 + 8 <= length) {
            const auto ticks = static_cast<int64_t>(LittleEndian(ntfs + at + 4, 8));
            return static_cast<std::time_t>(ticks / 10000000 - kNtfsEpochOffset);
        }
        at += 4 + size;
    }
    const zip_uint8_t* ut = zip_file_extra_field_get_by_id(archive, index, kExtendedTimeField, 0, &length, ZIP_FL_CENTRAL);
    if (ut && length >= 5 && (ut[0] & 1))
        return static_cast<std::time_t>(static_cast<int32_t>(static_cast<uint32_t>(LittleEndian(ut + 1, 4))));
    zip_error_clear(archive);
    return std::nullopt;
}

// Closes an entry opened for reading.
struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

} // namespace

void ZipReader::Closer::operator()(zip* archive) const { zip_discard(archive); }

ZipReader::ZipReader() = default;
ZipReader::~ZipReader() = default;

ZipStatus ZipReader::Open(const std::string& archive, const std::string& password) {
    Close();
    ZipStatus status;
    zip_t* opened = OpenArchive(archive, ZIP_RDONLY, status);
    if (!opened) return status;
    archive_.reset(opened);
    name_ = archive;
    if (!password.empty()) zip_set_default_password(opened, password.c_str());
    return {};
}

void ZipReader::Close() {
    archive_.reset();
    name_.clear();
}

std::vector<ZipEntryInfo> ZipReader::Entries() const {
    std::vector<ZipEntryInfo> entries;
    if (!archive_) return entries;
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    entries.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        // Names are the bytes stored: one that is not UTF-8 comes back as it went in.
        if (zip_stat_index(archive_.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st) < 0) continue;
        if (!(st.valid & ZIP_STAT_NAME) || !st.name) continue;
        ZipEntryInfo entry;
        entry.index = static_cast<uint64_t>(i);
        entry.name = st.name;
        entry.size = (st.valid & ZIP_STAT_SIZE) ? static_cast<int64_t>(st.size) : 0;
        const std::optional<std::time_t> exact = ExactTime(archive_.get(), entry.index);
        entry.time = exact ? LocalTimeOf(*exact) : (st.valid & ZIP_STAT_MTIME) ? LocalTimeOf(st.mtime) : 0;
        entry.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive_.get(), entry.index, 0, &system, &attributes) == 0 &&
            system == ZIP_OPSYS_UNIX && (attributes >> 16) != 0)
            entry.permissions = (attributes >> 16) & 0777;
        entries.push_back(std::move(entry));
    }
    return entries;
}

ZipStatus ZipReader::Extract(const ZipEntryInfo& entry, const std::string& file, const ZipReadProgress& progress,
                             const ZipCancelCheck& cancel) const {
    if (!archive_) return {ZIP_ER_INVAL, "No archive is open"};
    std::unique_ptr<zip_file_t, EntryCloser> data(zip_fopen_index(archive_.get(), entry.index, 0));
    if (!data) {
        zip_error_t* error = zip_get_error(archive_.get());
        ZipStatus status = StatusOf(error);
        zip_error_clear(archive_.get());
        return status;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) {
        const int error = errno;
        return {ZIP_ER_OPEN, "Can't open file: " + std::generic_category().message(error)};
    }
    std::vector<char> buffer(kChunk);
    int64_t done = 0;
    if (progress) progress(0, entry.size);
    for (;;) {
        if (cancel && cancel()) return {ZIP_ER_CANCELLED, "Operation cancelled"};
        const zip_int64_t n = zip_fread(data.get(), buffer.data(), buffer.size());
        if (n < 0) return StatusOf(zip_file_get_error(data.get()));
        if (n == 0) break;
        out.write(buffer.data(), n);
        if (!out) {
            const int error = errno;
            return {ZIP_ER_WRITE, "Write error: " + std::generic_category().message(error)};
        }
        done += n;
        if (progress) progress(done, entry.size);
    }
    out.close();
    if (!out) {
        const int error = errno;
        return {ZIP_ER_WRITE, "Write error: " + std::generic_category().message(error)};
    }
    return {};
}

} // namespace drivlet

#include "core/zip/ZipWriter.h"

#include "core/zip/ZipLibrary.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace drivlet {
namespace {

// Whether the bytes are well-formed UTF-8 (ASCII included).
bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        if (lead < 0x80)
            length = 1;
        else if ((lead & 0xe0) == 0xc0 && lead >= 0xc2)
            length = 2;
        else if ((lead & 0xf0) == 0xe0)
            length = 3;
        else if ((lead & 0xf8) == 0xf0 && lead <= 0xf4)
            length = 4;
        else
            return false;
        if (i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return false;
        i += length;
    }
    return true;
}

// Regular-file type bits of a POSIX mode, as unzip tools expect them in the upper half.
constexpr uint32_t kRegularFile = 0100000;

ZipStatus StatusOf(zip_t* archive) {
    return drivlet::StatusOf(zip_get_error(archive));
}

void PutLittleEndian(std::vector<zip_uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<zip_uint8_t>(value >> (8 * i)));
}

// The entry's modification time to the second, whatever the two-second local DOS field can
// hold (1980 to 2107 only): the extended timestamp field where the time fits its 32 bits, else
// the NTFS field's 64-bit time. A replaced entry's old fields go first.
void SetExactTime(zip_t* archive, zip_uint64_t entry, int64_t unixTime) {
    constexpr zip_flags_t both = ZIP_FL_CENTRAL | ZIP_FL_LOCAL;
    zip_file_extra_field_delete_by_id(archive, entry, kExtendedTimeField, ZIP_EXTRA_FIELD_ALL, both);
    zip_file_extra_field_delete_by_id(archive, entry, kNtfsTimeField, ZIP_EXTRA_FIELD_ALL, both);
    std::vector<zip_uint8_t> data;
    zip_uint16_t id = kExtendedTimeField;
    if (unixTime >= INT32_MIN && unixTime <= INT32_MAX) {
        data.push_back(1); // the modification time follows
        PutLittleEndian(data, static_cast<uint32_t>(static_cast<int32_t>(unixTime)), 4);
    } else {
        id = kNtfsTimeField;
        const uint64_t ticks = static_cast<uint64_t>(unixTime + kNtfsEpochOffset) * 10000000u;
        PutLittleEndian(data, 0, 4);  // reserved
        PutLittleEndian(data, 1, 2);  // the times attribute
        PutLittleEndian(data, 24, 2); // its size
        for (int i = 0; i < 3; ++i)
            PutLittleEndian(data, ticks, 8); // modified, accessed, created
    }
    zip_file_extra_field_set(archive, entry, id, ZIP_EXTRA_FIELD_NEW, data.data(),
                             static_cast<zip_uint16_t>(data.size()), both);
    // Without the field the entry still has its DOS time; nothing here fails the file.
    zip_error_clear(archive);
}

// Seconds since 1970 (UTC) of the file's last write.
std::optional<int64_t> UnixTimeOf(const std::string& path) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    if (ec) return std::nullopt;
    const auto instant = std::chrono::file_clock::to_sys(written);
    return std::chrono::floor<std::chrono::seconds>(instant).time_since_epoch().count();
}

// The callbacks run inside the library's C code, which an exception must not cross: it is kept,
// the write is cancelled, and the exception is thrown again once the library has returned.
struct CloseCallbacks {
    const ZipWriteProgress* progress;
    const ZipCancelCheck* cancel;
    std::exception_ptr failure;
};

void OnProgress(zip_t*, double fraction, void* state) {
    auto* callbacks = static_cast<CloseCallbacks*>(state);
    if (callbacks->failure || !*callbacks->progress) return;
    try {
        (*callbacks->progress)(fraction);
    } catch (...) {
        callbacks->failure = std::current_exception();
    }
}

int OnCancel(zip_t*, void* state) {
    auto* callbacks = static_cast<CloseCallbacks*>(state);
    if (callbacks->failure) return 1;
    try {
        return *callbacks->cancel && (*callbacks->cancel)() ? 1 : 0;
    } catch (...) {
        callbacks->failure = std::current_exception();
        return 1;
    }
}

} // namespace

void ZipWriter::Discarder::operator()(zip* archive) const {
    zip_discard(archive);
}

ZipWriter::ZipWriter() = default;
ZipWriter::~ZipWriter() = default;

ZipStatus ZipWriter::Open(const std::string& archive) {
    Discard();
    ZipStatus status;
    zip_t* opened = OpenArchive(archive, ZIP_CREATE, status);
    if (!opened) return status;
    archive_.reset(opened);
    pending_ = 0;
    return {};
}

ZipStatus ZipWriter::AddFile(const std::string& source, const std::string& entryName) {
    if (!archive_) return {ZIP_ER_INVAL, "No archive is open"};
    // A FIFO would keep the open below (and the library's) waiting for ever for a writer.
    std::error_code typeError;
    const std::filesystem::file_type type = std::filesystem::status(source, typeError).type();
    if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::not_found &&
        type != std::filesystem::file_type::none)
        return {ZIP_ER_OPEN, "Can't open file: not a regular file"};
    // The library opens the file only while it writes the archive; a file it cannot read then
    // would fail the whole archive, so it is refused here on its own.
    std::FILE* probe = std::fopen(source.c_str(), "rb");
    if (!probe) {
        const int error = errno;
        return {ZIP_ER_OPEN, "Can't open file: " + std::generic_category().message(error)};
    }
    std::fclose(probe);

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* data = zip_source_file_create(source.c_str(), 0, -1, &error);
    if (!data) {
        ZipStatus status = StatusOf(&error);
        zip_error_fini(&error);
        return status;
    }
    zip_error_fini(&error);
    // A name is stored as the bytes it is: flagged as UTF-8 only when it is valid UTF-8, raw
    // otherwise (a Latin-1 name), so it comes back to the same bytes. The old entry of the name
    // is found by those bytes too.
    const zip_int64_t existing = Locate(entryName);
    zip_int64_t index = existing;
    if (existing >= 0) {
        if (zip_file_replace(archive_.get(), static_cast<zip_uint64_t>(existing), data, 0) < 0) index = -1;
    } else {
        index = zip_file_add(archive_.get(), entryName.c_str(), data, ZIP_FL_ENC_GUESS);
    }
    if (index < 0) {
        zip_source_free(data);
        return StatusOf(archive_.get());
    }
    const auto entry = static_cast<zip_uint64_t>(index);
    if (!password_.empty() &&
        zip_file_set_encryption(archive_.get(), entry, ZIP_EM_AES_256, password_.c_str()) < 0) {
        ZipStatus status = StatusOf(archive_.get());
        zip_delete(archive_.get(), entry);
        return status;
    }
    std::error_code ec;
    const auto permissions = std::filesystem::status(source, ec).permissions();
    if (!ec) {
        const uint32_t mode = kRegularFile | (static_cast<uint32_t>(permissions) & 07777);
        zip_file_set_external_attributes(archive_.get(), entry, 0, ZIP_OPSYS_UNIX, mode << 16);
    }
    if (const std::optional<int64_t> time = UnixTimeOf(source)) SetExactTime(archive_.get(), entry, *time);
    ++pending_;
    if (indexed_) names_.insert(entryName);
    return {};
}

void ZipWriter::Index() {
    if (indexed_ || !archive_) return;
    indexed_ = true;
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* name = zip_get_name(archive_.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW))
            names_.insert(name);
}

bool ZipWriter::HasEntriesBelow(const std::string& prefix) {
    Index();
    const auto at = names_.lower_bound(prefix);
    return at != names_.end() && at->compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> ZipWriter::RemoveBelow(const std::string& prefix) {
    std::vector<std::string> removed;
    Index();
    for (auto at = names_.lower_bound(prefix);
         at != names_.end() && at->compare(0, prefix.size(), prefix) == 0;) {
        const zip_int64_t index = Locate(*at);
        if (index >= 0 && zip_delete(archive_.get(), static_cast<zip_uint64_t>(index)) == 0)
            removed.push_back(*at);
        at = names_.erase(at);
    }
    return removed;
}

bool ZipWriter::Remove(const std::string& entryName) {
    if (!archive_) return false;
    const zip_int64_t index = Locate(entryName);
    if (index < 0 || zip_delete(archive_.get(), static_cast<zip_uint64_t>(index)) != 0) return false;
    names_.erase(entryName);
    return true;
}

bool ZipWriter::Contains(const std::string& entryName) const {
    return archive_ && Locate(entryName) >= 0;
}

int64_t ZipWriter::Locate(const std::string& entryName) const {
    zip_int64_t index = zip_name_locate(archive_.get(), entryName.c_str(), ZIP_FL_ENC_RAW);
    zip_error_clear(archive_.get()); // "no such entry" is no failure here
    if (index >= 0 || IsUtf8(entryName)) return index;
    // The library looks names up in their converted form, where a name that is not UTF-8 (read
    // as code page 437) is never found by its bytes: those are compared one by one.
    const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive_.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (name && entryName == name) return i;
    }
    zip_error_clear(archive_.get());
    return -1;
}

ZipStatus ZipWriter::Close(const ZipWriteProgress& progress, const ZipCancelCheck& cancel) {
    if (!archive_) return {};
    CloseCallbacks callbacks{&progress, &cancel, nullptr};
    zip_register_progress_callback_with_state(archive_.get(), 0.01, OnProgress, nullptr, &callbacks);
    zip_register_cancel_callback_with_state(archive_.get(), OnCancel, nullptr, &callbacks);
    if (zip_close(archive_.get()) == 0) {
        (void)archive_.release(); // freed by the close
        pending_ = 0;
        indexed_ = false;
        names_.clear();
        if (callbacks.failure) std::rethrow_exception(callbacks.failure);
        return {};
    }
    ZipStatus status = StatusOf(archive_.get());
    if (callbacks.failure || !status.diskFull())
        Discard();
    else
        zip_error_clear(archive_.get());
    if (callbacks.failure) std::rethrow_exception(callbacks.failure);
    return status;
}

void ZipWriter::Discard() {
    archive_.reset();
    pending_ = 0;
    indexed_ = false;
    names_.clear();
}

} // namespace drivlet

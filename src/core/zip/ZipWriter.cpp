#include "core/zip/ZipWriter.h"

#include "core/zip/ZipLibrary.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

namespace drivlet {
namespace {

// Regular-file type bits of a POSIX mode, as unzip tools expect them in the upper half.
constexpr uint32_t kRegularFile = 0100000;

ZipStatus StatusOf(zip_t* archive) { return drivlet::StatusOf(zip_get_error(archive)); }

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

void ZipWriter::Discarder::operator()(zip* archive) const { zip_discard(archive); }

ZipWriter::ZipWriter() = default;
ZipWriter::~ZipWriter() = default;

ZipStatus ZipWriter::Open(const std::string& archive) {
    Discard();
    ZipStatus status;
    zip_t* opened = OpenArchive(archive, ZIP_CREATE, status);
    if (!opened) return status;
    archive_.reset(opened);
    name_ = archive;
    pending_ = 0;
    return {};
}

ZipStatus ZipWriter::AddFile(const std::string& source, const std::string& entryName) {
    if (!archive_) return {ZIP_ER_INVAL, "No archive is open"};
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
    const zip_int64_t index =
        zip_file_add(archive_.get(), entryName.c_str(), data, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
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
    ++pending_;
    return {};
}

bool ZipWriter::Contains(const std::string& entryName) const {
    return archive_ && zip_name_locate(archive_.get(), entryName.c_str(), ZIP_FL_ENC_UTF_8) >= 0;
}

ZipStatus ZipWriter::Close(const ZipWriteProgress& progress, const ZipCancelCheck& cancel) {
    if (!archive_) return {};
    CloseCallbacks callbacks{&progress, &cancel, nullptr};
    zip_register_progress_callback_with_state(archive_.get(), 0.01, OnProgress, nullptr, &callbacks);
    zip_register_cancel_callback_with_state(archive_.get(), OnCancel, nullptr, &callbacks);
    if (zip_close(archive_.get()) == 0) {
        (void)archive_.release(); // freed by the close
        pending_ = 0;
        if (callbacks.failure) std::rethrow_exception(callbacks.failure);
        return {};
    }
    ZipStatus status = StatusOf(archive_.get());
    if (callbacks.failure || !status.diskFull()) Discard();
    else zip_error_clear(archive_.get());
    if (callbacks.failure) std::rethrow_exception(callbacks.failure);
    return status;
}

void ZipWriter::Discard() {
    archive_.reset();
    pending_ = 0;
}

} // namespace drivlet

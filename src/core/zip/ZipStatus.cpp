#include "core/zip/ZipLibrary.h"

#include <cerrno>

namespace drivlet {

bool ZipStatus::canceled() const { return code_ == ZIP_ER_CANCELLED; }

bool ZipStatus::diskFull() const { return systemError_ == ENOSPC || systemError_ == EDQUOT; }

ZipStatus StatusOf(zip_error_t* error) {
    const int system = zip_error_system_type(error) == ZIP_ET_SYS ? zip_error_code_system(error) : 0;
    return {zip_error_code_zip(error), zip_error_strerror(error), system};
}

zip_t* OpenArchive(const std::string& path, int flags, ZipStatus& status) {
    int code = 0;
    zip_t* opened = zip_open(path.c_str(), flags, &code);
    if (opened) {
        status = {};
        return opened;
    }
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    status = StatusOf(&error);
    zip_error_fini(&error);
    return nullptr;
}

} // namespace drivlet

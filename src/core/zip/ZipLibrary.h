#pragma once
// What the writer and the reader share of the library: its error texts and opening an archive.
// Only the zip sources include this.
#include "core/zip/ZipStatus.h"

#include <zip.h>

#include <string>

namespace drivlet {

ZipStatus StatusOf(zip_error_t* error);
// The archive, or null with the failure in status.
zip_t* OpenArchive(const std::string& path, int flags, ZipStatus& status);

} // namespace drivlet

#pragma once
// What the writer and the reader share of the library: its error texts and opening an archive.
// Only the zip sources include this.
#include "core/zip/ZipStatus.h"

#include <zip.h>

#include <cstdint>
#include <string>

namespace drivlet {

// The extra fields that carry an entry's time beyond the DOS field: the extended timestamp
// ("UT", seconds since 1970 in 32 bits) and the NTFS one (100 ns ticks since 1601 in 64 bits).
inline constexpr zip_uint16_t kExtendedTimeField = 0x5455;
inline constexpr zip_uint16_t kNtfsTimeField = 0x000a;
inline constexpr int64_t kNtfsEpochOffset = 11644473600; // seconds from 1601 to 1970

ZipStatus StatusOf(zip_error_t* error);
// The archive, or null with the failure in status.
zip_t* OpenArchive(const std::string& path, int flags, ZipStatus& status);

} // namespace drivlet

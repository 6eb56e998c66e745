#pragma once
// Whole-file reads and writes for stored records.
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace drivlet {

// Records are small; a larger file on a damaged drive is refused rather than read into memory.
inline constexpr uintmax_t kMaxRecordFileSize = 64 * 1024 * 1024;

// Throws std::runtime_error naming the file and the reason.
std::vector<uint8_t> ReadRecordFile(const std::filesystem::path& file);
// Writes a sibling file and renames it over the target, so readers see the old or the new
// content, never a part. Throws std::runtime_error.
void WriteRecordFile(const std::filesystem::path& file, std::span<const uint8_t> bytes);

} // namespace drivlet

#pragma once
// The compressed container of stored records: one zlib stream (RFC 1950) from the first byte,
// level 9 with the default window and memory level; bytes after its end are ignored.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace drivlet {

// Records are a few kilobytes; anything that inflates past this is not one of ours.
inline constexpr size_t kMaxInflatedSize = 64 * 1024 * 1024;

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data);
// Nothing when the input is not a complete zlib stream or inflates past the limit.
std::optional<std::vector<uint8_t>> ZlibDecompress(std::span<const uint8_t> data,
                                                   size_t maxSize = kMaxInflatedSize);

} // namespace drivlet

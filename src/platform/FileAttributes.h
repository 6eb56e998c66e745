#pragma once
// File attributes in the program's bit form (the values stored records and filters speak of).
#include <cstdint>
#include <filesystem>
#include <optional>

namespace drivlet {

namespace fa {
constexpr uint32_t ReadOnly = 0x1;
constexpr uint32_t Hidden = 0x2;
constexpr uint32_t System = 0x4;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t Temporary = 0x100;
constexpr uint32_t NotContentIndexed = 0x2000;
} // namespace fa

class IFileAttributes {
public:
    virtual ~IFileAttributes() = default;
    // Nothing when the file cannot be read.
    virtual std::optional<uint32_t> GetAttributes(const std::filesystem::path& path) const = 0;
    // Applies what the volume can hold (read-only everywhere, hidden/system/archive on FAT);
    // false when the file cannot be changed.
    virtual bool SetAttributes(const std::filesystem::path& path, uint32_t attributes) const = 0;
};

} // namespace drivlet

#pragma once
// Attributes from what the standard library can see: read-only when the owner may not write,
// hidden when the name begins with a dot. The platform layer adds the FAT attributes.
#include "platform/FileAttributes.h"

namespace drivlet {

class PortableFileAttributes final : public IFileAttributes {
public:
    std::optional<uint32_t> GetAttributes(const std::filesystem::path& path) const override;
    bool SetAttributes(const std::filesystem::path& path, uint32_t attributes) const override;
    static const PortableFileAttributes& Instance();
};

} // namespace drivlet

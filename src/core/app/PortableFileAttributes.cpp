#include "core/app/PortableFileAttributes.h"

namespace drivlet {

namespace fs = std::filesystem;

std::optional<uint32_t> PortableFileAttributes::GetAttributes(const fs::path& path) const {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (ec || !fs::exists(st)) return std::nullopt;
    uint32_t attrs = 0;
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) attrs |= fa::ReadOnly;
    const std::string name = path.filename().string();
    if (!name.empty() && name[0] == '.') attrs |= fa::Hidden;
    if (fs::is_directory(st)) attrs |= fa::Directory;
    return attrs;
}

bool PortableFileAttributes::SetAttributes(const fs::path& path, uint32_t attributes) const {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) return false;
    const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if (attributes & fa::ReadOnly)
        fs::permissions(path, write, fs::perm_options::remove, ec);
    else if ((st.permissions() & fs::perms::owner_write) == fs::perms::none)
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
    return !ec;
}

const PortableFileAttributes& PortableFileAttributes::Instance() {
    static const PortableFileAttributes instance;
    return instance;
}

} // namespace drivlet

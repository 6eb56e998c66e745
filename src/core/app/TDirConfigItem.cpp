#include "core/app/TDirConfigItem.h"

namespace drivlet {

bool IsAbsoluteFolderPath(std::string_view path) {
    if (path.starts_with('/')) return true;
    if (path.starts_with("\\\\")) return true;
    return path.size() >= 3 && path.substr(1, 2) == ":\\";
}

TDirConfigItem::TDirConfigItem(std::string caption, std::string dir) : caption_(std::move(caption)) {
    SetDir(std::move(dir));
}

void TDirConfigItem::SetDir(std::string dir) {
    dir_ = std::move(dir);
    inWorkDir_ = !IsAbsoluteFolderPath(dir_);
}

} // namespace drivlet

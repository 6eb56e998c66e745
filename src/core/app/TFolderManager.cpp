#include "core/app/TFolderManager.h"

#include <system_error>

namespace drivlet {

namespace fs = std::filesystem;

namespace {

// "a/b/" and "a/b" name the same folder; the trailing separator would make the parent "a/b".
std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

} // namespace

TFolderManager::TFolderManager(const IFileAttributes& attributes, fs::path baseFolder)
    : attributes_(attributes), base_(std::move(baseFolder)) {}

std::string TFolderManager::ResolvePath(const std::string& path) const {
    if (IsAbsoluteFolderPath(path)) return path;
    std::string base = base_.string();
    if (!base.empty() && base.back() != '/') base += '/';
    return base + path;
}

void TFolderManager::ForceFolder(const std::string& path) {
    const std::string folder = WithoutTrailingSeparator(ResolvePath(path));
    // Drive-letter and network paths name no place on this system.
    if (!folder.starts_with('/')) {
        OutPutList.push_back("Error Createing Directory : " + path);
        return;
    }
    if (IsFolder(folder)) {
        OutPutList.push_back("Directory Exists : " + path);
        return;
    }
    const std::string trimmed = WithoutTrailingSeparator(path);
    const size_t cut = trimmed.rfind('/');
    if (cut != std::string::npos && cut > 0) {
        const std::string parent = trimmed.substr(0, cut);
        if (!IsFolder(WithoutTrailingSeparator(ResolvePath(parent)))) ForceFolder(parent);
    }
    std::error_code ec;
    fs::create_directory(folder, ec);
    // A folder made by another process in between is there all the same.
    const bool made = !ec && IsFolder(folder);
    OutPutList.push_back((made ? "Directory Created : " : "Error Createing Directory : ") + path);
}

void TFolderManager::CreateFolders() {
    for (const std::string& dir : DirList)
        ForceFolder(ResolvePath(dir));
    for (const TDirConfigItem& item : DirListEx) {
        const std::string path = item.InWorkDir() ? ResolvePath(item.Dir()) : item.Dir();
        ForceFolder(path);
        ApplyAttributes(path, item);
    }
}

void TFolderManager::ApplyAttributes(const std::string& path, const TDirConfigItem& item) {
    const uint32_t mask = item.FileAttributes().Mask();
    const auto current = attributes_.GetAttributes(WithoutTrailingSeparator(path));
    // A folder that could not be made was reported already; one carrying any bit is left alone.
    if (!current || (*current & mask) != 0) return;
    const bool set = attributes_.SetAttributes(WithoutTrailingSeparator(path), mask);
    OutPutList.push_back((set ? "Setting Attributes : " : "Error Setting Attributes : ") + item.Dir());
}

} // namespace drivlet

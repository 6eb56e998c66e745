#include "core/drives/DrivePaths.h"

#include "core/text/CaseFold.h"

namespace drivlet {
namespace {

std::string_view ParentFolder(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return path.substr(0, slash + 1);
}

std::string_view LastName(std::string_view folder) {
    while (!folder.empty() && folder.back() == '/')
        folder.remove_suffix(1);
    const size_t slash = folder.rfind('/');
    return slash == std::string_view::npos ? folder : folder.substr(slash + 1);
}

} // namespace

bool IsInConfigFolder(std::string_view file) {
    const std::string_view folder = ParentFolder(file);
    return !folder.empty() && !ParentFolder(folder).empty() && SameText(LastName(folder), "Config");
}

std::string DrivePathOfJobFile(std::string_view file) {
    const std::string_view folder = ParentFolder(file);
    if (IsInConfigFolder(file)) {
        const std::string_view drive = ParentFolder(folder);
        if (!drive.empty()) return std::string(drive);
    }
    return std::string(folder);
}

std::string RebaseOntoDrive(std::string_view path, std::string_view drivePath) {
    if (path.empty()) return {};
    std::string drive(drivePath);
    if (drive.empty() || drive.back() != '/') drive += '/';
    if (path.substr(0, drive.size()) == drive) return std::string(path);
    // The drive's own root, however it is written.
    if (path == std::string_view(drive).substr(0, drive.size() - 1)) return drive;
    while (!path.empty() && path.front() == '/')
        path.remove_prefix(1);
    return drive + std::string(path);
}

std::string DriveRelative(std::string_view path, std::string_view drivePath) {
    std::string drive(drivePath);
    if (drive.empty() || drive.back() != '/') drive += '/';
    if (drive == "/" || path.substr(0, drive.size()) != drive) return std::string(path);
    return "/" + std::string(path.substr(drive.size()));
}

} // namespace drivlet

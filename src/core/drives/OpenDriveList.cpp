#include "core/drives/OpenDriveList.h"

#include "core/app/Constants.h"
#include "core/drives/DriveRegistry.h"
#include "core/text/CaseFold.h"
#include "core/text/SizeTexts.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

namespace drivlet {
namespace {

std::string NameOf(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos || trimmed == "/" ? trimmed : trimmed.substr(slash + 1);
}

} // namespace

std::vector<OpenDriveItem> OpenDriveItems(const TDriveInterfaceType& types, std::string_view filter) {
    const std::string upper = UpperCase(std::string(filter));
    std::vector<OpenDriveItem> items;
    for (const auto& [path, type] : types.Entries())
        if (upper.empty() || InterfaceTypeMatchesFilter(type, upper)) items.push_back({path, NameOf(path)});
    std::stable_sort(items.begin(), items.end(), [](const OpenDriveItem& a, const OpenDriveItem& b) {
        return LowerCase(a.name) < LowerCase(b.name);
    });
    return items;
}

DriveSpaceLabels DriveSpaceLabelsOf(const OpenDriveItem& item, const DiskSpace& space) {
    DriveSpaceLabels labels;
    labels.name = item.name;
    if (space.freeBytes < 0 || space.totalBytes < 0) {
        labels.usedFree = "N/A";
        labels.total = "N/A";
        return labels;
    }
    labels.free = space.freeBytes;
    labels.used = std::max<int64_t>(0, space.totalBytes - space.freeBytes);
    labels.usedFree = SizeText(labels.used) + " / " + SizeText(labels.free);
    labels.total = SizeText(space.totalBytes);
    return labels;
}

std::optional<OpenDriveRefusal> ChooseOpenDrive(const std::optional<OpenDriveItem>& selected,
                                                const std::string& computerId, const IFileSystem& files,
                                                IMessageDialogs& dialogs) {
    if (!selected) return OpenDriveRefusal{std::string(kNoDriveSelected), std::string(kOpenDriveErrorTitle)};
    std::error_code ec;
    if (!std::filesystem::is_directory(selected->path, ec))
        return OpenDriveRefusal{std::string(kDriveCannotBeOpened), std::string(kOpenDriveErrorTitle)};
    if (IsDriveKnown(selected->path, computerId, dialogs)) return std::nullopt;
    try {
        RegisterDrive(selected->path, computerId, files, dialogs);
    } catch (const std::exception& e) {
        return OpenDriveRefusal{e.what(), std::string(kProductTitle)};
    }
    return std::nullopt;
}

} // namespace drivlet

#include "core/drives/DriveInterfaceType.h"

#include <algorithm>

namespace drivlet {
namespace {

bool DriveHolds(const std::string& drivePath, const std::string& path) {
    if (path.compare(0, drivePath.size(), drivePath) == 0) return true;
    // The drive's own mount point without its trailing "/".
    return path.size() + 1 == drivePath.size() && drivePath.compare(0, path.size(), path) == 0;
}

} // namespace

TDriveInterfaceType::TDriveInterfaceType(const IVolumeSystem& system) : system_(system) {
    Refresh();
}

void TDriveInterfaceType::Refresh() {
    entries_.clear();
    for (const MountedDrive& drive : system_.MountedDrives()) {
        auto known = std::find_if(entries_.begin(), entries_.end(),
                                  [&](const auto& e) { return e.first == drive.drivePath; });
        // The first mount found for a drive path wins.
        if (known == entries_.end())
            entries_.emplace_back(drive.drivePath, system_.InterfaceTypeOfDrive(drive.drivePath));
    }
}

std::string TDriveInterfaceType::InterfaceTypeOf(const std::string& path) const {
    if (path.empty() || path[0] != '/') return {};
    const std::pair<std::string, std::string>* best = nullptr;
    for (const auto& entry : entries_)
        if (DriveHolds(entry.first, path) && (!best || entry.first.size() > best->first.size()))
            best = &entry;
    return best ? best->second : std::string();
}

bool InterfaceTypeMatchesFilter(const std::string& type, const std::string& filter) {
    return !type.empty() && filter.find(type) != std::string::npos;
}

} // namespace drivlet

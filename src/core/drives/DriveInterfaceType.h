#pragma once
// The bus of the disk behind each mounted drive, read once and kept until the next Refresh: the
// drive trees hide or show USB drives by it.
#include "platform/VolumeSystem.h"

#include <string>
#include <utility>
#include <vector>

namespace drivlet {

class TDriveInterfaceType {
public:
    explicit TDriveInterfaceType(const IVolumeSystem& system);

    // Rebuilds the table from the drives mounted now.
    void Refresh();
    // The interface type of the drive that holds the absolute path; empty when no drive of the
    // table holds it or nothing is known of its bus.
    std::string InterfaceTypeOf(const std::string& path) const;
    bool IsUsb(const std::string& path) const { return InterfaceTypeOf(path) == kInterfaceUsb; }

    // (drive path, interface type) in mount-table order.
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return entries_; }

private:
    const IVolumeSystem& system_;
    std::vector<std::pair<std::string, std::string>> entries_;
};

// The Open Drive dialog's rule: shown when the type occurs in the filter text; an empty type
// never matches.
bool InterfaceTypeMatchesFilter(const std::string& type, const std::string& filter);

} // namespace drivlet

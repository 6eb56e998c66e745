#pragma once
// Volumes on Linux: the mount table for what is mounted where, /dev/disk for file-system UUIDs and
// labels, sysfs for the bus and removability of the disk behind a mount. Every place it reads is a
// parameter so that tests can hand it fake trees.
#include "platform/VolumeSystem.h"

#include <filesystem>
#include <string_view>

namespace drivlet {

struct VolumePaths {
    std::filesystem::path sysRoot = "/sys";
    std::filesystem::path byUuidDir = "/dev/disk/by-uuid";
    std::filesystem::path byLabelDir = "/dev/disk/by-label";
    std::filesystem::path mountTable = "/proc/self/mountinfo";
    std::filesystem::path machineIdFile = "/etc/machine-id";
    std::string systemFolder = "/";
};

class LinuxVolumeSystem final : public IVolumeSystem {
public:
    explicit LinuxVolumeSystem(VolumePaths paths = {});

    std::optional<VolumeFacts> ReadVolume(const std::string& path) const override;
    uint32_t DriveType(const std::string& path) const override;
    std::string SystemFolder() const override { return paths_.systemFolder; }
    std::string DrivePathOf(const std::string& path) const override;
    std::optional<uint32_t> MachineSerial() const override;
    std::vector<MountedDrive> MountedDrives() const override;
    std::string InterfaceTypeOfDrive(const std::string& drivePath) const override;

private:
    VolumePaths paths_;
};

// The serial a file-system UUID stands for: its first 32 bits ("1A2B-3C4D" is 0x1A2B3C4D);
// nothing when it has fewer than eight hexadecimal digits before anything else.
std::optional<uint32_t> SerialFromUuid(std::string_view uuid);
// A 64-bit file-system id folded to 32 bits.
constexpr uint32_t FoldFsid(uint32_t low, uint32_t high) {
    return low ^ high;
}

} // namespace drivlet

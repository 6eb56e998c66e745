#include "core/drives/VolumeInfo.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace drivlet {

std::string FormatSerialNumber(uint32_t serial) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%04X - %04X", static_cast<unsigned>(serial >> 16),
                  static_cast<unsigned>(serial & 0xFFFF));
    return text.data();
}

TVolumeInfo::TVolumeInfo(const IVolumeSystem& system) : TVolumeInfo(system, system.SystemFolder()) {}

TVolumeInfo::TVolumeInfo(const IVolumeSystem& system, const std::string& drive) : system_(system) {
    SetDrive(drive);
}

void TVolumeInfo::SetDrive(const std::string& drive) {
    drive_ = drive;
    auto facts = system_.ReadVolume(drive);
    readable_ = facts.has_value();
    facts_ = facts.value_or(VolumeFacts{});
    serialText_ = readable_ ? FormatSerialNumber(facts_.serial) : std::string();
    driveType_ = system_.DriveType(drive);
}

std::string ComputerIdentity(const IVolumeSystem& system) {
    std::string folder = system.SystemFolder();
    if (folder.empty()) folder = "/";
    std::string drive = system.DrivePathOf(folder);
    TVolumeInfo volume(system, drive.empty() ? folder : drive);
    // A RAM or overlay root is made afresh at each boot or container start: its serial says nothing.
    static constexpr std::array<const char*, 4> kFleeting = {"tmpfs", "ramfs", "rootfs", "overlay"};
    bool fleeting = std::find(kFleeting.begin(), kFleeting.end(), volume.FileSystem()) != kFleeting.end();
    if (volume.Readable() && volume.SerialNumberWord() != 0 && !fleeting) return volume.SerialNumber();
    if (auto machine = system.MachineSerial()) return FormatSerialNumber(*machine);
    return volume.SerialNumber();
}

} // namespace drivlet

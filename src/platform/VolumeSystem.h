#pragma once
// The volumes of this computer as the operating system reports them: what a volume is called,
// its serial, its file system, what kind of drive it is and on which bus its disk hangs.
// Drive paths are mount points with a trailing "/" ("/", "/media/alice/STICK/").
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

// Drive type codes (the values the program's callers compare with).
namespace drive_type {
constexpr uint32_t Unknown = 0;
constexpr uint32_t NoRootDir = 1;
constexpr uint32_t Removable = 2;
constexpr uint32_t Fixed = 3;
constexpr uint32_t Remote = 4;
constexpr uint32_t CdRom = 5;
constexpr uint32_t RamDisk = 6;
} // namespace drive_type

// File system flag bits.
namespace fs_flag {
constexpr uint32_t CaseSensitiveSearch = 0x1;
constexpr uint32_t CasePreservedNames = 0x2;
constexpr uint32_t UnicodeOnDisk = 0x4;
constexpr uint32_t PersistentAcls = 0x8;
constexpr uint32_t FileCompression = 0x10;
constexpr uint32_t VolumeIsCompressed = 0x8000;
constexpr uint32_t ReadOnlyVolume = 0x80000;
} // namespace fs_flag

// The only interface type the program gives a meaning to.
inline constexpr const char* kInterfaceUsb = "USB";

struct VolumeFacts {
    std::string label;
    uint32_t serial = 0;
    std::string fileSystem;
    uint32_t flags = 0;
    uint32_t maximumComponentLength = 0;
};

struct MountedDrive {
    std::string drivePath;  // mount point with a trailing "/"
    std::string fileSystem; // as the mount table names it: "ext4", "vfat", "tmpfs"
    std::string source;     // the mounted device or source text
};

class IVolumeSystem {
public:
    virtual ~IVolumeSystem() = default;
    // The volume that holds the path; nothing when the path cannot be read.
    virtual std::optional<VolumeFacts> ReadVolume(const std::string& path) const = 0;
    // A drive_type code; NoRootDir when the path does not exist.
    virtual uint32_t DriveType(const std::string& path) const = 0;
    // The folder whose volume identifies this computer.
    virtual std::string SystemFolder() const = 0;
    // The drive path of the volume holding the path; empty when none does.
    virtual std::string DrivePathOf(const std::string& path) const = 0;
    // A 32-bit number identifying this installation, for a system volume without a usable serial.
    virtual std::optional<uint32_t> MachineSerial() const = 0;
    // The volumes that count as drives, each once, in mount-table order.
    virtual std::vector<MountedDrive> MountedDrives() const = 0;
    // The bus of the disk behind a drive path ("USB", "IDE", "SCSI"), empty when no disk is behind it.
    virtual std::string InterfaceTypeOfDrive(const std::string& drivePath) const = 0;
};

// The operating system's volumes, read from their usual places.
std::unique_ptr<IVolumeSystem> MakeVolumeSystem();

} // namespace drivlet

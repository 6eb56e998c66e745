#pragma once
// The kernel's mount table in the /proc/<pid>/mountinfo form, and which of its mounts are drives.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

struct MountEntry {
    int mountId = 0;
    int parentId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string root;
    std::string mountPoint;
    std::string options;
    std::string fsType;
    std::string source;
    std::string superOptions;
};

// Lines that do not have the mountinfo shape are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// Nothing when the file cannot be read.
std::optional<std::vector<MountEntry>> ReadMountTable(const std::filesystem::path& file);

// A mount a user could keep files on: not a kernel pseudo file system and not below /proc, /sys
// or /dev.
bool IsDriveMount(const MountEntry& entry);
// The mount point with a trailing "/".
std::string DrivePathOfMount(const std::string& mountPoint);
// The drive mounts, each mount point once (the mount that is visible there), in the order in which
// the mount points first appear.
std::vector<MountEntry> DriveMounts(const std::vector<MountEntry>& table);
// The visible mount whose mount point holds the absolute path (compared lexically); null when none.
const MountEntry* MountHolding(const std::vector<MountEntry>& table, const std::string& path);

} // namespace drivlet

#pragma once
// A made-up machine in a temporary folder: a sysfs tree, /dev/disk/by-uuid and by-label links,
// a mount table and a machine id, for the volume code to read instead of the real ones.
#include "platform/linux/LinuxVolumeSystem.h"
#include "support/TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace drivlet::test {

// Sysfs device paths as a kernel lays them out.
inline const std::string kUsbDisk =
    "devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb";
inline const std::string kSataDisk =
    "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda";
inline const std::string kNvmeDisk = "devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1";
inline const std::string kMappedDisk = "devices/virtual/block/dm-0";

class FakeMachine {
public:
    FakeMachine();

    // A block device at a sysfs path; a partition is a folder below its disk's folder.
    void AddDisk(const std::string& majMin, const std::string& devicePath, bool removable = false);
    void AddPartition(const std::string& majMin, const std::string& diskPath, const std::string& name);
    // A device mapped onto another (an encrypted volume on a stick).
    void AddSlave(const std::string& holderPath, const std::string& slavePath);
    void AddUuid(const std::string& uuid, const std::string& kernelName);
    void AddLabel(const std::string& encodedLabel, const std::string& kernelName);
    void SetMachineId(const std::string& content);

    // A folder that stands for a mount point.
    std::string MountPoint(const std::string& name);
    // One mountinfo line (the mount point escaped as the kernel writes it).
    void AddMount(int id, const std::string& majMin, const std::string& mountPoint, const std::string& fsType,
                  const std::string& source = "none");
    void WriteTable();
    void ClearTable() { lines_.clear(); }

    VolumePaths Paths() const;
    const std::filesystem::path& TableFile() const { return table_; }
    const std::filesystem::path& Root() const { return dir_.path(); }

private:
    TempDir dir_;
    std::filesystem::path sys_, byUuid_, byLabel_, table_, machineId_;
    std::vector<std::string> lines_;
};

std::string EscapeMountPath(const std::string& path);

} // namespace drivlet::test

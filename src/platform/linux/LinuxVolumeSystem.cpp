#include "platform/linux/LinuxVolumeSystem.h"

#include "platform/linux/MountTable.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace drivlet {
namespace fs = std::filesystem;
namespace {

bool OneOf(std::string_view value, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), value) != names.end();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// udev writes unsafe characters of labels as \xHH.
std::string DecodeUdevName(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && HexDigit(s[i + 2]) >= 0 &&
            HexDigit(s[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3]));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

std::string Resolved(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(path, ec);
    return ec ? path : p.string();
}

uint32_t FlagsOf(const std::string& fsType, bool readOnly) {
    uint32_t flags = 0;
    if (fsType != "msdos") flags |= fs_flag::CasePreservedNames | fs_flag::UnicodeOnDisk;
    if (!OneOf(fsType, {"vfat", "msdos", "exfat"})) flags |= fs_flag::CaseSensitiveSearch;
    if (OneOf(fsType, {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "jfs", "reiserfs"}))
        flags |= fs_flag::PersistentAcls;
    if (fsType == "btrfs") flags |= fs_flag::FileCompression;
    if (OneOf(fsType, {"squashfs", "erofs", "cramfs"})) flags |= fs_flag::VolumeIsCompressed;
    if (readOnly) flags |= fs_flag::ReadOnlyVolume;
    return flags;
}

// What the mount table and sysfs say about the volume that holds one path.
class VolumeProbe {
public:
    VolumeProbe(const VolumePaths& paths, const std::string& path) : paths_(paths) {
        table_ = ReadMountTable(paths.mountTable).value_or(std::vector<MountEntry>{});
        mount_ = MountHolding(table_, Resolved(path));
        deviceDir_ = FindDeviceDir(path);
    }
    VolumeProbe(const VolumeProbe&) = delete;
    VolumeProbe& operator=(const VolumeProbe&) = delete;

    const MountEntry* Mount() const { return mount_; }
    const std::optional<fs::path>& DeviceDir() const { return deviceDir_; }

    // The kernel's name of the block device ("sdb1", "dm-0"), empty when there is none.
    std::string KernelName() const {
        if (deviceDir_) return deviceDir_->filename().string();
        if (mount_ && mount_->source.rfind("/dev/", 0) == 0)
            return fs::path(Resolved(mount_->source)).filename();
        return {};
    }

    // The name in a /dev/disk/by-* folder whose link leads to this volume's device.
    std::optional<std::string> LinkName(const fs::path& folder) const {
        std::string kernel = KernelName();
        if (kernel.empty()) return std::nullopt;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code linkError;
            fs::path target = fs::read_symlink(it->path(), linkError);
            if (!linkError && target.filename() == kernel) return it->path().filename().string();
        }
        return std::nullopt;
    }

    bool IsUsbDevice(const fs::path& dir, int depth = 0) const {
        if (SysfsPath(dir).find("/usb") != std::string::npos) return true;
        // Mapped devices (encrypted or LVM volumes) hang on the bus of the disks below them.
        if (depth >= 8) return false;
        std::error_code ec;
        for (fs::directory_iterator it(dir / "slaves", ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code resolveError;
            fs::path slave = fs::canonical(it->path(), resolveError);
            if (!resolveError && IsUsbDevice(slave, depth + 1)) return true;
        }
        return false;
    }

    std::string Bus() const {
        if (!deviceDir_) return {};
        if (IsUsbDevice(*deviceDir_)) return kInterfaceUsb;
        std::string where = SysfsPath(*deviceDir_);
        if (where.find("/virtual/") != std::string::npos) return {};
        if (where.find("/ata") != std::string::npos) return "IDE";
        return "SCSI";
    }

    bool IsRemovableDisk() const {
        if (!deviceDir_) return false;
        std::error_code ec;
        fs::path disk = fs::exists(*deviceDir_ / "partition", ec) ? deviceDir_->parent_path() : *deviceDir_;
        return FirstLine(disk / "removable") == "1";
    }

private:
    std::optional<fs::path> DeviceDirOf(uint32_t major, uint32_t minor) const {
        std::error_code ec;
        fs::path dir = fs::canonical(
            paths_.sysRoot / "dev" / "block" / (std::to_string(major) + ":" + std::to_string(minor)), ec);
        if (ec) return std::nullopt;
        return dir;
    }

    std::optional<fs::path> FindDeviceDir(const std::string& path) const {
        if (mount_) {
            if (auto dir = DeviceDirOf(mount_->major, mount_->minor)) return dir;
            // Some file systems (btrfs) show an anonymous device; the mounted device names the disk.
            struct stat source {};
            if (mount_->source.rfind("/", 0) == 0 && ::stat(mount_->source.c_str(), &source) == 0 &&
                S_ISBLK(source.st_mode))
                return DeviceDirOf(major(source.st_rdev), minor(source.st_rdev));
            return std::nullopt;
        }
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return std::nullopt;
        return DeviceDirOf(major(st.st_dev), minor(st.st_dev));
    }

    std::string SysfsPath(const fs::path& dir) const {
        std::error_code ec;
        fs::path root = fs::canonical(paths_.sysRoot, ec);
        if (ec) root = paths_.sysRoot;
        return "/" + dir.lexically_relative(root).generic_string();
    }

    const VolumePaths& paths_;
    std::vector<MountEntry> table_;
    const MountEntry* mount_ = nullptr;
    std::optional<fs::path> deviceDir_;
};

} // namespace

std::optional<uint32_t> SerialFromUuid(std::string_view uuid) {
    uint32_t serial = 0;
    int digits = 0;
    for (char c : uuid) {
        if (digits == 8) break;
        if (c == '-') continue;
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        serial = (serial << 4) | static_cast<uint32_t>(d);
        ++digits;
    }
    if (digits < 8) return std::nullopt;
    return serial;
}

LinuxVolumeSystem::LinuxVolumeSystem(VolumePaths paths) : paths_(std::move(paths)) {}

std::optional<VolumeFacts> LinuxVolumeSystem::ReadVolume(const std::string& path) const {
    struct statvfs vfs {};
    struct statfs sfs {};
    if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0 || ::statfs(path.c_str(), &sfs) != 0)
        return std::nullopt;
    VolumeProbe probe(paths_, path);
    VolumeFacts facts;
    if (probe.Mount()) facts.fileSystem = probe.Mount()->fsType;
    std::optional<uint32_t> serial;
    if (auto uuid = probe.LinkName(paths_.byUuidDir)) serial = SerialFromUuid(*uuid);
    if (!serial) {
        // ext4 and most others derive f_fsid from their UUID, so it is stable across mounts.
        serial =
            FoldFsid(static_cast<uint32_t>(sfs.f_fsid.__val[0]), static_cast<uint32_t>(sfs.f_fsid.__val[1]));
    }
    facts.serial = *serial;
    if (auto label = probe.LinkName(paths_.byLabelDir)) facts.label = DecodeUdevName(*label);
    facts.flags = FlagsOf(facts.fileSystem, (vfs.f_flag & ST_RDONLY) != 0);
    facts.maximumComponentLength = static_cast<uint32_t>(vfs.f_namemax);
    return facts;
}

uint32_t LinuxVolumeSystem::DriveType(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return drive_type::NoRootDir;
    VolumeProbe probe(paths_, path);
    std::string fsType = probe.Mount() ? probe.Mount()->fsType : std::string();
    if (OneOf(fsType, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "afs", "ceph", "fuse.sshfs", "davfs",
                       "fuse.glusterfs", "fuse.rclone"}))
        return drive_type::Remote;
    if (OneOf(fsType, {"tmpfs", "ramfs"})) return drive_type::RamDisk;
    if (OneOf(fsType, {"iso9660", "udf"}) || probe.KernelName().rfind("sr", 0) == 0) return drive_type::CdRom;
    return probe.IsRemovableDisk() ? drive_type::Removable : drive_type::Fixed;
}

std::string LinuxVolumeSystem::DrivePathOf(const std::string& path) const {
    auto table = ReadMountTable(paths_.mountTable);
    if (!table) return {};
    const MountEntry* mount = MountHolding(*table, Resolved(path));
    return mount ? DrivePathOfMount(mount->mountPoint) : std::string();
}

std::optional<uint32_t> LinuxVolumeSystem::MachineSerial() const {
    std::string id = FirstLine(paths_.machineIdFile);
    // A machine id is 32 hexadecimal digits; "uninitialized" and blanks are not one.
    if (id.size() < 8 || !std::all_of(id.begin(), id.end(), [](char c) { return HexDigit(c) >= 0; }))
        return std::nullopt;
    return SerialFromUuid(id);
}

std::vector<MountedDrive> LinuxVolumeSystem::MountedDrives() const {
    std::vector<MountedDrive> drives;
    auto table = ReadMountTable(paths_.mountTable);
    if (!table) return drives;
    for (const MountEntry& e : DriveMounts(*table))
        drives.push_back({DrivePathOfMount(e.mountPoint), e.fsType, e.source});
    return drives;
}

std::string LinuxVolumeSystem::InterfaceTypeOfDrive(const std::string& drivePath) const {
    return VolumeProbe(paths_, drivePath).Bus();
}

std::unique_ptr<IVolumeSystem> MakeVolumeSystem() {
    return std::make_unique<LinuxVolumeSystem>();
}

} // namespace drivlet

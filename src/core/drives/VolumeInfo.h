#pragma once
// The facts of one volume, and the computer identity made from the system volume's serial.
#include "platform/VolumeSystem.h"

#include <cstdint>
#include <string>

namespace drivlet {

// "4A1F - 9C03": high and low 16 bits as four upper-case hexadecimal digits each.
std::string FormatSerialNumber(uint32_t serial);

class TVolumeInfo {
public:
    // Describes the volume holding the system folder until another drive is set.
    explicit TVolumeInfo(const IVolumeSystem& system);
    TVolumeInfo(const IVolumeSystem& system, const std::string& drive);

    const std::string& Drive() const { return drive_; }
    // Re-reads everything; an unreadable volume leaves empty and zero results, never an error.
    void SetDrive(const std::string& drive);

    const std::string& VoulmeName() const { return facts_.label; }
    const std::string& SerialNumber() const { return serialText_; }
    uint32_t SerialNumberWord() const { return facts_.serial; }
    const std::string& FileSystem() const { return facts_.fileSystem; }
    uint32_t FileSystemFlags() const { return facts_.flags; }
    uint32_t MaximumComponentLength() const { return facts_.maximumComponentLength; }
    uint32_t DriveType() const { return driveType_; }
    bool Readable() const { return readable_; }

    bool CaseSensitiveFileNames() const { return Flag(fs_flag::CaseSensitiveSearch); }
    bool PreservedNames() const { return Flag(fs_flag::CasePreservedNames); }
    bool Unicode() const { return Flag(fs_flag::UnicodeOnDisk); }
    bool ACL() const { return Flag(fs_flag::PersistentAcls); }
    bool FileCompressed() const { return Flag(fs_flag::FileCompression); }
    bool VolumeCompressed() const { return Flag(fs_flag::VolumeIsCompressed); }

private:
    bool Flag(uint32_t bit) const { return (facts_.flags & bit) != 0; }

    const IVolumeSystem& system_;
    std::string drive_;
    VolumeFacts facts_;
    std::string serialText_;
    uint32_t driveType_ = drive_type::Unknown;
    bool readable_ = false;
};

// The identity of this computer: the serial text of the volume holding the system folder. Where
// that volume has no lasting serial (zero, or a RAM or overlay root of a container), the machine's
// own id stands in. Empty when neither can be read.
std::string ComputerIdentity(const IVolumeSystem& system);

} // namespace drivlet

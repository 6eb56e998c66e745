#pragma once
// The drives a sync wizard's two lists involve: each drive's size and free space, the bytes the
// sync will write onto it (each side's entries are copied onto the other side's drive) and what
// is left after it, with how tight that is.
#include "core/drives/TFileCollection.h"
#include "platform/FileSystem.h"
#include "platform/VolumeSystem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

struct TDriveData {
    std::string Drive;       // the drive path, ending with "/"
    int64_t TotalSpace = -1; // -1: unknown
    int64_t FreeSapce = -1;  // -1: unknown
    int64_t SapceRequited = 0;
};

enum class SpaceLevel { Plenty, Low, NotEnough, NotAvailable };

// The legend: "Lot of free space on disk", "Low on disk space", "Not enugh disk space",
// "Not not avalable".
std::string_view SpaceLevelText(SpaceLevel level);
// Unknown free space: not available; less than nothing after the sync: not enough; more than a
// tenth of the drive left: plenty; otherwise low.
SpaceLevel SpaceLevelOf(const TDriveData& drive);

// One line of the drive list, its texts in column order.
struct DriveSpaceRow {
    std::string drive;
    std::string size;
    std::string free;
    std::string required;
    std::string freeAfter;
    SpaceLevel level = SpaceLevel::NotAvailable;
};

class TDriveSpace {
public:
    // Both services outlive the object.
    TDriveSpace(const IVolumeSystem& volumes, const IFileSystem& files);

    // The wizard's two lists; entry i of one side pairs with entry i of the other. Not owned.
    void SetSideOne(const sizes::TFileCollection* side) { sideOne_ = side; }
    void SetSideTwo(const sizes::TFileCollection* side) { sideTwo_ = side; }

    // Rebuilds the drives from the two lists as they stand.
    void Refresh();

    // The drive holding the path, added on first use with its space as the system reports it.
    TDriveData& DriveForPath(const std::string& path);

    const std::vector<TDriveData>& Drives() const { return drives_; }
    // One row per drive, ordered by the drive text.
    std::vector<DriveSpaceRow> Rows() const;

private:
    void Require(const sizes::TFileCollection& target, const sizes::TFileCollection& source, size_t index);

    const IVolumeSystem& volumes_;
    const IFileSystem& files_;
    const sizes::TFileCollection* sideOne_ = nullptr;
    const sizes::TFileCollection* sideTwo_ = nullptr;
    std::vector<TDriveData> drives_;
};

} // namespace drivlet

#include "core/drives/TDriveSpace.h"

#include "core/text/SizeTexts.h"

#include <algorithm>

namespace drivlet {

std::string_view SpaceLevelText(SpaceLevel level) {
    switch (level) {
    case SpaceLevel::Plenty:
        return "Lot of free space on disk";
    case SpaceLevel::Low:
        return "Low on disk space";
    case SpaceLevel::NotEnough:
        return "Not enugh disk space";
    case SpaceLevel::NotAvailable:
        return "Not not avalable";
    }
    return {};
}

SpaceLevel SpaceLevelOf(const TDriveData& drive) {
    if (drive.FreeSapce == -1) return SpaceLevel::NotAvailable;
    const int64_t after = drive.FreeSapce - drive.SapceRequited;
    if (after < 0) return SpaceLevel::NotEnough;
    if (after > drive.TotalSpace / 10) return SpaceLevel::Plenty;
    return SpaceLevel::Low;
}

TDriveSpace::TDriveSpace(const IVolumeSystem& volumes, const IFileSystem& files)
    : volumes_(volumes), files_(files) {}

TDriveData& TDriveSpace::DriveForPath(const std::string& path) {
    std::string root = volumes_.DrivePathOf(path);
    const bool known = !root.empty();
    // No volume found for it: the path stands for itself, with its space unknown.
    if (!known) root = path;
    for (TDriveData& drive : drives_)
        if (drive.Drive == root) return drive;
    TDriveData& added = drives_.emplace_back();
    added.Drive = root;
    if (known) {
        const DiskSpace space = files_.GetDiskSpace(root);
        added.FreeSapce = space.freeBytes;
        added.TotalSpace = space.totalBytes;
    }
    return added;
}

void TDriveSpace::Require(const sizes::TFileCollection& target, const sizes::TFileCollection& source,
                          size_t index) {
    // One side shorter than the other: the unpaired entry needs no room anywhere.
    if (index >= target.Count() || index >= source.Count()) return;
    const std::string onDrive = target.FullPath(index);
    // Not measured yet, or nothing there: nothing to write.
    const int64_t size = std::max<int64_t>(source.Entry(index).Size, 0);
    DriveForPath(onDrive).SapceRequited += size;
}

void TDriveSpace::Refresh() {
    drives_.clear();
    if (!sideOne_ || !sideTwo_) return;
    for (size_t i = 0; i < sideTwo_->Count(); ++i)
        Require(*sideOne_, *sideTwo_, i);
    for (size_t i = 0; i < sideOne_->Count(); ++i)
        Require(*sideTwo_, *sideOne_, i);
}

std::vector<DriveSpaceRow> TDriveSpace::Rows() const {
    std::vector<DriveSpaceRow> rows;
    for (const TDriveData& d : drives_) {
        DriveSpaceRow row;
        row.drive = d.Drive;
        row.size = DriveSpaceText(d.TotalSpace);
        row.free = DriveSpaceText(d.FreeSapce);
        row.required = DriveSpaceText(d.SapceRequited);
        // Signed, so that a shortfall of exactly one byte does not read as unknown.
        row.freeAfter = d.FreeSapce == -1 ? "N/A" : SignedSizeText(d.FreeSapce - d.SapceRequited);
        row.level = SpaceLevelOf(d);
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const DriveSpaceRow& a, const DriveSpaceRow& b) { return a.drive < b.drive; });
    return rows;
}

} // namespace drivlet

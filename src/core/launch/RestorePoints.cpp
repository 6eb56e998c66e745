#include "core/launch/RestorePoints.h"

#include "core/db/BackupDatabase.h"
#include "core/db/EDatabaseError.h"
#include "core/drives/DrivePaths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace drivlet {

std::string ArchiveFolderOfKey(const std::string& key, const std::string& jobFile) {
    std::string folder = key;
    if (folder.empty() || folder.back() != '/') folder += '/';
    const std::string drive = DrivePathOfJobFile(jobFile);
    if (folder.rfind(drive, 0) == 0) return folder;
    // The key alone cannot tell a drive-relative folder from an absolute one; the drive's copy
    // is the one that exists.
    const std::string onDrive = RebaseOntoDrive(folder, drive);
    std::error_code ec;
    if (std::filesystem::is_directory(onDrive, ec) || !std::filesystem::is_directory(folder, ec)) return onDrive;
    return folder;
}

RestorePointList RestorePoints(const std::string& jobFile) {
    const std::filesystem::path file = BackupDatabase::PathForJob(jobFile);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return {};
    std::vector<ArchiveLogRow> rows;
    try {
        rows = BackupDatabase(file).ArchiveHistory();
    } catch (const EDatabaseError& e) {
        return {{}, "The backup history cannot be read: " + std::string(e.what())};
    }
    std::stable_sort(rows.begin(), rows.end(), [](const ArchiveLogRow& a, const ArchiveLogRow& b) {
        const TDateTime ta = a.DateTime.value_or(-1e9), tb = b.DateTime.value_or(-1e9);
        return ta != tb ? ta > tb : a.ID > b.ID;
    });
    RestorePointList list;
    for (const ArchiveLogRow& row : rows)
        list.points.push_back({ArchiveFolderOfKey(row.ArchiveFolder, jobFile), row.DateTime, row.Status, row.Format});
    return list;
}

} // namespace drivlet

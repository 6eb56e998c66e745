#include "core/launch/RestorePoints.h"

#include "core/db/BackupDatabase.h"
#include "core/db/EDatabaseError.h"
#include "core/drives/DrivePaths.h"
#include "core/text/PathText.h"

#include <algorithm>
#include <filesystem>
#include <optional>
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
    if (std::filesystem::is_directory(onDrive, ec) || !std::filesystem::is_directory(folder, ec))
        return onDrive;
    return folder;
}

namespace {

// The job's run history; no rows when it has no backup database yet, the reason when it cannot
// be read.
std::optional<std::string> ReadHistory(const std::string& jobFile, std::vector<ArchiveLogRow>& rows) {
    const std::filesystem::path file = BackupDatabase::PathForJob(jobFile);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return std::nullopt;
    try {
        rows = BackupDatabase(file).ArchiveHistory();
        return std::nullopt;
    } catch (const EDatabaseError& e) {
        // A read-only drive: the history is read without its write-ahead files.
        if (!e.CannotWrite()) return "The backup history cannot be read: " + std::string(e.what());
    }
    try {
        rows = BackupDatabase::ArchiveHistoryUnchanging(file);
    } catch (const EDatabaseError& e) {
        return "The backup history cannot be read: " + std::string(e.what());
    }
    return std::nullopt;
}

} // namespace

RestorePointList RestorePoints(const std::string& jobFile) {
    std::vector<ArchiveLogRow> rows;
    if (std::optional<std::string> error = ReadHistory(jobFile, rows)) return {{}, std::move(*error)};
    std::stable_sort(rows.begin(), rows.end(), [](const ArchiveLogRow& a, const ArchiveLogRow& b) {
        const TDateTime ta = a.DateTime.value_or(-1e9), tb = b.DateTime.value_or(-1e9);
        return ta != tb ? ta > tb : a.ID > b.ID;
    });
    RestorePointList list;
    for (const ArchiveLogRow& row : rows)
        list.points.push_back(
            {ArchiveFolderOfKey(row.ArchiveFolder, jobFile), row.DateTime, row.Status, row.Format});
    return list;
}

namespace {

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

} // namespace

RestorePointList WizardRestorePoints(const std::string& jobFile) {
    std::vector<ArchiveLogRow> rows;
    if (std::optional<std::string> error = ReadHistory(jobFile, rows)) return {{}, std::move(*error)};
    std::stable_sort(rows.begin(), rows.end(), [](const ArchiveLogRow& a, const ArchiveLogRow& b) {
        return a.DateTime.has_value() < b.DateTime.has_value() ||
               (a.DateTime && b.DateTime && *a.DateTime < *b.DateTime);
    });
    const std::string drive = DrivePathOfJobFile(jobFile);
    RestorePointList list;
    for (const ArchiveLogRow& row : rows) {
        if (row.ArchiveFolder.empty()) continue;
        std::string folder = WithSlash(RebaseOntoDrive(row.ArchiveFolder, drive));
        if (!IsFolder(folder)) {
            folder = WithSlash(row.ArchiveFolder);
            // A stored key that is not a full path only has a meaning on the drive.
            if (folder.front() != '/' || !IsFolder(folder)) continue;
        }
        list.points.push_back({folder, row.DateTime, row.Status, row.Format});
    }
    return list;
}

const RestorePoint* DefaultRestorePoint(const RestorePointList& list) {
    return list.points.empty() ? nullptr : &list.points.front();
}

std::string RestorePointCaption(const RestorePoint& point, const DateTimeTextFormat& format) {
    if (!point.startTime) return "N/A";
    return format ? format(*point.startTime) : DefaultDateTimeText(*point.startTime);
}

RestorePointMark RestorePointMarkOf(const RestorePoint& point) {
    if (point.status == kRunNotCompleted) return RestorePointMark::NotCompleted;
    if (point.status == "Canceled :(") return RestorePointMark::Canceled;
    return RestorePointMark::Normal;
}

} // namespace drivlet

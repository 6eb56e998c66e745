#pragma once
// Where a job's drive is, and how a drive-side path follows the drive to wherever it is mounted.
#include <string>
#include <string_view>

namespace drivlet {

// The drive path (ending with "/") of a job or database file: the folder that holds its "Config"
// folder (/media/a/STICK/Config/x.Ubk gives /media/a/STICK/). A file outside a "Config" folder
// has its own folder as drive.
std::string DrivePathOfJobFile(std::string_view file);
// Whether the file lies directly in a folder named "Config", as a drive's jobs and their
// databases do.
bool IsInConfigFolder(std::string_view file);

// A drive-side path read against the drive's current path: a path already below the drive stays,
// any other is taken as drive-relative ("/Backups/" on /media/b/STICK1/ gives
// /media/b/STICK1/Backups/). An empty path stays empty.
std::string RebaseOntoDrive(std::string_view path, std::string_view drivePath);

// The stored form of a drive-side path: below the drive it becomes drive-relative
// (/media/a/STICK/Docs/ on /media/a/STICK/ gives /Docs/); any other path stays as it is.
std::string DriveRelative(std::string_view path, std::string_view drivePath);

} // namespace drivlet

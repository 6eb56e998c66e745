#pragma once
// Where a source file lies in a zip backup: which archive of the archive folder holds it, and
// under which entry name.
#include <string>
#include <string_view>

namespace drivlet {

// The archive's file name: "Root.Zip" for a POSIX path; for the other forms, text rules:
// "C.Zip" for C:\..., "__server~share.Zip" for \\server\share\....
std::string ZipArchiveName(std::string_view path);
// The entry name, folders separated by "/", without the part the archive stands for:
// /home/a/Docs/x.txt -> home/a/Docs/x.txt; C:\Docs\x.txt -> Docs/x.txt;
// \\srv\share\Docs\x.txt -> Docs/x.txt.
std::string ZipEntryName(std::string_view path);

// A file name ending in ".zip" in any letter case: an archive of a backup folder.
bool IsZipFileName(std::string_view name);

} // namespace drivlet

#pragma once
// Where a source file lies in a zip backup: which archive of the archive folder holds it, and
// under which entry name.
#include <optional>
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
// The source path whose entry `entryName` lands in the archive `archiveName` (its letter case
// aside): the way back of the two above, "/" + the entry for "Root.Zip"; none for a name the
// backup never writes.
std::optional<std::string> ZipSourceOf(std::string_view archiveName, std::string_view entryName);

// A file name ending in ".zip" in any letter case: an archive of a backup folder.
bool IsZipFileName(std::string_view name);

// The zip library writes an archive as a new copy beside it, "Root.Zip.Ab3dE9" (the archive's
// name, a dot, six letters or digits), renamed over it when complete: a killed run leaves it.
bool IsZipWriteCopyOf(std::string_view name, std::string_view archiveName);
// The lock a run holds while it writes the archive (a name IsTemporaryName knows): while it is
// free no live run writes the archive, so a copy beside the archive is a killed run's.
std::string ZipWriteLockFile(std::string_view archive);

} // namespace drivlet

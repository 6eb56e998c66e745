#pragma once
// Where a file of a backup goes back to.
#include <string>
#include <string_view>

namespace drivlet {

// The restore place of a path inside the backup below backupRoot (ending with "/"). rel is the
// path without backupRoot, the mapped form the backup wrote. With a restore target: target + rel
// (a "/" is put after the target when missing). Without one: "/" + rel, and as text rules for
// the other mapped forms "C\Docs\" -> "C:\Docs\" and "__srv\share\" -> "\\srv\share\". Empty
// when the path does not lie below backupRoot.
std::string RestorePathFor(std::string_view backupRoot, std::string_view path, std::string_view restoreTarget);

// The folder the entries of a zip archive of a backup are extracted below, so that each entry
// lands where the folder restore would put the same file: for "Root.Zip" "/" (or the target);
// "C.Zip" gives "C:\" (or target + "C/"); "__srv~share.Zip" gives "\\srv\share\" (or target +
// "__srv\share\"). Empty for a name of no backup archive.
std::string ZipExtractionBase(std::string_view archiveName, std::string_view restoreTarget);

// A relative name that stays below the folder it is put under: not empty, not absolute, no "."
// or ".." part, no empty part except the trailing one of a folder entry.
bool IsSafeRelativeName(std::string_view name);

// The restore of a folder restore or zip restore can only write to an absolute POSIX path.
inline bool IsWritablePlace(std::string_view path) { return !path.empty() && path.front() == '/'; }

} // namespace drivlet

#pragma once
// Whether a backup may empty its archive folder before it copies (a completely-new run). At a
// drive's root that would take the user's own files, the drive's "Config" folder with the job and
// its database, and everything else on the drive.
#include "platform/FileSystem.h"

#include <optional>
#include <string>

namespace drivlet {

// Why the folder (ending with "/") must not be emptied, as the end of a sentence beginning with
// the folder's name; nothing when it may. Refused: "/", a volume root, the job's drive (the
// folder holding the "Config" folder of the job's database), a folder holding that "Config"
// folder or the database, any folder holding a drive's "Config/Drive Config.cfg", the home folder
// and the folders above it, and the program data root and the folders above it. Links in
// the paths are resolved first. A folder that does not exist holds nothing and may be emptied.
std::optional<std::string> ArchiveFolderClearingRefusal(const IFileSystem& files,
                                                        const std::string& archiveFolder,
                                                        const std::string& databaseFile);

} // namespace drivlet

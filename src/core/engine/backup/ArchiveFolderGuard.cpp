#include "core/engine/backup/ArchiveFolderGuard.h"

#include "core/app/ProgramDataRoot.h"
#include "core/drives/DrivePaths.h"
#include "core/drives/DriveRegistry.h"
#include "core/engine/PathMapping.h"
#include "core/text/PathText.h"

namespace drivlet {
namespace {

// The folder with its links resolved, ending with "/"; the text itself where it cannot be.
std::string RealFolder(const IFileSystem& files, const std::string& folder) {
    const std::string real = files.RealPath(folder);
    return WithSlash(real.empty() ? folder : real);
}

// The file's folder resolved, then its name.
std::string RealFile(const IFileSystem& files, const std::string& file) {
    return RealFolder(files, std::string(FolderPart(file))) + std::string(FileNamePart(file));
}

std::string_view ParentOf(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    return FolderPart(folder);
}

} // namespace

std::optional<std::string> ArchiveFolderClearingRefusal(const IFileSystem& files,
                                                        const std::string& archiveFolder,
                                                        const std::string& databaseFile) {
    const std::string resolved = files.RealPath(archiveFolder);
    if (resolved.empty()) return std::nullopt;
    const std::string folder = WithSlash(resolved);
    if (folder == "/") return "is the root of the file system";
    const std::optional<uint64_t> volume = files.VolumeId(folder);
    if (!volume || volume != files.VolumeId(std::string(ParentOf(folder)))) return "is the root of a drive";
    if (files.FileSize(DriveConfigFile(folder)) >= 0) return "is the root of a drive";
    const EnvironmentLookup environment = ProcessEnvironment();
    if (const std::optional<std::string> home = environment("HOME"); home && !home->empty()) {
        if (RealFolder(files, *home).starts_with(folder)) return "is the home folder or holds it";
    }
    try {
        if (RealFolder(files, ProgramDataRoot(environment).string()).starts_with(folder))
            return "holds the program's own data";
    } catch (const std::exception&) {
        // No data root can be named here, so none can be emptied.
    }
    if (!databaseFile.empty()) {
        const std::string drive = RealFolder(files, DrivePathOfJobFile(databaseFile));
        if (folder == drive) return "is the root of the job's drive";
        if (std::string_view(drive + "Config/").starts_with(folder)) return "holds the drive's Config folder";
        if (std::string_view(RealFile(files, databaseFile)).starts_with(folder))
            return "holds the job's database";
    }
    return std::nullopt;
}

} // namespace drivlet

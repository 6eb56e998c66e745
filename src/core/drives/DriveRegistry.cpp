#include "core/drives/DriveRegistry.h"

#include "core/records/TDiskConfigFile.h"
#include "core/text/CaseFold.h"
#include "platform/FileAttributes.h"

#include <system_error>

namespace drivlet {
namespace {

bool ListsComputer(const TDiskConfigFile& config, const std::string& computerId) {
    for (const std::string& id : config.PCList)
        if (SameText(id, computerId)) return true;
    return false;
}

} // namespace

std::filesystem::path DriveConfigFile(const std::string& drivePath) {
    return std::filesystem::path(drivePath) / "Config" / "Drive Config.cfg";
}

bool IsDriveKnown(const std::string& drivePath, const std::string& computerId, IMessageDialogs& dialogs) {
    const std::filesystem::path file = DriveConfigFile(drivePath);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return false;
    TDiskConfigFile config;
    config.LoadCompressed(file, dialogs);
    return ListsComputer(config, computerId);
}

void RegisterDrive(const std::string& drivePath, const std::string& computerId, const IFileAttributes& attributes,
                   IMessageDialogs& dialogs) {
    const std::filesystem::path file = DriveConfigFile(drivePath);
    std::error_code ec;
    if (std::filesystem::create_directory(file.parent_path(), ec))
        attributes.SetAttributes(file.parent_path(), fa::Directory | fa::Hidden);
    TDiskConfigFile config;
    if (std::filesystem::exists(file, ec)) config.LoadCompressed(file, dialogs);
    // A second registration adds nothing: the list names each computer once.
    if (!ListsComputer(config, computerId)) config.PCList.Add(computerId);
    // A hidden file cannot be replaced on a FAT drive, hence the clearing first.
    if (std::filesystem::exists(file, ec)) attributes.SetAttributes(file, 0);
    config.SaveCompressed(file);
    attributes.SetAttributes(file, fa::Hidden);
}

} // namespace drivlet

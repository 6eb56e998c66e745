#pragma once
// The computers that have used a drive: its "Config/Drive Config.cfg".
#include "core/app/MessageDialogs.h"

#include <filesystem>
#include <string>

namespace drivlet {

class IFileAttributes;

// drive path + "Config/Drive Config.cfg"
std::filesystem::path DriveConfigFile(const std::string& drivePath);

// The drive's configuration lists this computer (ignoring letter case).
bool IsDriveKnown(const std::string& drivePath, const std::string& computerId,
                  IMessageDialogs& dialogs = InstalledMessageDialogs());

// Makes the drive known to this computer: the hidden "Config" folder, and this computer added to
// the configuration file (once). A save error reaches the caller.
void RegisterDrive(const std::string& drivePath, const std::string& computerId, const IFileAttributes& attributes,
                   IMessageDialogs& dialogs = InstalledMessageDialogs());

} // namespace drivlet

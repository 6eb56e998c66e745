#pragma once
// The Open Drive dialog's rules: which mounted drives it lists, the space texts of the chosen
// one, and "Next", which checks the choice and makes the drive know this computer.
#include "core/app/MessageDialogs.h"
#include "core/drives/DriveInterfaceType.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

inline constexpr std::string_view kOpenDriveSlogan =
    "The fast and simple way to sync, move and backup your files\rbetween computers and USB drives!";
inline constexpr std::string_view kOpenDriveHint =
    "Specify a USB drive to use the software.  If you do not see your drive \rlisted below, please "
    "insert the USB drive and click \"Refresh Drive List.\"";
inline constexpr std::string_view kOpenDriveErrorTitle = "Errors In Input.";
inline constexpr std::string_view kNoDriveSelected = "No drive is selected. Please select a drive.";
inline constexpr std::string_view kDriveCannotBeOpened =
    "Selected drive cannot be opened. Please select a deferent drive.";

struct OpenDriveItem {
    std::string path; // the mount point, ending with "/"
    std::string name; // its last folder name ("/" for the root)
};

// The drives whose bus occurs in the filter text (ignoring case; an empty filter shows every
// drive), sorted by name.
std::vector<OpenDriveItem> OpenDriveItems(const TDriveInterfaceType& types, std::string_view filter);

struct DriveSpaceLabels {
    std::string name = "N/A";
    std::string usedFree = "0.00 Gb / 0.00 Gb";
    std::string total = "0.00 Gb";
    // The pie's two values; both 0 when nothing is known.
    int64_t used = 0;
    int64_t free = 0;
};

// The labels of a drive; a space the system cannot tell reads "N/A".
DriveSpaceLabels DriveSpaceLabelsOf(const OpenDriveItem& item, const DiskSpace& space);

struct OpenDriveRefusal {
    std::string text;
    std::string title;
};

// "Next": nothing chosen, or a drive that is no folder now, is refused with its message; a drive
// whose "Drive Config.cfg" does not list this computer is made to know it (a drive that cannot be
// written is refused with the reason). Nothing is written to a drive that knows the computer.
[[nodiscard]] std::optional<OpenDriveRefusal> ChooseOpenDrive(const std::optional<OpenDriveItem>& selected,
                                                              const std::string& computerId,
                                                              const IFileSystem& files,
                                                              IMessageDialogs& dialogs);

} // namespace drivlet

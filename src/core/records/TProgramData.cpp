#include "core/records/TProgramData.h"

namespace drivlet {

TProgramData::TProgramData(const std::filesystem::path& programDataRoot) {
    DeletedFolder = (programDataRoot / "Deleted").string() + "/";
}

void TProgramData::DefineProperties(PropertyList& list) {
    TSaveLoadComponent::DefineProperties(list);
    list.Boolean("MoveToDeleted", MoveToDeleted);
    list.Text("DeletedFolder", DeletedFolder);
    list.Int64("MaxDeletedSize", MaxDeletedSize);
    list.Boolean("DriveAutoRun", DriveAutoRun, true);
    list.Boolean("CheckForUpdates", CheckForUpdates);
    list.Boolean("ShowHidden", ShowHidden);
    list.Boolean("MiniWindows", MiniWindows);
    list.Boolean("AutoCloseJobTab", AutoCloseJobTab, false);
    list.Enumeration("ScheduleRunMode", ScheduleRunMode, kScheduleRunModeNames);
    list.Integer("DriveDetectMode", DriveDetectMode, 0);
}

std::filesystem::path TProgramData::SettingsFile(const std::filesystem::path& programDataRoot) {
    return programDataRoot / "ConfigData" / "Config.cfg";
}

} // namespace drivlet

#pragma once
// The program's settings, "ConfigData/Config.cfg" below the program data root.
#include "core/records/Enumerations.h"
#include "core/stream/TSaveLoadComponent.h"

#include <filesystem>

namespace drivlet {

class TProgramData final : public TSaveLoadComponent {
public:
    bool MoveToDeleted = false;
    std::string DeletedFolder;           // always ends with "/"
    int64_t MaxDeletedSize = 1073741824; // bytes
    bool DriveAutoRun = true;
    bool CheckForUpdates = false;
    bool ShowHidden = false;
    bool MiniWindows = false;
    bool AutoCloseJobTab = false;
    TScheduleRunMode ScheduleRunMode = TScheduleRunMode::srmAsk;
    int32_t DriveDetectMode = 0;

    // The deleted-files folder defaults to "Deleted/" below the program data root.
    explicit TProgramData(const std::filesystem::path& programDataRoot);

    std::string_view ClassName() const override { return "TProgramData"; }
    void DefineProperties(PropertyList& list) override;

    static std::filesystem::path SettingsFile(const std::filesystem::path& programDataRoot);
};

} // namespace drivlet

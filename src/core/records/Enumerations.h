#pragma once
// Enumerations of the stored records; each is written by value name, the number being its position.
#include <array>
#include <string_view>

namespace drivlet {

enum class TArchiveMode {
    amIncremental,
    amOnlyNew,
    amCompletelyNew,
    amTimeStamped,
    amTimeStampedIncremental,
    amMove
};
enum class TArchiveType { atFile, atImage };
enum class TArchiveDir { amUsbToPc, amPcToUsb };
enum class TSyncMode { smFolder, smFile };
enum class TSyncDirection { sdBidi, sdPCToUSB, sdUSBToPC };
enum class TSyncDefaultAction { sdaAsk, sdaNothing, sdaPCVersion, sdaUSBVersion, sdaNewVersion };
enum class TScheduleRunMode { srmAsk, srmNext, srmSkip };

inline constexpr std::array<std::string_view, 6> kArchiveModeNames = {
    "amIncremental", "amOnlyNew", "amCompletelyNew", "amTimeStamped", "amTimeStampedIncremental", "amMove"};
inline constexpr std::array<std::string_view, 2> kArchiveTypeNames = {"atFile", "atImage"};
inline constexpr std::array<std::string_view, 2> kArchiveDirNames = {"amUsbToPc", "amPcToUsb"};
inline constexpr std::array<std::string_view, 2> kSyncModeNames = {"smFolder", "smFile"};
inline constexpr std::array<std::string_view, 3> kSyncDirectionNames = {"sdBidi", "sdPCToUSB", "sdUSBToPC"};
inline constexpr std::array<std::string_view, 5> kSyncDefaultActionNames = {
    "sdaAsk", "sdaNothing", "sdaPCVersion", "sdaUSBVersion", "sdaNewVersion"};
inline constexpr std::array<std::string_view, 3> kScheduleRunModeNames = {"srmAsk", "srmNext", "srmSkip"};

} // namespace drivlet

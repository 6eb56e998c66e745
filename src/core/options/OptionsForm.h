#pragma once
// What the Options window shows and edits, as plain values, and the rules between them and the
// program's settings: the limit in whole mebibytes, the store folder with its trailing "/", and
// the used size's text and warning level.
#include "core/records/TProgramData.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace drivlet {

inline constexpr std::string_view kOptionsCaption = "Options";
inline constexpr std::string_view kOptionsHeading = "Options ";
// The number box of the warning limit, in MiB.
inline constexpr int64_t kDeletedLimitMinMiB = 100;
inline constexpr int64_t kDeletedLimitMaxMiB = 6000000;
inline constexpr int64_t kDeletedLimitStepMiB = 100;
inline constexpr int64_t kMiB = 1048576;

struct OptionsForm {
    bool miniWindows = false;
    bool showHidden = false;
    bool driveAutoRun = true;
    bool checkForUpdates = false;
    TScheduleRunMode scheduleRunMode = TScheduleRunMode::srmAsk;
    bool moveToDeleted = false;
    int64_t deletedLimitMiB = 1024;
    std::string deletedFolder; // ends with "/"

    // The settings as the window shows them: the limit truncated to whole MiB.
    static OptionsForm Of(const TProgramData& settings);
    // Into the settings: the limit as a 64-bit byte count, the folder with its trailing "/".
    void ApplyTo(TProgramData& settings) const;
};

// How full the store is against the limit (the used size's colour).
enum class StoreFill {
    Low,  // at most three quarters of the limit
    High, // up to the limit
    Over, // above it
};

// The store's size in MiB with two decimals ("12.50").
std::string UsedSizeText(int64_t bytes);
// Compared as shown: the size rounded to two decimals.
StoreFill StoreFillOf(int64_t bytes, int64_t limitMiB);

} // namespace drivlet

#include "core/options/OptionsForm.h"

#include "core/text/PathText.h"

#include <cmath>
#include <cstdio>

namespace drivlet {
namespace {

double ShownMiB(int64_t bytes) {
    return std::round(static_cast<double>(bytes) / static_cast<double>(kMiB) * 100.0) / 100.0;
}

} // namespace

OptionsForm OptionsForm::Of(const TProgramData& settings) {
    OptionsForm form;
    form.miniWindows = settings.MiniWindows;
    form.showHidden = settings.ShowHidden;
    form.driveAutoRun = settings.DriveAutoRun;
    form.checkForUpdates = settings.CheckForUpdates;
    form.scheduleRunMode = settings.ScheduleRunMode;
    form.moveToDeleted = settings.MoveToDeleted;
    form.deletedLimitMiB = settings.MaxDeletedSize / kMiB;
    form.deletedFolder = settings.DeletedFolder;
    return form;
}

void OptionsForm::ApplyTo(TProgramData& settings) const {
    settings.MoveToDeleted = moveToDeleted;
    settings.MaxDeletedSize = deletedLimitMiB * kMiB;
    settings.DeletedFolder = deletedFolder.empty() ? deletedFolder : WithSlash(deletedFolder);
    settings.DriveAutoRun = driveAutoRun;
    settings.MiniWindows = miniWindows;
    settings.ShowHidden = showHidden;
    settings.CheckForUpdates = checkForUpdates;
    settings.ScheduleRunMode = scheduleRunMode;
}

std::string UsedSizeText(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ShownMiB(bytes));
    return text;
}

StoreFill StoreFillOf(int64_t bytes, int64_t limitMiB) {
    const double shown = ShownMiB(bytes);
    const double limit = static_cast<double>(limitMiB);
    if (limit * 75.0 / 100.0 >= shown) return StoreFill::Low;
    return limit >= shown ? StoreFill::High : StoreFill::Over;
}

} // namespace drivlet

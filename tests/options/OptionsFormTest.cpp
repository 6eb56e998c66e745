// The Options window's values against the settings record: the limit in MiB as a 64-bit byte
// count, the store folder's trailing "/", the used size's text and its three levels.
#include "core/options/OptionsForm.h"

#include <gtest/gtest.h>

using namespace drivlet;

TEST(OptionsFormTest, RoundTripsTheSettingsWithTheLimitAsSixtyFourBitsAndTheFolderWithItsSlash) {
    TProgramData settings("/var/lib/drivlet");
    OptionsForm form = OptionsForm::Of(settings);
    EXPECT_EQ(form.deletedLimitMiB, 1024);
    EXPECT_TRUE(form.driveAutoRun);
    EXPECT_EQ(form.deletedFolder, settings.DeletedFolder);

    form.deletedLimitMiB = 5000;
    form.deletedFolder = "/home/a/Store";
    form.driveAutoRun = false;
    form.miniWindows = form.showHidden = form.checkForUpdates = form.moveToDeleted = true;
    form.scheduleRunMode = TScheduleRunMode::srmSkip;
    form.ApplyTo(settings);
    EXPECT_EQ(settings.MaxDeletedSize, int64_t{5000} * 1048576);
    EXPECT_GT(settings.MaxDeletedSize, int64_t{INT32_MAX});
    EXPECT_EQ(settings.DeletedFolder, "/home/a/Store/");
    EXPECT_FALSE(settings.DriveAutoRun);
    EXPECT_TRUE(settings.MiniWindows && settings.ShowHidden && settings.CheckForUpdates &&
                settings.MoveToDeleted);
    EXPECT_EQ(settings.ScheduleRunMode, TScheduleRunMode::srmSkip);

    // A limit that is no whole number of MiB shows truncated.
    settings.MaxDeletedSize = int64_t{1500} * 1048576 + 1048575;
    EXPECT_EQ(OptionsForm::Of(settings).deletedLimitMiB, 1500);
    // AutoCloseJobTab is the status panels' and DriveDetectMode no one's: the form leaves both.
    settings.AutoCloseJobTab = true;
    settings.DriveDetectMode = 7;
    OptionsForm::Of(settings).ApplyTo(settings);
    EXPECT_TRUE(settings.AutoCloseJobTab);
    EXPECT_EQ(settings.DriveDetectMode, 7);
}

TEST(OptionsFormTest, UsedSizeReadsInMebibytesWithTwoDecimalsAndItsLevelComparesTheShownValue) {
    EXPECT_EQ(UsedSizeText(0), "0.00");
    EXPECT_EQ(UsedSizeText(13107200), "12.50");
    EXPECT_EQ(UsedSizeText(int64_t{6000000} * 1048576), "6000000.00");
    // Limit 100 MiB: up to 75 MiB low, up to 100 high, above that over.
    EXPECT_EQ(StoreFillOf(0, 100), StoreFill::Low);
    EXPECT_EQ(StoreFillOf(int64_t{75} * 1048576, 100), StoreFill::Low);
    EXPECT_EQ(StoreFillOf(int64_t{75} * 1048576 + 20000, 100), StoreFill::High);
    EXPECT_EQ(StoreFillOf(int64_t{100} * 1048576, 100), StoreFill::High);
    // 100.004 MiB shows as 100.00: still high, as the user reads it.
    EXPECT_EQ(StoreFillOf(int64_t{100} * 1048576 + 4000, 100), StoreFill::High);
    EXPECT_EQ(StoreFillOf(int64_t{100} * 1048576 + 20000, 100), StoreFill::Over);
}

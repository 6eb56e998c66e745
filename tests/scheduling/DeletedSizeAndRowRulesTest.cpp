// The deleted-files alert over a real program database, and the rules of a saved schedule row.
#include "RunnerFixture.h"
#include "core/schedule/run/DeletedSizeAlert.h"
#include "core/schedule/run/ScheduleRowRules.h"

using namespace drivlet;
using namespace drivlet::test;

namespace {

constexpr int64_t kMiB = 1048576;

using DeletedSize = RunnerFixture;

TEST_F(DeletedSize, AnEmptyLogIsZeroAndNoAlert) {
    const DeletedSizeAlert alert = MeasureDeletedSize(database, 100 * kMiB);
    EXPECT_EQ(alert.deletedSize, 0);
    EXPECT_FALSE(alert.overLimit);
    EXPECT_EQ(alert.balloonText, "Click here to open Drivlet");
}

TEST_F(DeletedSize, ExactlyTheLimitIsNoAlertOneByteMoreIs) {
    database.LogDeletedFile("C/a.txt", 100 * kMiB - 10);
    database.LogDeletedFile("C/b.txt", 10);
    EXPECT_FALSE(MeasureDeletedSize(database, 100 * kMiB).overLimit);
    database.LogDeletedFile("C/c.txt", 1);
    const DeletedSizeAlert alert = MeasureDeletedSize(database, 100 * kMiB);
    EXPECT_TRUE(alert.overLimit);
    EXPECT_EQ(alert.deletedSize, 100 * kMiB + 1);
    EXPECT_EQ(alert.balloonText, "Deleted files space overload. Please clear deleted files.");
}

TEST_F(DeletedSize, TotalsAbove2GiBAreComparedAs64BitValues) {
    const int64_t limit = 5000 * kMiB; // above the 32-bit range itself
    database.LogDeletedFile("C/big1.iso", 3LL << 30);
    // 3 GiB wraps negative in 32 bits and would never alert; it is below 5000 MiB.
    EXPECT_FALSE(MeasureDeletedSize(database, limit).overLimit);
    database.LogDeletedFile("C/big2.iso", 3LL << 30);
    const DeletedSizeAlert alert = MeasureDeletedSize(database, limit);
    EXPECT_EQ(alert.deletedSize, 6LL << 30);
    EXPECT_TRUE(alert.overLimit);
    // A 4 GiB total truncated to 32 bits reads 0: it must still alert over a 1 GiB limit.
    database.ClearDeletedFilesLog();
    database.LogDeletedFile("C/four.iso", 4LL << 30);
    EXPECT_TRUE(MeasureDeletedSize(database, 1024 * kMiB).overLimit);
}

TEST(ScheduleRowRules, NextRunTimeWhenARowIsSaved) {
    TSchedule monthly;
    monthly.DayOfMonth = 20;
    monthly.TimeH = 8;
    monthly.TimeM = 15;
    EXPECT_EQ(NextRunTimeOnSave(monthly, kRunTimed, At(2010, 8, 16, 12, 0)), At(2010, 8, 20, 8, 15));
    EXPECT_EQ(NextRunTimeOnSave(monthly, kRunAtStartup, At(2010, 8, 16, 12, 0)), std::nullopt);
    EXPECT_EQ(NextRunTimeOnSave(monthly, kRunAtDriveInsertion, At(2010, 8, 16, 12, 0)), std::nullopt);
    // Today at 10:00 saved at 11:00: not run until it is saved again.
    const TSchedule weekly = WeeklyAt({TWeekDay::dMonday}, 10, 0);
    EXPECT_EQ(NextRunTimeOnSave(weekly, kRunTimed, At(2010, 8, 16, 11, 0)), std::nullopt);
    EXPECT_EQ(NextRunTimeOnSave(weekly, kRunTimed, At(2010, 8, 16, 9, 0)), At(2010, 8, 16, 10, 0));
    // A once-only date already past today keeps its time (the runner then treats it as missed).
    TSchedule once;
    once.ScheduleMode = TScheduleMode::smOnesOnly;
    once.Month = 8;
    once.DayOfMonthYearMode = 16;
    once.TimeH = 10;
    EXPECT_EQ(NextRunTimeOnSave(once, kRunTimed, At(2010, 8, 16, 11, 0)), At(2010, 8, 16, 10, 0));
    once.Month = 3;
    once.DayOfMonthYearMode = 1;
    EXPECT_EQ(NextRunTimeOnSave(once, kRunTimed, At(2010, 8, 16, 11, 0)), At(2011, 3, 1, 10, 0));
}

TEST(ScheduleRowRules, TypeAndModeTexts) {
    EXPECT_EQ(ScheduleTypeText("/m/S/Config/a.UBK"), "Backup Job");
    EXPECT_EQ(ScheduleTypeText("/m/S/Config/a.Umv"), "Move Job");
    EXPECT_EQ(ScheduleTypeText("/m/S/Config/a.usy"), "Sync Job");
    EXPECT_EQ(ScheduleTypeText("/m/S/Config/a.Upcsy"), "PC-PC Sync");
    EXPECT_EQ(ScheduleTypeText("/m/S/Config/a.txt"), "N/A");
    EXPECT_EQ(ScheduleModeCaption(kRunAtStartup), "Windows Startup");
    EXPECT_EQ(ScheduleModeCaption(kRunAtShutdown), "Window Shutdown");
    EXPECT_EQ(ScheduleModeCaption(kRunTimed), "Every Day/Week/Month/year");
    EXPECT_EQ(ScheduleModeCaption(kRunAtDriveInsertion), "USB Disk Insertion");
}

} // namespace

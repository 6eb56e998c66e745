// Saving a schedule row: the next run time it gets by mode and schedule, and the texts the
// Schedules screen shows for a row.
#include "core/schedule/ScheduleSave.h"

#include <gtest/gtest.h>

namespace drivlet {
namespace {

TDateTime At(int y, int m, int d, int h = 0, int n = 0) {
    return EncodeDateTime({y, m, d, h, n, 0, 0});
}

TEST(ScheduleSave, ATimedRowGetsTheNextRunWhenItIsStillAhead) {
    TSchedule monthly;
    monthly.ScheduleMode = TScheduleMode::smMonthly;
    monthly.DayOfMonth = 20;
    monthly.TimeH = 9;
    monthly.TimeM = 30;
    EXPECT_EQ(NextRunTimeOnSave(true, monthly, At(2010, 8, 16, 14, 5)), At(2010, 8, 20, 9, 30));
    // The other modes never have one.
    EXPECT_EQ(NextRunTimeOnSave(false, monthly, At(2010, 8, 16, 14, 5)), std::nullopt);
}

TEST(ScheduleSave, ATimeAlreadyPastTodayGivesNoneUntilSavedAgainBeforeIt) {
    TSchedule weekly;
    weekly.ScheduleMode = TScheduleMode::smWeekly;
    weekly.SetWeekDay(TWeekDay::dMonday, true);
    weekly.TimeH = 10;
    // 2010-08-16 is a Monday.
    EXPECT_EQ(NextRunTimeOnSave(true, weekly, At(2010, 8, 16, 11)), std::nullopt);
    EXPECT_EQ(NextRunTimeOnSave(true, weekly, At(2010, 8, 16, 10)), std::nullopt); // not later than now
    EXPECT_EQ(NextRunTimeOnSave(true, weekly, At(2010, 8, 16, 9)), At(2010, 8, 16, 10));
}

TEST(ScheduleSave, AOnceOnlyScheduleKeepsItsTimeEvenWhenPast) {
    TSchedule once;
    once.ScheduleMode = TScheduleMode::smOnesOnly;
    once.Month = 3;
    once.DayOfMonthYearMode = 1;
    once.TimeH = 8;
    // A date already past this year: next year's.
    EXPECT_EQ(NextRunTimeOnSave(true, once, At(2010, 8, 16, 14)), At(2011, 3, 1, 8));
    // Today, earlier: that time today, which the runner then treats as missed.
    EXPECT_EQ(NextRunTimeOnSave(true, once, At(2010, 3, 1, 14)), At(2010, 3, 1, 8));
}

TEST(ScheduleSave, TypeModeAndNextRunTexts) {
    EXPECT_EQ(ScheduleTypeText("/media/ann/STICK/Config/a.UBK"), "Backup Job");
    EXPECT_EQ(ScheduleTypeText("/m/Config/Move 2011.Umv"), "Move Job");
    EXPECT_EQ(ScheduleTypeText("/m/Config/sync.Usy"), "Sync Job");
    EXPECT_EQ(ScheduleTypeText("/m/Config/p.upcsy"), "PC-PC Sync");
    EXPECT_EQ(ScheduleTypeText("/m/Config.d/noext"), "N/A");
    EXPECT_EQ(ScheduleTypeText("/m/Config/x.txt"), "N/A");

    EXPECT_EQ(ScheduleModeCaption(0), "Windows Startup");
    EXPECT_EQ(ScheduleModeCaption(1), "Window Shutdown");
    EXPECT_EQ(ScheduleModeCaption(2), "Every Day/Week/Month/year");
    EXPECT_EQ(ScheduleModeCaption(3), "USB Disk Insertion");
    EXPECT_EQ(ScheduleModeCaption(7), "");

    const NextRunTexts texts = NextRunAtTexts(At(2010, 8, 16, 14, 5));
    EXPECT_EQ(texts.date, "Monday 16 of August 2010");
    EXPECT_EQ(texts.time, "14:05:00");
    EXPECT_EQ(NextRunAtTexts(std::nullopt).date, "N/A");
    EXPECT_EQ(NextRunAtTexts(std::nullopt).time, "");
}

} // namespace
} // namespace drivlet

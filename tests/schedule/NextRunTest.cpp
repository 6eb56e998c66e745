// The next-run calculation across month ends, leap years, weekday sets and daylight-saving changes.
#include "core/schedule/TSchedule.h"
#include "platform/LocalTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace drivlet;

namespace {

TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    return EncodeDateTime({y, m, d, h, n, s, 0});
}

TSchedule Weekly(std::initializer_list<TWeekDay> days, int h, int m) {
    TSchedule s;
    s.ScheduleMode = TScheduleMode::smWeekly;
    for (TWeekDay d : days)
        s.SetWeekDay(d, true);
    s.TimeH = h;
    s.TimeM = m;
    return s;
}

TSchedule Monthly(int day, int every, int h = 0, int m = 0) {
    TSchedule s;
    s.DayOfMonth = static_cast<uint8_t>(day);
    s.Every = static_cast<uint8_t>(every);
    s.TimeH = h;
    s.TimeM = m;
    return s;
}

TSchedule Yearly(TScheduleMode mode, int month, int day, int every) {
    TSchedule s;
    s.ScheduleMode = mode;
    s.Month = static_cast<uint8_t>(month);
    s.DayOfMonthYearMode = static_cast<uint8_t>(day);
    s.Every = static_cast<uint8_t>(every);
    s.TimeH = 8;
    return s;
}

// Sets TZ for one test and puts the old value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old, had_ = true;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool had_ = false;
};

} // namespace

TEST(NextRun, Weekly) {
    const TSchedule s = Weekly({TWeekDay::dMonday, TWeekDay::dWednesday}, 10, 0);
    // 2010-08-16 was a Monday.
    EXPECT_EQ(s.NextRun(At(2010, 8, 16, 9)), At(2010, 8, 16, 10));
    EXPECT_EQ(s.NextRun(At(2010, 8, 16, 11)), At(2010, 8, 16, 10)); // same day, earlier than from
    EXPECT_EQ(s.NextRun(At(2010, 8, 17, 0, 0, 1)), At(2010, 8, 18, 10));
    EXPECT_EQ(s.NextRun(At(2010, 8, 19, 12)), At(2010, 8, 23, 10)); // across the weekend
    EXPECT_EQ(Weekly({TWeekDay::dSunday}, 7, 5).NextRun(At(2010, 12, 27)), At(2011, 1, 2, 7, 5));
    EXPECT_EQ(Weekly({}, 10, 0).NextRun(At(2010, 8, 16, 12)), At(2010, 8, 15, 12));
}

TEST(NextRun, MonthlyAcrossMonthEnds) {
    EXPECT_EQ(Monthly(31, 1).NextRun(At(2010, 4, 10)), At(2010, 4, 30));
    EXPECT_EQ(Monthly(5, 3).NextRun(At(2010, 8, 6)), At(2010, 11, 5));
    EXPECT_EQ(Monthly(5, 1, 10).NextRun(At(2010, 8, 5, 23)), At(2010, 8, 5, 10));
    EXPECT_EQ(Monthly(5, 1).NextRun(At(2010, 8, 5, 23)), At(2010, 9, 5));    // midnight is not after the day
    EXPECT_EQ(Monthly(5, 1, 6).NextRun(At(2010, 12, 6)), At(2011, 1, 5, 6)); // into the next year
    EXPECT_EQ(Monthly(30, 1).NextRun(At(2012, 2, 1)), At(2012, 2, 29));      // leap February
    EXPECT_EQ(Monthly(30, 1).NextRun(At(2011, 2, 1)), At(2011, 2, 28));
    // The step starts from the wanted day, not from a day already cut to a short month.
    EXPECT_EQ(Monthly(31, 1).NextRun(At(2010, 4, 30, 12)), At(2010, 5, 31));
    EXPECT_EQ(Monthly(31, 1).NextRun(At(2010, 1, 31, 12)), At(2010, 2, 28));

    TSchedule last;
    last.LastDayOFMonth = true;
    EXPECT_EQ(last.NextRun(At(2010, 8, 31)), At(2010, 9, 30));
    EXPECT_EQ(last.NextRun(At(2012, 2, 3)), At(2012, 2, 29));
    EXPECT_EQ(last.NextRun(At(2012, 1, 31)), At(2012, 2, 29));
    last.TimeH = 18;
    EXPECT_EQ(last.NextRun(At(2010, 8, 31, 20)), At(2010, 8, 31, 18)); // same day stays
}

TEST(NextRun, YearlyAndOnceOnly) {
    EXPECT_EQ(Yearly(TScheduleMode::smYearly, 3, 1, 2).NextRun(At(2010, 3, 2)), At(2012, 3, 1, 8));
    EXPECT_EQ(Yearly(TScheduleMode::smOnesOnly, 3, 1, 1).NextRun(At(2010, 3, 2)), At(2011, 3, 1, 8));
    EXPECT_EQ(Yearly(TScheduleMode::smYearly, 12, 25, 1).NextRun(At(2010, 3, 2)), At(2010, 12, 25, 8));
    // 29 February: kept in leap years, the 28th in others.
    EXPECT_EQ(Yearly(TScheduleMode::smYearly, 2, 29, 1).NextRun(At(2012, 1, 1)), At(2012, 2, 29, 8));
    EXPECT_EQ(Yearly(TScheduleMode::smYearly, 2, 29, 1).NextRun(At(2012, 3, 1)), At(2013, 2, 28, 8));
    EXPECT_EQ(Yearly(TScheduleMode::smYearly, 2, 29, 4).NextRun(At(2012, 3, 1)), At(2016, 2, 29, 8));
    EXPECT_EQ(Yearly(TScheduleMode::smYearly, 2, 29, 1).NextRun(At(2011, 1, 1)), At(2011, 2, 28, 8));
    // A date no year has falls back to the month's last day instead of failing.
    EXPECT_EQ(Yearly(TScheduleMode::smYearly, 4, 31, 1).NextRun(At(2010, 1, 1)), At(2010, 4, 30, 8));
}

TEST(NextRun, DamagedValuesStillGiveAMoment) {
    TSchedule s = Monthly(0, 1, 99, -4);
    EXPECT_EQ(s.NextRun(At(2010, 8, 10)), At(2010, 9, 1, 23, 0));
    TSchedule y = Yearly(TScheduleMode::smYearly, 200, 40, 1);
    EXPECT_EQ(y.NextRun(At(2010, 1, 1)), At(2010, 12, 31, 8));
}

TEST(NextRun, WallTimeThroughDaylightSavingChanges) {
    ScopedTimeZone tz("Europe/Berlin");
    // Summer time began 2010-03-28 at 02:00 (to 03:00) and ended 2010-10-31 at 03:00 (to 02:00).
    const TSchedule daily = Weekly({TWeekDay::dSaturday, TWeekDay::dSunday, TWeekDay::dMonday}, 10, 0);
    const auto saturday = FromLocalDateTime(At(2010, 3, 27, 10));
    const auto sunday = FromLocalDateTime(daily.NextRun(At(2010, 3, 28, 0, 0, 1)));
    // Ten o'clock stays ten o'clock: only 23 hours lie between the two runs.
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::hours>(sunday - saturday).count(), 23);
    EXPECT_EQ(ToLocalDateTime(sunday), At(2010, 3, 28, 10));

    // 02:30 did not exist that night: the run moves to the end of the gap.
    EXPECT_EQ(ToLocalDateTime(FromLocalDateTime(At(2010, 3, 28, 2, 30))), At(2010, 3, 28, 3, 0));
    // 02:30 happened twice in October: the first one counts.
    const auto first = FromLocalDateTime(At(2010, 10, 31, 2, 30));
    EXPECT_EQ(ToLocalDateTime(first), At(2010, 10, 31, 2, 30));
    EXPECT_EQ(ToLocalDateTime(first + std::chrono::hours(1)), At(2010, 10, 31, 2, 30));
    EXPECT_EQ(std::chrono::system_clock::to_time_t(first), 1288485000); // 00:30 UTC

    // The clock reads local time.
    EXPECT_EQ(ToLocalDateTime(std::chrono::system_clock::from_time_t(1281952800)), At(2010, 8, 16, 12));
}

TEST(NextRun, AssignLeavesTheTime) {
    TSchedule a = Weekly({TWeekDay::dFriday}, 5, 6);
    a.Every = 3;
    TSchedule b;
    b.TimeH = 20;
    b.Assign(a);
    EXPECT_EQ(b.ScheduleMode, TScheduleMode::smWeekly);
    EXPECT_EQ(b.WeekDays, a.WeekDays);
    EXPECT_EQ(b.Every, 3);
    EXPECT_EQ(b.TimeH, 20);
    EXPECT_EQ(b.TimeM, 0);
}

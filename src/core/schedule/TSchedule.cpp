#include "core/schedule/TSchedule.h"

#include <algorithm>

namespace drivlet {

void TSchedule::DefineProperties(PropertyList& list) {
    TSaveLoadComponent::DefineProperties(list);
    list.Enumeration("ScheduleMode", ScheduleMode, kScheduleModeNames, TScheduleMode::smMonthly);
    list.Set("WeekDays", WeekDays, kWeekDayNames, 0);
    list.Byte("DayOfMonth", DayOfMonth);
    list.Boolean("LastDayOFMonth", LastDayOFMonth, false);
    list.Byte("Every", Every, 1);
    list.Byte("Month", Month);
    list.Byte("DayOfMonthYearMode", DayOfMonthYearMode);
    list.Integer("TimeH", TimeH);
    list.Integer("TimeM", TimeM);
}

void TSchedule::SetWeekDay(TWeekDay day, bool on) {
    const auto bit = static_cast<uint8_t>(1u << static_cast<int>(day));
    WeekDays = on ? (WeekDays | bit) : (WeekDays & ~bit);
}

void TSchedule::Assign(const TSchedule& other) {
    ScheduleMode = other.ScheduleMode;
    WeekDays = other.WeekDays;
    DayOfMonth = other.DayOfMonth;
    LastDayOFMonth = other.LastDayOFMonth;
    Every = other.Every;
    Month = other.Month;
    DayOfMonthYearMode = other.DayOfMonthYearMode;
}

TDateTime TSchedule::NextRun(TDateTime from) const {
    const DateParts f = DecodeDateTime(from);
    const TDateTime day = EncodeDate(f.year, f.month, f.day);
    // Damaged records may hold any byte or integer; keep every moment formable.
    const int hour = std::clamp(TimeH, 0, 23);
    const int minute = std::clamp(TimeM, 0, 59);
    // The wanted day, cut to the month's last day where the month is shorter.
    auto at = [&](int y, int m, int d) {
        d = std::clamp(d, 1, DaysInMonth(y, m));
        return EncodeDateTime({y, m, d, hour, minute, 0, 0});
    };
    auto addMonths = [](int y, int m, int count, int& outY, int& outM) {
        const int total = y * 12 + (m - 1) + count;
        outY = total / 12;
        outM = total % 12 + 1;
    };

    switch (ScheduleMode) {
    case TScheduleMode::smWeekly: {
        if (WeekDays == 0) return from - 1;
        TDateTime c = at(f.year, f.month, f.day);
        for (int i = 0; i < 7; ++i) {
            if (HasWeekDay(static_cast<TWeekDay>(WeekdayMondayFirst(c)))) return c;
            c += 1; // wall time: a day is always one whole unit, whatever the clocks do
        }
        return c;
    }
    case TScheduleMode::smMonthly: {
        const int wanted = LastDayOFMonth ? 31 : DayOfMonth;
        const TDateTime c = at(f.year, f.month, wanted);
        if (day < c) return c;
        int y, m;
        addMonths(f.year, f.month, LastDayOFMonth ? 1 : Every, y, m);
        // From the wanted day, not from a day already cut to a short month's end.
        return at(y, m, wanted);
    }
    case TScheduleMode::smYearly:
    case TScheduleMode::smOnesOnly: {
        const int month = std::clamp<int>(Month, 1, 12);
        // A date the year lacks (31 April, 29 February) falls back to the month's last day.
        const TDateTime c = at(f.year, month, DayOfMonthYearMode);
        if (day < c) return c;
        return at(f.year + Every, month, DayOfMonthYearMode);
    }
    }
    return from;
}

} // namespace drivlet

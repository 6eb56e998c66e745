#pragma once
// A timed schedule: weekly on chosen weekdays, monthly on a day or the last day, yearly, or once,
// always at an hour and minute; stored in the Data field of its schedule row.
#include "core/stream/TSaveLoadComponent.h"
#include "core/time/DateTime.h"

#include <array>

namespace drivlet {

enum class TScheduleMode { smWeekly, smMonthly, smYearly, smOnesOnly };
enum class TWeekDay { dMonday, dTuesday, dWednesday, dThursday, dFriday, dSaturday, dSunday };

inline constexpr std::array<std::string_view, 4> kScheduleModeNames = {"smWeekly", "smMonthly", "smYearly",
                                                                       "smOnesOnly"};
inline constexpr std::array<std::string_view, 7> kWeekDayNames = {
    "dMonday", "dTuesday", "dWednesday", "dThursday", "dFriday", "dSaturday", "dSunday"};

class TSchedule final : public TSaveLoadComponent {
public:
    TScheduleMode ScheduleMode = TScheduleMode::smMonthly;
    uint8_t WeekDays = 0; // bit n: TWeekDay n
    uint8_t DayOfMonth = 1;
    bool LastDayOFMonth = false;
    uint8_t Every = 1;
    uint8_t Month = 1;
    uint8_t DayOfMonthYearMode = 1;
    int32_t TimeH = 0;
    int32_t TimeM = 0;

    std::string_view ClassName() const override { return "TSchedule"; }
    void DefineProperties(PropertyList& list) override;

    bool HasWeekDay(TWeekDay day) const { return WeekDays & (1u << static_cast<int>(day)); }
    void SetWeekDay(TWeekDay day, bool on);

    // Copies everything but the hour and minute.
    void Assign(const TSchedule& other);

    // The next run at or after the calendar day of `from`; it may lie earlier on that same day.
    TDateTime NextRun(TDateTime from) const;
};

} // namespace drivlet

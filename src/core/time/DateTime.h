#pragma once
// The program's date-time: a double counting days since 1899-12-30, the fraction being the time
// of day, in local wall time. Records, databases and file times all hold this value.
#include <cstdint>

namespace drivlet {

using TDateTime = double;

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// Days since 1899-12-30 of a valid date (may be negative for earlier dates).
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Negative values follow the stored convention: the integer part counts days back, the
// fraction is still the (positive) time of day.
TDateTime EncodeDateTime(const DateParts& parts);
TDateTime EncodeDate(int year, int month, int day);
DateParts DecodeDateTime(TDateTime value);
// Midnight of the value's day.
TDateTime DateOf(TDateTime value);
// Monday = 0 ... Sunday = 6.
int WeekdayMondayFirst(TDateTime value);
// Adds months to a date, the day cut to the last day of a shorter target month; time is kept.
TDateTime IncMonth(TDateTime value, int months);

// The current local time; injected wherever tests must control it.
class IClock {
public:
    virtual ~IClock() = default;
    virtual TDateTime Now() const = 0;
};

// A clock that shows what it is set to: for tests and for replaying a fixed moment.
class ManualClock final : public IClock {
public:
    explicit ManualClock(TDateTime now = 0) : now_(now) {}
    TDateTime Now() const override { return now_; }
    void Set(TDateTime now) { now_ = now; }
    void Advance(double days) { now_ += days; }

private:
    TDateTime now_;
};

} // namespace drivlet

#include "core/time/DateTime.h"

#include <cmath>

namespace drivlet {
namespace {

constexpr double kMsPerDay = 86400000.0;

// Days from 1970-01-01 (H. Hinnant's algorithm), shifted to the 1899-12-30 epoch below.
int64_t DaysFrom1970(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t kDays1899To1970 = 25569;

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

int64_t DaysFromCivil(int year, int month, int day) {
    return DaysFrom1970(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kDays1899To1970;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    const int64_t z = days - kDays1899To1970 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

TDateTime EncodeDateTime(const DateParts& p) {
    const double date = static_cast<double>(DaysFromCivil(p.year, p.month, p.day));
    const double time = (((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond) / kMsPerDay;
    return date >= 0 ? date + time : date - time;
}

TDateTime EncodeDate(int year, int month, int day) {
    return static_cast<double>(DaysFromCivil(year, month, day));
}

DateParts DecodeDateTime(TDateTime value) {
    DateParts p;
    // Round to the millisecond first so that 0.999999 of a day does not read as 23:59:59.999.
    double days = std::trunc(value);
    double frac = std::fabs(value - days);
    auto ms = static_cast<int64_t>(std::llround(frac * kMsPerDay));
    if (ms >= static_cast<int64_t>(kMsPerDay)) {
        ms -= static_cast<int64_t>(kMsPerDay);
        days += value >= 0 ? 1 : -1;
    }
    CivilFromDays(static_cast<int64_t>(days), p.year, p.month, p.day);
    p.millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    p.second = static_cast<int>(ms % 60);
    ms /= 60;
    p.minute = static_cast<int>(ms % 60);
    p.hour = static_cast<int>(ms / 60);
    return p;
}

TDateTime DateOf(TDateTime value) {
    DateParts p = DecodeDateTime(value);
    return EncodeDate(p.year, p.month, p.day);
}

int WeekdayMondayFirst(TDateTime value) {
    const int64_t days = static_cast<int64_t>(std::trunc(value));
    // 1899-12-30 was a Saturday (5 when Monday is 0).
    int64_t w = (days + 5) % 7;
    if (w < 0) w += 7;
    return static_cast<int>(w);
}

TDateTime IncMonth(TDateTime value, int months) {
    DateParts p = DecodeDateTime(value);
    int64_t total = static_cast<int64_t>(p.year) * 12 + (p.month - 1) + months;
    p.year = static_cast<int>(total / 12);
    p.month = static_cast<int>(total % 12) + 1;
    if (p.day > DaysInMonth(p.year, p.month)) p.day = DaysInMonth(p.year, p.month);
    return EncodeDateTime(p);
}

} // namespace drivlet

#include "platform/LocalTime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <time.h>

namespace drivlet {

namespace {

// localtime_r takes a process-wide lock and works through the zone's rules on every call, and a
// scan converts a time per file on several threads. The offset from UTC is kept per hour of UTC
// time instead, where it is the same at both ends of the hour (a zone does not change twice within
// one), and the wall time is worked out from it.
struct HourOffset {
    int64_t hour = std::numeric_limits<int64_t>::min();
    long offset = 0;
    bool steady = false;
};

constexpr int64_t kHour = 3600;

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

DateParts PartsOf(const std::tm& tm) {
    DateParts p;
    p.year = tm.tm_year + 1900;
    p.month = tm.tm_mon + 1;
    p.day = tm.tm_mday;
    p.hour = tm.tm_hour;
    p.minute = tm.tm_min;
    p.second = tm.tm_sec > 59 ? 59 : tm.tm_sec; // a leap second is held at :59
    return p;
}

} // namespace

DateParts LocalDateParts(time_t secs) {
    thread_local HourOffset cached;
    const int64_t hour = FloorDiv(static_cast<int64_t>(secs), kHour);
    if (hour != cached.hour) {
        std::tm first{}, last{};
        const time_t start = static_cast<time_t>(hour * kHour);
        const time_t end = static_cast<time_t>(hour * kHour + kHour - 1);
        const bool read = localtime_r(&start, &first) != nullptr && localtime_r(&end, &last) != nullptr;
        cached.hour = hour;
        cached.offset = first.tm_gmtoff;
        cached.steady = read && first.tm_gmtoff == last.tm_gmtoff;
    }
    if (!cached.steady) {
        std::tm tm{};
        localtime_r(&secs, &tm);
        return PartsOf(tm);
    }
    const int64_t local = static_cast<int64_t>(secs) + cached.offset;
    const int64_t day = FloorDiv(local, 86400);
    const int64_t inDay = local - day * 86400;
    DateParts p;
    // Day 0 of the program's count is 1899-12-30, 25569 days before 1970-01-01.
    CivilFromDays(day + 25569, p.year, p.month, p.day);
    p.hour = static_cast<int>(inDay / 3600);
    p.minute = static_cast<int>(inDay / 60 % 60);
    p.second = static_cast<int>(inDay % 60);
    return p;
}

TDateTime ToLocalDateTime(const std::timespec& ts) {
    DateParts p = LocalDateParts(ts.tv_sec);
    p.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    return EncodeDateTime(p);
}

TDateTime ToLocalDateTime(std::chrono::system_clock::time_point instant) {
    using namespace std::chrono;
    const auto ns = duration_cast<nanoseconds>(instant.time_since_epoch()).count();
    std::timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
    if (ts.tv_nsec < 0) {
        ts.tv_nsec += 1000000000;
        ts.tv_sec -= 1;
    }
    return ToLocalDateTime(ts);
}

std::chrono::system_clock::time_point FromLocalDateTime(TDateTime value) {
    DateParts p = DecodeDateTime(value);
    const int ms = p.millisecond;
    p.millisecond = 0;
    const TDateTime target = EncodeDateTime(p);
    auto wall = [](time_t c) {
        std::tm tm{};
        localtime_r(&c, &tm);
        DateParts w{tm.tm_year + 1900,
                    tm.tm_mon + 1,
                    tm.tm_mday,
                    tm.tm_hour,
                    tm.tm_min,
                    tm.tm_sec > 59 ? 59 : tm.tm_sec,
                    0};
        return EncodeDateTime(w);
    };
    auto make = [&](int isdst) {
        std::tm tm{};
        tm.tm_year = p.year - 1900;
        tm.tm_mon = p.month - 1;
        tm.tm_mday = p.day;
        tm.tm_hour = p.hour;
        tm.tm_min = p.minute;
        tm.tm_sec = p.second;
        tm.tm_isdst = isdst;
        return mktime(&tm);
    };
    const time_t a = make(0), b = make(1);
    const time_t lo = std::min(a, b), hi = std::max(a, b);
    time_t result;
    if (wall(lo) == target)
        result = lo; // a repeated wall time takes its first occurrence
    else if (wall(hi) == target)
        result = hi;
    else {
        // Skipped by a daylight-saving gap: the first instant whose wall time is past it.
        time_t l = lo, h = hi;
        while (l < h) {
            const time_t mid = l + (h - l) / 2;
            if (wall(mid) >= target)
                h = mid;
            else
                l = mid + 1;
        }
        result = l;
    }
    using namespace std::chrono;
    return system_clock::from_time_t(result) + milliseconds(ms);
}

TDateTime SystemClock::Now() const {
    return ToLocalDateTime(std::chrono::system_clock::now());
}

const SystemClock& SystemClock::Instance() {
    static const SystemClock clock;
    return clock;
}

} // namespace drivlet

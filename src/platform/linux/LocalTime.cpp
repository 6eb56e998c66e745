#include "platform/LocalTime.h"

#include <algorithm>
#include <cmath>
#include <time.h>

namespace drivlet {

TDateTime ToLocalDateTime(const std::timespec& ts) {
    std::tm tm{};
    time_t secs = ts.tv_sec;
    localtime_r(&secs, &tm);
    DateParts p;
    p.year = tm.tm_year + 1900;
    p.month = tm.tm_mon + 1;
    p.day = tm.tm_mday;
    p.hour = tm.tm_hour;
    p.minute = tm.tm_min;
    p.second = tm.tm_sec > 59 ? 59 : tm.tm_sec; // a leap second is held at :59
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

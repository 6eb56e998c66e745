// The local wall time of file times, worked out from a cached hourly offset, against the C
// library's own conversion, in zones with daylight saving, half-hour offsets and before 1970.
#include "platform/LocalTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace drivlet {
namespace {

class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

void ExpectSameAsLibrary(std::time_t secs) {
    std::tm tm{};
    ASSERT_NE(localtime_r(&secs, &tm), nullptr);
    const DateParts p = LocalDateParts(secs);
    const std::string at = "at " + std::to_string(static_cast<long long>(secs));
    EXPECT_EQ(p.year, tm.tm_year + 1900) << at;
    EXPECT_EQ(p.month, tm.tm_mon + 1) << at;
    EXPECT_EQ(p.day, tm.tm_mday) << at;
    EXPECT_EQ(p.hour, tm.tm_hour) << at;
    EXPECT_EQ(p.minute, tm.tm_min) << at;
    EXPECT_EQ(p.second, tm.tm_sec) << at;
}

// Each zone gets its own span of years: the conversion keeps the hour it last looked at, and a
// zone changed under it is only read afresh for other hours.
void SweepYear(int yearsFrom1970) {
    const std::time_t start = static_cast<std::time_t>(yearsFrom1970) * 365 * 86400;
    // Every 7 minutes 13 seconds over a year passes every kind of hour, both changes included,
    // and the seconds either side of each hour's edges.
    for (std::time_t t = start; t < start + 366 * 86400; t += 433) {
        ExpectSameAsLibrary(t);
        if (::testing::Test::HasFailure()) return;
    }
    for (std::time_t t = start; t < start + 366 * 86400; t += 3600) {
        ExpectSameAsLibrary(t - 1);
        ExpectSameAsLibrary(t);
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(LocalWallTime, MatchesTheLibraryAcrossDaylightSavingChanges) {
    ZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
    SweepYear(61);
}

TEST(LocalWallTime, MatchesTheLibraryInHalfHourZonesWestOfGreenwich) {
    ZoneScope zone("NST3:30NDT,M3.2.0,M11.1.0");
    SweepYear(63);
}

TEST(LocalWallTime, MatchesTheLibraryBefore1970AndInUtc) {
    {
        ZoneScope zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
        SweepYear(-3);
    }
    ZoneScope zone("UTC0");
    SweepYear(-12);
}

} // namespace
} // namespace drivlet

#include "cli/ShiftedClock.h"

#include <cstdio>
#include <string>

namespace drivlet::cli {

std::optional<TDateTime> ParseClockText(std::string_view text) {
    const std::string copy(text);
    DateParts p;
    int used = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &p.year, &p.month, &p.day, &p.hour, &p.minute,
                    &p.second, &used) != 6 ||
        used != static_cast<int>(copy.size()))
        return std::nullopt;
    if (!IsValidDate(p.year, p.month, p.day) || p.hour > 23 || p.minute > 59 || p.second > 59 || p.hour < 0 ||
        p.minute < 0 || p.second < 0)
        return std::nullopt;
    return EncodeDateTime(p);
}

TDateTime ShiftedClock::Now() const {
    const auto elapsed = std::chrono::steady_clock::now() - origin_;
    return start_ + std::chrono::duration<double>(elapsed).count() / 86400.0;
}

} // namespace drivlet::cli

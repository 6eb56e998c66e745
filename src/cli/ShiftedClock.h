#pragma once
// A clock that starts at a given local time and runs on at the real pace. `drivlet-cli watch`
// takes its start from DRIVLET_CLI_CLOCK ("yyyy-mm-dd hh:nn:ss") so that tests can put a due
// time a second ahead; nothing else reads it.
#include "core/time/DateTime.h"

#include <chrono>
#include <optional>
#include <string_view>

namespace drivlet::cli {

inline constexpr const char* kClockVariable = "DRIVLET_CLI_CLOCK";

// "yyyy-mm-dd hh:nn:ss" as a date-time; nothing for any other text or an invalid date.
std::optional<TDateTime> ParseClockText(std::string_view text);

class ShiftedClock final : public IClock {
public:
    explicit ShiftedClock(TDateTime start) : start_(start), origin_(std::chrono::steady_clock::now()) {}
    TDateTime Now() const override;

private:
    TDateTime start_;
    std::chrono::steady_clock::time_point origin_;
};

} // namespace drivlet::cli

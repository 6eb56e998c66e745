#pragma once
// The clock of a job's status panel: elapsed time since the worker started, the speed text, and
// the remaining time that counts itself down by a second on every tick until the next estimate.
#include "core/time/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace drivlet {

// "05 : 07 : 09" from a span in days: hours (which may pass 99), minutes, seconds, each cut
// down to whole units. Nothing for a span that cannot be shown (negative, not a number, huge).
std::optional<std::string> ClockText(double days);

// The three labels of one tick.
struct ClockTexts {
    std::string elapsed;   // "00 : 05 : 07", or "N/A"
    std::string speed;     // "Speed  " + the last speed text
    std::string remaining; // "Remaing time " + "00 : 00 : 09", or "Remaing time N/A"
};

class StatusClock {
public:
    // The labels before the first tick.
    static constexpr std::string_view kElapsedAtStart = "00:00:00";
    static constexpr std::string_view kSpeedAtStart = "Speed";
    static constexpr std::string_view kRemainingAtStart = "Remaing time";

    // A status of the worker: its speed text and its fresh estimate of the time left (days; a
    // negative estimate is none).
    void OnStatus(std::string speed, double remainingDays);

    // Once a second while the job runs. `startTime` is the worker's start; 0 while it has not
    // started, which shows "N/A".
    ClockTexts Tick(TDateTime now, TDateTime startTime);

    const std::string& Speed() const { return speed_; }

private:
    std::string speed_;
    // Whole milliseconds, so that a ten-second estimate reads ten distinct seconds.
    std::optional<int64_t> remainingMs_;
};

// The tab of a job: its name, or "New Job" for a name of blanks only.
std::string JobTabCaption(std::string_view jobName);

} // namespace drivlet

#pragma once
// Conversions between instants and the program's local day-count date-time, and the clock that
// reads the system time.
#include "core/time/DateTime.h"

#include <chrono>
#include <ctime>

namespace drivlet {

// Local wall time of an instant, at millisecond resolution.
TDateTime ToLocalDateTime(std::chrono::system_clock::time_point instant);
TDateTime ToLocalDateTime(const std::timespec& ts);
// The local wall time of a whole second (milliseconds 0).
DateParts LocalDateParts(std::time_t secs);
// The instant at which local wall time shows the value. A wall time skipped by a daylight-saving
// change maps to the instant after the gap; a repeated one to its first occurrence.
std::chrono::system_clock::time_point FromLocalDateTime(TDateTime value);

class SystemClock final : public IClock {
public:
    TDateTime Now() const override;
    static const SystemClock& Instance();
};

} // namespace drivlet

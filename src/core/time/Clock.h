#pragma once
#include "core/time/DateTime.h"

namespace drivlet {

// The system's local time; code that tests must control takes an IClock instead.
const IClock& DefaultClock();

} // namespace drivlet

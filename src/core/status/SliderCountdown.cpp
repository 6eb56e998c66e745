#include "core/status/SliderCountdown.h"

#include <cstdio>

namespace drivlet {

std::string SliderCountdown::StepCaption() const {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", remaining_ / 1000.0);
    return std::string("Auto Closing In ") + seconds + "  Seconds";
}

} // namespace drivlet

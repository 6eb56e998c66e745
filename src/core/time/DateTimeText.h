#pragma once
// A date-time as the lists show it, in the user's short date and long time form. The front end
// gives its own form through a DateTimeTextFormat; core code falls back on the default.
#include "core/time/DateTime.h"

#include <functional>
#include <string>

namespace drivlet {

using DateTimeTextFormat = std::function<std::string(TDateTime)>;

// "2011-03-24 13:57:31"; the date alone when the time is exactly midnight.
std::string DefaultDateTimeText(TDateTime value);

} // namespace drivlet

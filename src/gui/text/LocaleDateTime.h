#pragma once
// Date-times as the windows show them: the user's short date and long time form.
#include "core/time/DateTime.h"

#include <string>

namespace drivlet::gui {

// Date and time, always both (the log's time stamps).
std::string LocaleDateTimeText(TDateTime value);
// The date alone when the time is exactly midnight (file dates in lists).
std::string LocaleFileDateText(TDateTime value);

} // namespace drivlet::gui

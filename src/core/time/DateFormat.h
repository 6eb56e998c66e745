#pragma once
// Date-time text in the program's pattern letters: yyyy, mm (month), dd, hh, nn (minute), ss.
// Every other character is copied as it stands.
#include "core/time/DateTime.h"

#include <string>
#include <string_view>

namespace drivlet {

std::string FormatDateTime(TDateTime value, std::string_view pattern);

} // namespace drivlet

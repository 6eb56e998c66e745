#include "core/time/DateTimeText.h"

#include "core/time/DateFormat.h"

namespace drivlet {

std::string DefaultDateTimeText(TDateTime value) {
    const DateParts p = DecodeDateTime(value);
    const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0;
    return FormatDateTime(value, midnight ? "yyyy-mm-dd" : "yyyy-mm-dd hh:nn:ss");
}

} // namespace drivlet

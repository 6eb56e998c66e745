#include "core/time/DateFormat.h"

#include <cstdio>

namespace drivlet {
namespace {

void AppendNumber(std::string& out, int value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
    out += buffer;
}

} // namespace

std::string FormatDateTime(TDateTime value, std::string_view pattern) {
    const DateParts p = DecodeDateTime(value);
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        const std::string_view rest = pattern.substr(i);
        if (rest.substr(0, 4) == "yyyy") {
            AppendNumber(out, p.year, 4);
            i += 4;
            continue;
        }
        const std::string_view two = rest.substr(0, 2);
        const int field = two == "mm" ? p.month
                          : two == "dd" ? p.day
                          : two == "hh" ? p.hour
                          : two == "nn" ? p.minute
                          : two == "ss" ? p.second
                                        : -1;
        if (field >= 0) {
            AppendNumber(out, field, 2);
            i += 2;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

} // namespace drivlet

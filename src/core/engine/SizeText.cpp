#include "core/engine/SizeText.h"

#include "core/text/SizeTexts.h"

#include <cmath>
#include <cstdio>

namespace drivlet {

std::string FormatSize(int64_t bytes) {
    return SizeText(bytes);
}

std::string FormatThousands(double value) {
    const double rounded = std::round(value * 10000.0) / 10000.0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", rounded);
    std::string digits(buffer);
    std::string sign;
    if (!digits.empty() && digits.front() == '-') {
        sign = "-";
        digits.erase(0, 1);
    }
    const std::size_t dot = digits.find('.');
    std::string whole = digits.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : digits.substr(dot);
    for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
        whole.insert(i, ",");
    return sign + whole + fraction;
}

std::string FormatSpeed(double b) {
    // Each unit takes over from the one below it at a value of 1, gigabytes only above 1.
    if (b / 1024.0 / 1024.0 / 1024.0 > 1) return FormatThousands(b / 1024.0 / 1024.0 / 1024.0) + "GB/s";
    if (b / 1024.0 / 1024.0 >= 1) return FormatThousands(b / 1024.0 / 1024.0) + "MB/s";
    if (b / 1024.0 >= 1) return FormatThousands(b / 1024.0) + "KB/s";
    return FormatThousands(b) + "B/s";
}

} // namespace drivlet

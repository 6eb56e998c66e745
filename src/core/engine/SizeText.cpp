#include "core/engine/SizeText.h"

#include <cmath>
#include <cstdio>

namespace drivlet {
namespace {

// The "####0.##" number format: at most two decimals, none that are zero.
std::string TwoDecimalsAtMost(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    std::string text(buffer);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

} // namespace

std::string FormatSize(int64_t bytes) {
    constexpr double kKb = 1024.0, kMb = 1048576.0, kGb = 1073741824.0;
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    const double n = static_cast<double>(bytes);
    if (bytes < 1048576) return TwoDecimalsAtMost(n / kKb) + " Kb";
    if (bytes < 1073741824) return TwoDecimalsAtMost(n / kMb) + " Mb";
    return TwoDecimalsAtMost(n / kGb) + " Gb";
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

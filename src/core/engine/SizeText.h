#pragma once
// Size and speed texts of the status panel and the low-disk prompt.
#include <cstdint>
#include <string>

namespace drivlet {

// "100 bytes", "1.5 Kb", "12 Mb", "2.25 Gb": up to two decimals, trailing zeros dropped.
std::string FormatSize(int64_t bytes);

// The value rounded to four decimals, then written with two decimals and thousands separators:
// 1234.5678 -> "1,234.57".
std::string FormatThousands(double value);

// Bytes per second as "1,023.00B/s", "1.00KB/s", "1,024.00MB/s", "1.50GB/s".
std::string FormatSpeed(double bytesPerSecond);

} // namespace drivlet

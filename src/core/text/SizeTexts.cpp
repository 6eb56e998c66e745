#include "core/text/SizeTexts.h"

#include <cstdio>

namespace drivlet {
namespace {

constexpr uint64_t kKb = 1024, kMb = kKb * 1024, kGb = kMb * 1024;

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

std::string MagnitudeText(uint64_t n, const SizeUnits& units) {
    const double value = static_cast<double>(n);
    if (n < kKb) return std::to_string(n) + units.bytes;
    if (n < kMb) return TwoDecimalsAtMost(value / kKb) + units.kilo;
    if (n < kGb) return TwoDecimalsAtMost(value / kMb) + units.mega;
    return TwoDecimalsAtMost(value / kGb) + units.giga;
}

// The magnitude without overflow for the most negative count.
uint64_t Magnitude(int64_t n) {
    return n < 0 ? uint64_t{0} - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
}

} // namespace

std::string SizeText(int64_t bytes, const SizeUnits& units) {
    if (bytes < 0) return std::to_string(bytes) + units.bytes;
    return MagnitudeText(static_cast<uint64_t>(bytes), units);
}

std::string SignedSizeText(int64_t bytes) {
    return (bytes < 0 ? "-" : "") + MagnitudeText(Magnitude(bytes), kSizeUnits);
}

std::string DriveSpaceText(int64_t bytes) {
    return bytes == -1 ? "N/A" : SignedSizeText(bytes);
}

std::string FileSizeText(int64_t bytes) {
    return bytes == -1 ? "File Not Found" : SizeText(bytes, kFileSizeUnits);
}

} // namespace drivlet

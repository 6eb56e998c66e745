#include "core/stream/Extended80.h"

#include <cmath>
#include <limits>

namespace drivlet {

namespace {
constexpr int kBias = 16383;
}

Extended80 EncodeExtended(double value) {
    uint64_t mantissa = 0;
    uint16_t exponent = 0;
    const bool negative = std::signbit(value);
    if (std::isnan(value)) {
        exponent = 0x7FFF;
        mantissa = 0xC000000000000000ULL;
    } else if (std::isinf(value)) {
        exponent = 0x7FFF;
        mantissa = 0x8000000000000000ULL;
    } else if (value != 0) {
        int e = 0;
        const double m = std::frexp(std::fabs(value), &e); // m in [0.5, 1): every double is normal here
        mantissa = static_cast<uint64_t>(std::ldexp(m, 64));
        exponent = static_cast<uint16_t>(e - 1 + kBias);
    }
    if (negative) exponent |= 0x8000;
    Extended80 out{};
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    out[8] = static_cast<uint8_t>(exponent);
    out[9] = static_cast<uint8_t>(exponent >> 8);
    return out;
}

double DecodeExtended(const Extended80& b) {
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= static_cast<uint64_t>(b[i]) << (8 * i);
    const uint16_t se = static_cast<uint16_t>(b[8] | (b[9] << 8));
    const bool negative = (se & 0x8000) != 0;
    const int exponent = se & 0x7FFF;
    double result;
    if (exponent == 0x7FFF) {
        const bool inf = (mantissa << 1) == 0;
        result = inf ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    } else if (mantissa == 0) {
        result = 0;
    } else {
        // Round the 64-bit significand to 53 bits first (exact ldexp afterwards for normal results).
        const int e = (exponent == 0 ? 1 : exponent) - kBias - 63;
        if (e > 1100) {
            result = std::numeric_limits<double>::infinity();
        } else if (e < -1200) {
            result = 0;
        } else {
            result = std::ldexp(static_cast<double>(mantissa), e);
        }
    }
    return negative ? -result : result;
}

} // namespace drivlet

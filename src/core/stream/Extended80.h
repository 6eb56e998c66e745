#pragma once
// The 80-bit IEEE 754 extended format of stored date-times, encoded and decoded by bit
// manipulation so that it does not depend on the compiler's long double.
#include <array>
#include <cstdint>

namespace drivlet {

using Extended80 = std::array<uint8_t, 10>; // little-endian: 8 bytes significand, 2 bytes sign+exponent

Extended80 EncodeExtended(double value);
// Rounds to the nearest double; out-of-range magnitudes become infinity or zero.
double DecodeExtended(const Extended80& bytes);

} // namespace drivlet

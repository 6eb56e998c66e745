#pragma once
#include <cstdint>

namespace drivlet::tag {
constexpr uint8_t Null = 0;
constexpr uint8_t List = 1;
constexpr uint8_t Int8 = 2;
constexpr uint8_t Int16 = 3;
constexpr uint8_t Int32 = 4;
constexpr uint8_t Extended = 5;
constexpr uint8_t String = 6;
constexpr uint8_t Ident = 7;
constexpr uint8_t False = 8;
constexpr uint8_t True = 9;
constexpr uint8_t Set = 11;
constexpr uint8_t LString = 12;
constexpr uint8_t Nil = 13;
constexpr uint8_t Collection = 14;
constexpr uint8_t WString = 18;
constexpr uint8_t Int64 = 19;
constexpr uint8_t Utf8String = 20;
} // namespace drivlet::tag

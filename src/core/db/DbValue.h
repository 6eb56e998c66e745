#pragma once
// One field's value as the database layer hands it around: NULL, a 64-bit integer, a real (the
// date-time columns hold the day-count double), text (UTF-8) or long binary.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace drivlet {

using DbValue = std::variant<std::monostate, int64_t, double, std::string, std::vector<uint8_t>>;

inline bool IsNull(const DbValue& v) {
    return std::holds_alternative<std::monostate>(v);
}

} // namespace drivlet

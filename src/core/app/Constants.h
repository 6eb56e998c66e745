#pragma once
// Program-wide constants.
#include <string_view>

namespace drivlet {

inline constexpr std::string_view kProductTitle = "Drivlet";
inline constexpr std::string_view kVendorSubPath = "Quorvane/Drivlet";
inline constexpr std::string_view kVersionText = "V 4.0.1";
inline constexpr std::string_view kBuildDateText = "2010-08-16";

} // namespace drivlet

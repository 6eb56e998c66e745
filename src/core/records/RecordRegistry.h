#pragma once
// Creates a stored record from the class name its stream carries.
#include "core/stream/TSaveLoadComponent.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

// Nothing for a class that is not a stored record of this program.
std::unique_ptr<TSaveLoadComponent> CreateRecord(std::string_view className,
                                                 const std::filesystem::path& programDataRoot);
const std::vector<std::string_view>& RecordClassNames();

// The class name of an object stream, or of a compressed container holding one.
std::optional<std::string> StreamClassName(std::span<const uint8_t> bytes);

} // namespace drivlet

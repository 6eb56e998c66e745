#pragma once
// A job record read for a run, without a dialog: a file that is missing or cannot be read is a
// refusal to show, and the record is not used (so a damaged job file is never saved over).
#include "core/launch/JobRefusal.h"
#include "core/stream/TSaveLoadComponent.h"

#include <optional>
#include <string>

namespace drivlet {

// Nothing when the record was read.
[[nodiscard]] std::optional<JobRefusal> ReadJobRecord(TSaveLoadComponent& record, const std::string& jobFile);

} // namespace drivlet

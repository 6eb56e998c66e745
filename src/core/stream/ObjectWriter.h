#pragma once
// Writes an object's published properties as an object stream ("TPF0" ...).
#include "core/stream/TPersistent.h"

#include <cstdint>
#include <vector>

namespace drivlet {

std::vector<uint8_t> WriteObjectStream(TPersistent& object);

} // namespace drivlet

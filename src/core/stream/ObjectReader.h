#pragma once
// Reads an object stream into an existing object. Any fault in the input (bad signature, unknown
// property, a tag that does not fit, a length beyond the end) throws StreamError; properties read
// before the fault keep their new values.
#include "core/stream/TPersistent.h"

#include <cstdint>
#include <span>
#include <stdexcept>

namespace drivlet {

class StreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void ReadObjectStream(std::span<const uint8_t> data, TPersistent& object);

} // namespace drivlet

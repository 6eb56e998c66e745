#pragma once
// A stored record as JSON: {"class": name, "properties": {...}} in stream order; nested objects as
// objects, lists as arrays, collections as arrays of objects, enumerations and set members by
// value name, date-times as numbers.
#include "core/stream/TPersistent.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace drivlet::cli {

using Json = nlohmann::ordered_json;

class JsonRecordError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Json PropertiesToJson(TPersistent& object);
Json RecordToJson(TPersistent& record);
// Sets the properties the JSON object names; the others keep their values. Throws JsonRecordError
// naming the property that is unknown or of the wrong kind.
void PropertiesFromJson(const Json& properties, TPersistent& object, const std::string& path = "");

} // namespace drivlet::cli

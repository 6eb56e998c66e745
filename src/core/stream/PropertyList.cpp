#include "core/stream/TPersistent.h"

#include "core/text/CaseFold.h"

#include <limits>

namespace drivlet {

namespace {
PropertyDef Make(std::string name, PropertyKind kind) {
    PropertyDef d;
    d.name = std::move(name);
    d.kind = kind;
    return d;
}
} // namespace

void PropertyList::Integer(std::string name, int32_t& value, std::optional<int32_t> declaredDefault) {
    PropertyDef d = Make(std::move(name), PropertyKind::Integer);
    d.getInt = [&value] { return static_cast<int64_t>(value); };
    d.setInt = [&value](int64_t v) { value = static_cast<int32_t>(v); };
    d.min = std::numeric_limits<int32_t>::min();
    d.max = std::numeric_limits<int32_t>::max();
    d.declaredDefault = declaredDefault;
    defs_.push_back(std::move(d));
}

void PropertyList::Byte(std::string name, uint8_t& value, std::optional<uint8_t> declaredDefault) {
    PropertyDef d = Make(std::move(name), PropertyKind::Integer);
    d.getInt = [&value] { return static_cast<int64_t>(value); };
    d.setInt = [&value](int64_t v) { value = static_cast<uint8_t>(v); };
    d.min = 0;
    d.max = 255;
    d.declaredDefault = declaredDefault;
    defs_.push_back(std::move(d));
}

void PropertyList::Int64(std::string name, int64_t& value) {
    PropertyDef d = Make(std::move(name), PropertyKind::Int64);
    d.getInt = [&value] { return value; };
    d.setInt = [&value](int64_t v) { value = v; };
    d.min = std::numeric_limits<int64_t>::min();
    d.max = std::numeric_limits<int64_t>::max();
    defs_.push_back(std::move(d));
}

void PropertyList::Boolean(std::string name, bool& value, std::optional<bool> declaredDefault) {
    PropertyDef d = Make(std::move(name), PropertyKind::Boolean);
    d.getInt = [&value] { return value ? 1 : 0; };
    d.setInt = [&value](int64_t v) { value = v != 0; };
    d.max = 1;
    if (declaredDefault) d.declaredDefault = *declaredDefault ? 1 : 0;
    defs_.push_back(std::move(d));
}

void PropertyList::Set(std::string name, uint8_t& bits, ValueNames names,
                       std::optional<uint8_t> declaredDefault) {
    PropertyDef d = Make(std::move(name), PropertyKind::Set);
    d.getInt = [&bits] { return static_cast<int64_t>(bits); };
    d.setInt = [&bits](int64_t v) { bits = static_cast<uint8_t>(v); };
    d.max = (int64_t{1} << names.size()) - 1;
    d.declaredDefault = declaredDefault;
    d.names = names;
    defs_.push_back(std::move(d));
}

void PropertyList::DateTime(std::string name, double& value) {
    PropertyDef d = Make(std::move(name), PropertyKind::DateTime);
    d.dateTime = &value;
    defs_.push_back(std::move(d));
}

void PropertyList::Text(std::string name, std::string& value) {
    PropertyDef d = Make(std::move(name), PropertyKind::Text);
    d.text = &value;
    defs_.push_back(std::move(d));
}

void PropertyList::Strings(std::string name, TStringList& value) {
    PropertyDef d = Make(std::move(name), PropertyKind::Strings);
    d.strings = &value;
    defs_.push_back(std::move(d));
}

void PropertyList::Object(std::string name, TPersistent& value) {
    PropertyDef d = Make(std::move(name), PropertyKind::Object);
    d.object = &value;
    defs_.push_back(std::move(d));
}

void PropertyList::Collection(std::string name, TCollectionBase& value) {
    PropertyDef d = Make(std::move(name), PropertyKind::Collection);
    d.collection = &value;
    defs_.push_back(std::move(d));
}

const PropertyDef* PropertyList::Find(std::string_view name) const {
    for (const auto& d : defs_)
        if (SameText(d.name, name)) return &d;
    return nullptr;
}

} // namespace drivlet

#include "cli/RecordJson.h"

#include "core/text/CaseFold.h"

namespace drivlet::cli {

namespace {

Json ValueToJson(const PropertyDef& d) {
    switch (d.kind) {
    case PropertyKind::Integer:
    case PropertyKind::Int64:
        return d.getInt();
    case PropertyKind::Boolean:
        return d.getInt() != 0;
    case PropertyKind::Enumeration: {
        const int64_t v = d.getInt();
        if (v >= 0 && v < static_cast<int64_t>(d.names.size()))
            return std::string(d.names[static_cast<size_t>(v)]);
        return v;
    }
    case PropertyKind::Set: {
        Json members = Json::array();
        for (size_t i = 0; i < d.names.size(); ++i)
            if (d.getInt() & (int64_t{1} << i)) members.push_back(std::string(d.names[i]));
        return members;
    }
    case PropertyKind::DateTime:
        return *d.dateTime;
    case PropertyKind::Text:
        return *d.text;
    case PropertyKind::Strings:
        return d.strings->Items();
    case PropertyKind::Object:
        return PropertiesToJson(*d.object);
    case PropertyKind::Collection: {
        Json items = Json::array();
        for (size_t i = 0; i < d.collection->Count(); ++i)
            items.push_back(PropertiesToJson(d.collection->ItemAt(i)));
        return items;
    }
    }
    return nullptr;
}

[[noreturn]] void Bad(const std::string& name, const std::string& why) {
    throw JsonRecordError("property " + name + ": " + why);
}

int64_t NameIndex(const PropertyDef& d, const Json& v, const std::string& name) {
    if (!v.is_string()) Bad(name, "expected a value name");
    for (size_t i = 0; i < d.names.size(); ++i)
        if (SameText(d.names[i], v.get<std::string>())) return static_cast<int64_t>(i);
    Bad(name, "unknown value " + v.get<std::string>());
}

void ValueFromJson(const PropertyDef& d, const Json& v, const std::string& name) {
    switch (d.kind) {
    case PropertyKind::Integer:
    case PropertyKind::Int64: {
        if (!v.is_number_integer()) Bad(name, "expected an integer");
        const int64_t n = v.get<int64_t>();
        if (n < d.min || n > d.max) Bad(name, "out of range");
        d.setInt(n);
        return;
    }
    case PropertyKind::Boolean:
        if (!v.is_boolean()) Bad(name, "expected true or false");
        d.setInt(v.get<bool>() ? 1 : 0);
        return;
    case PropertyKind::Enumeration:
        d.setInt(NameIndex(d, v, name));
        return;
    case PropertyKind::Set: {
        if (!v.is_array()) Bad(name, "expected an array of member names");
        int64_t bits = 0;
        for (const Json& m : v)
            bits |= int64_t{1} << NameIndex(d, m, name);
        d.setInt(bits);
        return;
    }
    case PropertyKind::DateTime:
        if (!v.is_number()) Bad(name, "expected a number");
        *d.dateTime = v.get<double>();
        return;
    case PropertyKind::Text:
        if (!v.is_string()) Bad(name, "expected a text");
        *d.text = v.get<std::string>();
        return;
    case PropertyKind::Strings:
        if (!v.is_array()) Bad(name, "expected an array of texts");
        d.strings->Clear();
        for (const Json& item : v) {
            if (!item.is_string()) Bad(name, "expected an array of texts");
            d.strings->Add(item.get<std::string>());
        }
        return;
    case PropertyKind::Object:
        PropertiesFromJson(v, *d.object, name + ".");
        return;
    case PropertyKind::Collection:
        if (!v.is_array()) Bad(name, "expected an array of objects");
        d.collection->Clear();
        for (const Json& item : v)
            PropertiesFromJson(item, d.collection->AddItem(), name + "[].");
        return;
    }
}

} // namespace

Json PropertiesToJson(TPersistent& object) {
    Json out = Json::object();
    PropertyList list = object.Properties();
    for (const PropertyDef& d : list.Defs())
        out[d.name] = ValueToJson(d);
    return out;
}

Json RecordToJson(TPersistent& record) {
    Json out = Json::object();
    out["class"] = std::string(record.ClassName());
    out["properties"] = PropertiesToJson(record);
    return out;
}

void PropertiesFromJson(const Json& properties, TPersistent& object, const std::string& path) {
    if (!properties.is_object())
        throw JsonRecordError((path.empty() ? "properties" : path) + ": expected an object");
    PropertyList list = object.Properties();
    for (const auto& [key, value] : properties.items()) {
        const PropertyDef* d = list.Find(key);
        if (!d) throw JsonRecordError("unknown property " + path + key);
        ValueFromJson(*d, value, path + key);
    }
}

} // namespace drivlet::cli

#pragma once
// Spells out expected object-stream bytes piece by piece, independently of the writer.
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace drivlet::test {

class StreamBytes {
public:
    std::vector<uint8_t> bytes;

    StreamBytes& Raw(std::initializer_list<int> values) {
        for (int v : values)
            bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    StreamBytes& Chars(std::string_view s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    // One length byte, then the characters.
    StreamBytes& Short(std::string_view s) {
        bytes.push_back(static_cast<uint8_t>(s.size()));
        return Chars(s);
    }
    StreamBytes& Header(std::string_view className) { return Chars("TPF0").Short(className).Raw({0}); }
    StreamBytes& Name(std::string_view property) { return Short(property); }
    StreamBytes& Str(std::string_view property, std::string_view value) {
        return Name(property).Raw({6}).Short(value);
    }
    StreamBytes& Ident(std::string_view property, std::string_view value) {
        return Name(property).Raw({7}).Short(value);
    }
    StreamBytes& Int8(std::string_view property, int value) { return Name(property).Raw({2, value & 0xFF}); }
    StreamBytes& Bool(std::string_view property, bool value) { return Name(property).Raw({value ? 9 : 8}); }
    StreamBytes& List(std::string_view property, std::initializer_list<std::string_view> items) {
        Name(property).Raw({1});
        for (auto item : items)
            Raw({6}).Short(item);
        return Raw({0});
    }
    StreamBytes& End() { return Raw({0, 0}); }
};

} // namespace drivlet::test

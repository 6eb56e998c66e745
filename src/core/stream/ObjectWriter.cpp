#include "core/stream/ObjectWriter.h"

#include "core/stream/Extended80.h"
#include "core/stream/ValueTag.h"
#include "core/text/Encoding.h"

#include <limits>
#include <stdexcept>

namespace drivlet {
namespace {

class Writer {
public:
    std::vector<uint8_t> out;

    void Byte(uint8_t b) { out.push_back(b); }
    void Le(uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void ShortString(std::string_view s) {
        if (s.size() > 255) throw std::length_error("short string longer than 255 bytes");
        Byte(static_cast<uint8_t>(s.size()));
        out.insert(out.end(), s.begin(), s.end());
    }
    void Integer(int64_t v) {
        if (v >= -128 && v <= 127) {
            Byte(tag::Int8);
            Le(static_cast<uint64_t>(v), 1);
        } else if (v >= -32768 && v <= 32767) {
            Byte(tag::Int16);
            Le(static_cast<uint64_t>(v), 2);
        } else if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
            Byte(tag::Int32);
            Le(static_cast<uint64_t>(v), 4);
        } else {
            Byte(tag::Int64);
            Le(static_cast<uint64_t>(v), 8);
        }
    }
    void LongBytes(uint8_t t, std::string_view bytes) {
        Byte(t);
        Le(bytes.size(), 4);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    // Pure ASCII as 6 or 12, anything else as UTF-8 (20); list items never take the wide form.
    void NarrowText(std::string_view utf8) {
        if (!IsAscii(utf8)) {
            LongBytes(tag::Utf8String, utf8);
        } else if (utf8.size() <= 255) {
            Byte(tag::String);
            ShortString(utf8);
        } else {
            LongBytes(tag::LString, utf8);
        }
    }
    // The wide form is chosen when UTF-8 is not shorter than twice the UTF-16 length.
    void Text(std::string_view utf8) {
        const std::u16string wide = Utf8ToUtf16(utf8);
        if (utf8.size() < 2 * wide.size()) {
            NarrowText(utf8);
            return;
        }
        Byte(tag::WString);
        Le(wide.size(), 4);
        for (char16_t c : wide)
            Le(c, 2);
    }

    void Properties(TPersistent& object, const std::string& prefix) {
        PropertyList list = object.Properties();
        for (const PropertyDef& d : list.Defs())
            Property(d, prefix);
    }

    void Property(const PropertyDef& d, const std::string& prefix) {
        const std::string name = prefix + d.name;
        switch (d.kind) {
        case PropertyKind::Integer:
        case PropertyKind::Boolean:
        case PropertyKind::Enumeration:
        case PropertyKind::Set: {
            const int64_t v = d.getInt();
            if (d.declaredDefault && *d.declaredDefault == v) return;
            ShortString(name);
            if (d.kind == PropertyKind::Integer) {
                Integer(v);
            } else if (d.kind == PropertyKind::Boolean) {
                Byte(v ? tag::True : tag::False);
            } else if (d.kind == PropertyKind::Enumeration) {
                if (v < 0 || v >= static_cast<int64_t>(d.names.size()))
                    throw std::out_of_range("enumeration value out of range: " + name);
                Byte(tag::Ident);
                ShortString(d.names[static_cast<size_t>(v)]);
            } else {
                Byte(tag::Set);
                for (size_t i = 0; i < d.names.size(); ++i)
                    if (v & (int64_t{1} << i)) ShortString(d.names[i]);
                Byte(0);
            }
            return;
        }
        case PropertyKind::Int64: {
            const int64_t v = d.getInt();
            if (v == 0) return;
            ShortString(name);
            Integer(v);
            return;
        }
        case PropertyKind::DateTime: {
            if (*d.dateTime == 0) return;
            ShortString(name);
            Byte(tag::Extended);
            const Extended80 e = EncodeExtended(*d.dateTime);
            out.insert(out.end(), e.begin(), e.end());
            return;
        }
        case PropertyKind::Text:
            if (d.text->empty()) return;
            ShortString(name);
            Text(*d.text);
            return;
        case PropertyKind::Strings:
            if (d.strings->Empty()) return;
            ShortString(name + ".Strings");
            Byte(tag::List);
            for (const std::string& item : *d.strings)
                NarrowText(item);
            Byte(tag::Null);
            return;
        case PropertyKind::Object:
            Properties(*d.object, name + ".");
            return;
        case PropertyKind::Collection: {
            ShortString(name);
            Byte(tag::Collection);
            TCollectionBase& c = *d.collection;
            for (size_t i = 0; i < c.Count(); ++i) {
                Byte(tag::List);
                Properties(c.ItemAt(i), "");
                Byte(tag::Null);
            }
            Byte(tag::Null);
            return;
        }
        }
    }
};

} // namespace

std::vector<uint8_t> WriteObjectStream(TPersistent& object) {
    Writer w;
    w.out = {'T', 'P', 'F', '0'};
    w.ShortString(object.ClassName());
    w.ShortString(""); // records carry no object name
    w.Properties(object, "");
    w.Byte(0); // end of properties
    w.Byte(0); // end of child objects
    return std::move(w.out);
}

} // namespace drivlet

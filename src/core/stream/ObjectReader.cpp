#include "core/stream/ObjectReader.h"

#include "core/stream/Extended80.h"
#include "core/stream/ValueTag.h"
#include "core/text/CaseFold.h"
#include "core/text/Encoding.h"

#include <cmath>
#include <string>

namespace drivlet {
namespace {

// Nesting of objects inside collections inside objects; far beyond any record, so that a hostile
// stream cannot exhaust the stack.
constexpr int kMaxDepth = 16;

class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}

    uint8_t Byte() {
        Need(1);
        return data_[pos_++];
    }
    uint8_t Peek() {
        Need(1);
        return data_[pos_];
    }
    uint64_t Le(int bytes) {
        Need(static_cast<size_t>(bytes));
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
        pos_ += static_cast<size_t>(bytes);
        return v;
    }
    std::string Bytes(size_t n) {
        Need(n);
        std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
        pos_ += n;
        return s;
    }
    std::string ShortString() { return Bytes(Byte()); }
    // A 4-byte length, checked against what is left before anything is allocated.
    size_t Length(size_t unit) {
        const auto n = static_cast<int32_t>(Le(4));
        if (n < 0) Fail("negative length");
        const auto bytes = static_cast<uint64_t>(n) * unit;
        if (bytes > data_.size() - pos_) Fail("length beyond the end of the stream");
        return static_cast<size_t>(n);
    }

    [[noreturn]] void Fail(const std::string& why) const {
        throw StreamError(why + " at offset " + std::to_string(pos_));
    }

    void Object(TPersistent& object) {
        if (Bytes(4) != "TPF0") Fail("not an object stream");
        ShortString(); // the class name: a stream of another class loads when its properties exist
        ShortString(); // object name
        Properties(object, 0);
        if (Byte() != 0) Fail("child objects are not supported");
    }

private:
    void Need(size_t n) const {
        if (n > data_.size() - pos_) Fail("stream truncated");
    }

    // Property records up to and including the terminating 0.
    void Properties(TPersistent& object, int depth) {
        if (depth > kMaxDepth) Fail("objects nested too deeply");
        while (Peek() != 0) {
            const std::string name = ShortString();
            Assign(object, name, depth);
        }
        ++pos_;
    }

    void Assign(TPersistent& root, const std::string& name, int depth) {
        TPersistent* object = &root;
        size_t start = 0;
        // Each PropertyList binds the object it came from; keep the current one alive while used.
        PropertyList list = object->Properties();
        while (true) {
            const size_t dot = name.find('.', start);
            const std::string_view part = std::string_view(name).substr(start, dot - start);
            const PropertyDef* d = list.Find(part);
            if (!d) Fail("unknown property " + name);
            if (dot == std::string::npos) {
                Value(*d, name, depth);
                return;
            }
            const std::string_view rest = std::string_view(name).substr(dot + 1);
            if (d->kind == PropertyKind::Strings && SameText(rest, "Strings")) {
                StringsValue(*d->strings);
                return;
            }
            if (d->kind != PropertyKind::Object) Fail("unknown property " + name);
            object = d->object;
            list = object->Properties();
            start = dot + 1;
        }
    }

    int64_t IntegerValue(uint8_t t) {
        switch (t) {
        case tag::Int8:
            return static_cast<int8_t>(Le(1));
        case tag::Int16:
            return static_cast<int16_t>(Le(2));
        case tag::Int32:
            return static_cast<int32_t>(Le(4));
        case tag::Int64:
            return static_cast<int64_t>(Le(8));
        default:
            Fail("value does not fit an integer property");
        }
    }

    std::string TextValue(uint8_t t) {
        switch (t) {
        case tag::String:
            return Cp1252ToUtf8(ShortString());
        case tag::LString:
            return Cp1252ToUtf8(Bytes(Length(1)));
        case tag::Utf8String: {
            std::string s = Bytes(Length(1));
            // Damaged UTF-8 is mended to U+FFFD so the program never carries malformed text.
            return IsAscii(s) ? s : Utf16ToUtf8(Utf8ToUtf16(s));
        }
        case tag::WString: {
            const size_t n = Length(2);
            std::u16string w(n, u'\0');
            for (size_t i = 0; i < n; ++i)
                w[i] = static_cast<char16_t>(Le(2));
            return Utf16ToUtf8(w);
        }
        default:
            Fail("value does not fit a text property");
        }
    }

    size_t NameIndex(const PropertyDef& d, const std::string& ident) {
        for (size_t i = 0; i < d.names.size(); ++i)
            if (SameText(d.names[i], ident)) return i;
        Fail("unknown value " + ident + " for " + d.name);
    }

    void StringsValue(TStringList& list) {
        if (Byte() != tag::List) Fail("a string list needs a list value");
        list.Clear();
        while (Peek() != tag::Null)
            list.Add(TextValue(Byte()));
        ++pos_;
    }

    void Value(const PropertyDef& d, const std::string& name, int depth) {
        const uint8_t t = Byte();
        switch (d.kind) {
        case PropertyKind::Integer:
        case PropertyKind::Int64: {
            const int64_t v = IntegerValue(t);
            if (v < d.min || v > d.max) Fail("value out of range for " + name);
            d.setInt(v);
            return;
        }
        case PropertyKind::Boolean:
            if (t != tag::False && t != tag::True) Fail("value does not fit a boolean property");
            d.setInt(t == tag::True);
            return;
        case PropertyKind::Enumeration:
            if (t != tag::Ident) Fail("value does not fit an enumeration property");
            d.setInt(static_cast<int64_t>(NameIndex(d, ShortString())));
            return;
        case PropertyKind::Set: {
            if (t != tag::Set) Fail("value does not fit a set property");
            int64_t bits = 0;
            for (std::string member = ShortString(); !member.empty(); member = ShortString())
                bits |= int64_t{1} << NameIndex(d, member);
            d.setInt(bits);
            return;
        }
        case PropertyKind::DateTime: {
            double v;
            if (t == tag::Extended) {
                Extended80 e;
                for (auto& b : e)
                    b = Byte();
                v = DecodeExtended(e);
            } else {
                v = static_cast<double>(IntegerValue(t));
            }
            if (!std::isfinite(v) || std::fabs(v) > 3000000.0) Fail("date-time out of range for " + name);
            *d.dateTime = v;
            return;
        }
        case PropertyKind::Text:
            *d.text = TextValue(t);
            return;
        case PropertyKind::Collection: {
            if (t != tag::Collection) Fail("value does not fit a collection property");
            bool first = true;
            for (uint8_t item = Byte(); item != tag::Null; item = Byte()) {
                if (item != tag::List) Fail("bad collection item");
                if (first) d.collection->Clear(); // an empty collection record leaves the items as they were
                first = false;
                Properties(d.collection->AddItem(), depth + 1);
            }
            return;
        }
        case PropertyKind::Strings:
        case PropertyKind::Object:
            Fail("property " + name + " cannot take a value");
        }
    }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

} // namespace

void ReadObjectStream(std::span<const uint8_t> data, TPersistent& object) {
    Reader r(data);
    r.Object(object);
}

} // namespace drivlet

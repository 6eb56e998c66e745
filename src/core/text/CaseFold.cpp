#include "core/text/CaseFold.h"

#include "core/text/Encoding.h"

namespace drivlet {
namespace {

char16_t FoldChar(char16_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs capital/small on even/odd code points, except around 0x138..0x148
        // and 0x179..0x17E where the capital is odd.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? static_cast<char16_t>(c + 1) : c;
        if (c == 0x178) return 0xFF;
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        return (c & 1) ? c : static_cast<char16_t>(c + 1);
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    return c;
}

// The inverse of FoldChar over the same letters.
char16_t UpperChar(char16_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<char16_t>(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x13A && c <= 0x148) || (c >= 0x17A && c <= 0x17E))
            return (c & 1) ? c : static_cast<char16_t>(c - 1);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x139 || c == 0x149 || c >= 0x178) return c;
        return (c & 1) ? static_cast<char16_t>(c - 1) : c;
    }
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3CB) return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
    return c;
}

} // namespace

std::string LowerCase(std::string_view utf8) {
    if (IsAscii(utf8)) {
        std::string out(utf8);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        return out;
    }
    std::u16string w = Utf8ToUtf16(utf8);
    for (char16_t& c : w)
        c = FoldChar(c);
    return Utf16ToUtf8(w);
}

std::string UpperCase(std::string_view utf8) {
    if (IsAscii(utf8)) {
        std::string out(utf8);
        for (char& c : out)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        return out;
    }
    std::u16string w = Utf8ToUtf16(utf8);
    for (char16_t& c : w)
        c = UpperChar(c);
    return Utf16ToUtf8(w);
}

bool SameText(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = b[i];
            if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
            if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
            if (x != y) return false;
        }
        return true;
    }
    return LowerCase(a) == LowerCase(b);
}

} // namespace drivlet

#pragma once
// Conversions between the program's UTF-8 texts and the encodings found in stored records.
#include <string>
#include <string_view>

namespace drivlet {

bool IsAscii(std::string_view s);
// Records written elsewhere hold 8-bit texts in the Windows ANSI code page.
std::string Cp1252ToUtf8(std::string_view bytes);
// Invalid UTF-8 sequences become U+FFFD so that the UTF-16 form is always well formed.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

} // namespace drivlet

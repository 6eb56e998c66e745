#pragma once
// Small rules of the program's path texts, which name folders with a trailing "/".
#include <string>
#include <string_view>

namespace drivlet {

// The folder's path ending with one "/" ("" becomes "/").
inline std::string WithSlash(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

} // namespace drivlet

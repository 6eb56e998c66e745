#pragma once
// Letter-case folding for the program's case-insensitive comparisons (list lookups, extensions,
// file names on FAT drives). Folds ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic capitals.
#include <string>
#include <string_view>

namespace drivlet {

std::string LowerCase(std::string_view utf8);
std::string UpperCase(std::string_view utf8);
bool SameText(std::string_view a, std::string_view b);

} // namespace drivlet

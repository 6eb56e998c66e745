#pragma once
// Byte counts as text: one rule (bytes below 1024, then Kb, Mb and Gb with up to two decimals)
// in the four forms the windows show.
#include <cstdint>
#include <string>

namespace drivlet {

struct SizeUnits {
    const char* bytes;
    const char* kilo;
    const char* mega;
    const char* giga;
};

// " bytes", " Kb", " Mb", " Gb": the workers, the status panel, the Open Drive dialog.
inline constexpr SizeUnits kSizeUnits{" bytes", " Kb", " Mb", " Gb"};
// " Bytes", " KB", " MB", " GB": the sync wizards' file lists.
inline constexpr SizeUnits kFileSizeUnits{" Bytes", " KB", " MB", " GB"};

// The rule as it stands: a negative count is written as its decimal number and the bytes unit.
std::string SizeText(int64_t bytes, const SizeUnits& units = kSizeUnits);
// The backup and move wizards: a negative count is "-" and the text of its magnitude.
std::string SignedSizeText(int64_t bytes);
// The drive space list: -1 (unknown) is "N/A", other counts as the signed form.
std::string DriveSpaceText(int64_t bytes);
// The sync wizards' lists: -1 (nothing there) is "File Not Found".
std::string FileSizeText(int64_t bytes);

} // namespace drivlet

#pragma once
// The verbs that read and write stored records: `show FILE` and `write FILE`.
#include <filesystem>
#include <iosfwd>

namespace drivlet::cli {

namespace exitcode {
constexpr int Ok = 0;
constexpr int SomeFailed = 1;
constexpr int Cancelled = 2;
constexpr int Unreadable = 3;
} // namespace exitcode

int ShowRecord(const std::filesystem::path& file, const std::filesystem::path& programDataRoot,
               std::ostream& out, std::ostream& err);
int WriteRecord(const std::filesystem::path& file, const std::filesystem::path& programDataRoot,
                std::istream& in, std::ostream& err);

} // namespace drivlet::cli

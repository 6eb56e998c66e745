#pragma once
// Helpers of the file-service tests: large files of known content, folder contents.
#include "platform/linux/LinuxFileSystem.h"
#include "support/JournaledFiles.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace drivlet::test {

// A file of "size" bytes whose content follows from the seed.
void WritePatternFile(const std::filesystem::path& path, int64_t size, uint32_t seed);
bool SameContent(const std::filesystem::path& a, const std::filesystem::path& b);
// The names in a folder, hidden ones included, sorted.
std::vector<std::string> NamesIn(const std::filesystem::path& folder);
// Whether any name in the folder begins with the copy's temporary prefix.
bool HasTempFile(const std::filesystem::path& folder);

// A fresh folder and a file service of its own (so no earlier scan for stray files counts).
class FileServiceTest : public ::testing::Test {
protected:
    TempDir dir;
    TempDir journal;
    LinuxFileSystem files{JournalIn(journal.path())};
};

} // namespace drivlet::test

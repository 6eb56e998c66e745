#pragma once
// Helpers of the file-service tests: large files of known content, folder contents, a small
// tmpfs mounted for the test (where the system allows mounting).
#include "platform/linux/LinuxFileSystem.h"
#include "support/TempDir.h"

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
    LinuxFileSystem files;
};

class TmpfsMount {
public:
    // Mounts a tmpfs of the given size (mount option form, "1m") on the folder, which is created.
    TmpfsMount(const std::filesystem::path& folder, const std::string& size);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }
    const std::filesystem::path& path() const { return folder_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
    std::string error_;
};

} // namespace drivlet::test

// Skips the test where the system refuses the mount (no root, no mount namespace).
#define DRIVLET_REQUIRE_MOUNT(m)                                                                             \
    do {                                                                                                     \
        if (!(m).mounted()) GTEST_SKIP() << "mounting a tmpfs was refused: " << (m).error();                 \
    } while (0)

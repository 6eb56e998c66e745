#pragma once
// A small tmpfs mounted on a folder for one test: a volume of its own (a drive's root, a full
// disk), where the system allows mounting.
#include <filesystem>
#include <string>

namespace drivlet::test {

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

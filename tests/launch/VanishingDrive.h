#pragma once
// A drive that can be taken away in the middle of a run and given back: a loop-mounted ext4 image,
// lazily unmounted as a pulled stick is, where mounting is allowed; otherwise a plain folder that
// is renamed away and back.
#include <filesystem>
#include <string>

namespace drivlet::test {

class VanishingDrive {
public:
    enum class Kind { Mounted, Folder };

    // The drive's path is `mountPoint` + "/"; Mounted fails (Ready() false) where mounting is refused.
    VanishingDrive(Kind kind, const std::filesystem::path& workFolder);
    ~VanishingDrive();
    VanishingDrive(const VanishingDrive&) = delete;
    VanishingDrive& operator=(const VanishingDrive&) = delete;

    bool Ready() const { return ready_; }
    std::string Path() const { return mountPoint_.string() + "/"; }
    // What is left at the drive's path: the bare mount point folder, or nothing.
    void Vanish();
    // Back at the same path, once everything that held it open has let go of it.
    bool Return();

private:
    Kind kind_;
    std::filesystem::path image_;
    std::filesystem::path mountPoint_;
    std::filesystem::path away_;
    bool ready_ = false;
    bool mounted_ = false;
};

} // namespace drivlet::test

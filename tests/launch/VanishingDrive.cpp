#include "launch/VanishingDrive.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace drivlet::test {
namespace {

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    if (!pipe) return text;
    std::array<char, 256> buffer{};
    while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe.get()))
        text += buffer.data();
    return text;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

} // namespace

VanishingDrive::VanishingDrive(Kind kind, const std::filesystem::path& workFolder)
    : kind_(kind), image_(workFolder / "stick.img"), mountPoint_(workFolder / "STICK"),
      away_(workFolder / "STICK-away") {
    std::filesystem::create_directories(mountPoint_);
    if (kind_ == Kind::Folder) {
        ready_ = true;
        return;
    }
    ready_ = Shell("truncate -s 48M " + Quoted(image_)) && Shell("mkfs.ext4 -q -F " + Quoted(image_)) &&
             Shell("mount -o loop " + Quoted(image_) + " " + Quoted(mountPoint_));
    mounted_ = ready_;
}

VanishingDrive::~VanishingDrive() {
    if (mounted_) Shell("umount " + Quoted(mountPoint_));
}

void VanishingDrive::Vanish() {
    if (kind_ == Kind::Folder) {
        std::filesystem::rename(mountPoint_, away_);
        return;
    }
    Shell("umount -l " + Quoted(mountPoint_));
    mounted_ = false;
}

bool VanishingDrive::Return() {
    if (kind_ == Kind::Folder) {
        std::filesystem::rename(away_, mountPoint_);
        return true;
    }
    // The lazily unmounted volume lives on until its last user lets go; mounting the image again
    // before then would put one file system on two loop devices.
    for (int i = 0; i < 100000; ++i) {
        if (Output("losetup -j " + Quoted(image_)).empty()) {
            mounted_ = Shell("mount -o loop " + Quoted(image_) + " " + Quoted(mountPoint_));
            return mounted_;
        }
    }
    return false;
}

} // namespace drivlet::test

#include "support/TmpfsMount.h"

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

namespace drivlet::test {

TmpfsMount::TmpfsMount(const std::filesystem::path& folder, const std::string& size) : folder_(folder) {
    std::filesystem::create_directories(folder);
    const std::string options = "size=" + size + ",mode=0755";
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0)
        mounted_ = true;
    else
        error_ = std::strerror(errno);
}

TmpfsMount::~TmpfsMount() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
}

} // namespace drivlet::test

#include "platform/linux/LinuxFileLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drivlet {

std::unique_ptr<IFileLock> LinuxFileLock::TryTake(const std::filesystem::path& lockFile, FileStatus& status) {
    // A holder that lets go removes the file; a taker that opened it just before then holds a
    // lock on a name that is gone, so it checks that the name is still its file, and tries again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            status = FileStatus::FromErrno(errno);
            return nullptr;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            status = FileStatus::FromErrno(errno == EWOULDBLOCK ? EWOULDBLOCK : errno);
            ::close(fd);
            return nullptr;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(lockFile.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            status = {};
            return std::unique_ptr<IFileLock>(new LinuxFileLock(lockFile, fd));
        }
        ::close(fd);
    }
    status = FileStatus::FromErrno(EWOULDBLOCK);
    return nullptr;
}

LinuxFileLock::~LinuxFileLock() {
    // Removed while still held, so that nobody takes the name in between.
    ::unlink(path_.c_str());
    ::close(fd_);
}

} // namespace drivlet

#pragma once
// A lock file held with flock: the kernel lets go of it when the process dies, so a killed run
// never blocks the next one. The holder removes the file when it lets go.
#include "platform/FileSystem.h"

#include <filesystem>
#include <memory>

namespace drivlet {

class LinuxFileLock final : public IFileLock {
public:
    // Nothing while another holder has it (EWOULDBLOCK) or when the file cannot be made.
    static std::unique_ptr<IFileLock> TryTake(const std::filesystem::path& lockFile, FileStatus& status);
    ~LinuxFileLock() override;
    LinuxFileLock(const LinuxFileLock&) = delete;
    LinuxFileLock& operator=(const LinuxFileLock&) = delete;

private:
    LinuxFileLock(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    std::filesystem::path path_;
    int fd_;
};

} // namespace drivlet

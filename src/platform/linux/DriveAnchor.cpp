#include "platform/linux/DriveAnchor.h"

#include <atomic>
#include <cerrno>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>

namespace drivlet {

namespace {

constexpr const char* kProcFd = "/proc/self/fd/";

// Whether the kernel resolves beneath a handle itself; asked once (a sandbox may refuse it).
enum class Beneath { Unknown, Kernel, Walk };
std::atomic<Beneath> beneath{Beneath::Unknown};

std::string_view TrimSlashes(std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

std::vector<std::string> Components(std::string_view path) {
    std::vector<std::string> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".") parts.emplace_back(part);
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

bool IsLink(int dirFd, const std::string& relative) {
    struct stat st {};
    return fstatat(dirFd, relative.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

int WalkBeneath(int root, const std::string& relative, int flags) {
    const std::vector<std::string> parts = Components(relative);
    Fd folder;
    int at = root;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i] == "..") {
            errno = EXDEV;
            return -1;
        }
        folder = Fd(openat(at, parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder) {
            if (errno == ENOTDIR && IsLink(at, parts[i])) errno = EXDEV;
            return -1;
        }
        at = folder.get();
    }
    if (!parts.empty() && parts.back() == "..") {
        errno = EXDEV;
        return -1;
    }
    const char* last = parts.empty() ? "." : parts.back().c_str();
    Fd opened(openat(at, last, flags | O_NOFOLLOW));
    if (!opened) {
        if ((errno == ELOOP || errno == ENOTDIR) && IsLink(at, last)) errno = EXDEV;
        return -1;
    }
    if (flags & O_PATH) {
        struct stat st {};
        if (fstat(opened.get(), &st) == 0 && S_ISLNK(st.st_mode)) {
            errno = EXDEV;
            return -1;
        }
    }
    return opened.release();
}

DriveAnchor::DriveAnchor(std::string root, int fd)
    : root_(std::move(root)), fd_(fd), proc_(kProcFd + std::to_string(fd) + "/") {}

DriveAnchor::~DriveAnchor() {
    ::close(fd_);
}

std::shared_ptr<const DriveAnchor> DriveAnchor::Open(const std::string& drive) {
    std::string root = drive;
    if (root.empty() || ::access("/proc/self/fd", X_OK) != 0) return nullptr;
    if (root.back() != '/') root += '/';
    if (root == "/") return nullptr; // every path would go through it, and "/" is never pulled
    const int fd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::shared_ptr<const DriveAnchor>(new DriveAnchor(std::move(root), fd));
}

bool DriveAnchor::Below(const std::string& path, std::string& relative) const {
    if (path.compare(0, root_.size(), root_) == 0) {
        relative = path.substr(root_.size());
        return true;
    }
    if (path.size() + 1 == root_.size() && root_.compare(0, path.size(), path) == 0) {
        relative.clear();
        return true;
    }
    return false;
}

int DriveAnchor::OpenBeneath(const std::string& relative, int flags) const {
    const std::string_view trimmed = TrimSlashes(relative);
    const std::string path = trimmed.empty() ? std::string(".") : std::string(trimmed);
    if (beneath.load(std::memory_order_relaxed) != Beneath::Walk) {
        open_how how{};
        how.flags = static_cast<uint64_t>(flags);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const long fd = syscall(SYS_openat2, fd_, path.c_str(), &how, sizeof how);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) {
            beneath.store(Beneath::Kernel, std::memory_order_relaxed);
            return static_cast<int>(fd);
        }
        if (beneath.load(std::memory_order_relaxed) == Beneath::Kernel) return -1; // a real EPERM
        beneath.store(Beneath::Walk, std::memory_order_relaxed);
    }
    return WalkBeneath(fd_, path, flags);
}

FileStatus DriveAnchor::Refusal(const std::string& relative, int error) const {
    if (error != EXDEV) return FileStatus::FromErrno(error);
    // The first link on the way is the one that leads off (the folders before it are real).
    std::string prefix;
    for (const std::string& part : Components(relative)) {
        prefix += prefix.empty() ? part : "/" + part;
        if (!IsLink(fd_, prefix)) continue;
        char target[4096];
        const ssize_t n = readlinkat(fd_, prefix.c_str(), target, sizeof target - 1);
        std::string text = "Link leads off the drive: " + root_ + prefix;
        if (n > 0) text += " -> " + std::string(target, static_cast<std::size_t>(n));
        return FileStatus::WithMessage(ELOOP, std::move(text));
    }
    return FileStatus::WithMessage(ELOOP, "Path leads off the drive: " + root_ + relative);
}

NativePath DriveAnchor::Entry(const std::string& relative) const {
    NativePath native;
    native.anchor = shared_from_this();
    if (TrimSlashes(relative).empty()) {
        native.path = proc_;
        return native;
    }
    native.hold = Fd(OpenBeneath(relative, O_PATH | O_CLOEXEC));
    if (!native.hold) {
        native.refused = Refusal(relative, errno);
        return native;
    }
    native.path = kProcFd + std::to_string(native.hold.get());
    return native;
}

NativePath DriveAnchor::Name(const std::string& relative) const {
    const std::string_view trimmed = TrimSlashes(relative);
    const std::size_t slash = trimmed.rfind('/');
    const std::string_view leaf = slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
    if (leaf.empty() || leaf == "." || leaf == "..") return Entry(relative);
    NativePath native;
    native.anchor = shared_from_this();
    if (slash == std::string_view::npos) {
        native.path = proc_ + std::string(leaf);
        return native;
    }
    const std::string folder(trimmed.substr(0, slash));
    native.hold = Fd(OpenBeneath(folder, O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!native.hold) {
        native.refused = Refusal(folder, errno);
        return native;
    }
    native.path = kProcFd + std::to_string(native.hold.get()) + "/" + std::string(leaf);
    return native;
}

Fd DriveAnchor::OpenEntry(const std::string& relative, int flags, FileStatus& status) const {
    Fd fd(OpenBeneath(relative, flags | O_CLOEXEC));
    status = fd ? FileStatus() : Refusal(relative, errno);
    return fd;
}

} // namespace drivlet

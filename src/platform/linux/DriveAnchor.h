#pragma once
// A drive's root held open for a run. Every path below it is resolved beneath that handle: never
// through the mount point (a drive unmounted meanwhile, even lazily, never has its empty folder on
// the computer's disk written), and never through a link that leads off the drive, whatever a
// stick's crafted folders point at.
#include "platform/FileSystem.h"
#include "platform/linux/Fd.h"

#include <filesystem>
#include <memory>
#include <string>

namespace drivlet {

class DriveAnchor;

// A path as the system is given it. Below a drive it goes through a handle opened beneath the
// drive's root, held here while the path is used.
struct NativePath {
    std::string path;
    Fd hold;
    std::shared_ptr<const DriveAnchor> anchor; // keeps the root's handle open too
    FileStatus refused;                        // why there is no path: a missing folder, a link off the drive

    bool ok() const { return refused.ok(); }
    const char* c_str() const { return path.c_str(); }
};

// The resolution beneath a folder's handle where the kernel cannot do it (no openat2): one
// component at a time, none of them a link or "..", so stricter than the kernel's (a link that
// stays on the drive is refused too), never looser. A descriptor, or -1 with errno set (EXDEV for
// a link or a climb out).
int WalkBeneath(int root, const std::string& relative, int flags);

class DriveAnchor : public std::enable_shared_from_this<DriveAnchor> {
public:
    // Nothing when the folder cannot be opened or the system cannot name a handle.
    static std::shared_ptr<const DriveAnchor> Open(const std::string& root);
    ~DriveAnchor();
    DriveAnchor(const DriveAnchor&) = delete;
    DriveAnchor& operator=(const DriveAnchor&) = delete;

    const std::string& root() const { return root_; } // ending with "/"
    // The path's part below the root; false for a path elsewhere.
    bool Below(const std::string& path, std::string& relative) const;

    // The entry the path names, links on the way and at its end followed while they stay on the
    // drive: what a look at a file's status, a read or a listing is given.
    [[nodiscard]] NativePath Entry(const std::string& relative) const;
    // The name itself, in its folder resolved beneath the root: what a rename, a delete or a new
    // file is given. A link at the end is the link, not what it points at.
    [[nodiscard]] NativePath Name(const std::string& relative) const;
    // The entry opened with the flags (O_RDONLY and the like) beneath the root.
    [[nodiscard]] Fd OpenEntry(const std::string& relative, int flags, FileStatus& status) const;

private:
    DriveAnchor(std::string root, int fd);
    // Opens beneath the root; -1 with errno set. A path that would leave the drive fails with
    // EXDEV (ELOOP where the system cannot resolve beneath and the path holds a link).
    int OpenBeneath(const std::string& relative, int flags) const;
    // The failure of a path that could not be resolved, naming the link that leads off the drive.
    FileStatus Refusal(const std::string& relative, int error) const;

    std::string root_;
    int fd_;
    std::string proc_; // "/proc/self/fd/N/"
};

} // namespace drivlet

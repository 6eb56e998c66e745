#pragma once
// The file operations the workers perform: copies that never half-write a file, moves across
// volumes, deletes, attributes, file times in the two-second form, free space and folder listings.
#include "core/time/DateTime.h"
#include "platform/FileAttributes.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace drivlet {

// The outcome of one file operation: the system's error number and its message text, which is
// what a per-file log line shows as its status. A default-constructed status is a success.
class FileStatus {
public:
    FileStatus() = default;
    static FileStatus FromErrno(int code) {
        return code == 0 ? FileStatus() : FileStatus(code, std::generic_category().message(code));
    }
    static FileStatus Canceled() { return FromErrno(ECANCELED); }
    // A failure the system's message does not explain well enough (which link, which drive).
    static FileStatus WithMessage(int code, std::string message) {
        return FileStatus(code, std::move(message));
    }

    bool ok() const { return code_ == 0; }
    explicit operator bool() const { return ok(); }
    int code() const { return code_; }
    const std::string& message() const { return message_; }

private:
    FileStatus(int code, std::string message) : code_(code), message_(std::move(message)) {}
    int code_ = 0;
    std::string message_;
};

// Called once before the first byte moves and after every chunk; returning false cancels the
// copy, which then fails with FileStatus::Canceled().
using CopyProgress = std::function<bool(int64_t bytesDone, int64_t bytesTotal)>;

enum class CopyMode {
    Overwrite,    // an existing target is replaced as a whole, never left half-written
    FailIfExists, // an existing target is refused and left untouched
};

// -1 where the system cannot tell.
struct DiskSpace {
    int64_t freeBytes = -1; // what the user may still write (reserved blocks are not counted)
    int64_t totalBytes = -1;
};

// An entry that is neither a folder nor a regular file: nothing a copy may open as a file's
// content (a FIFO's reader waits for a writer that never comes).
enum class SpecialKind : uint8_t { None, Fifo, Socket, Device };

struct FolderEntry {
    std::string name;
    bool isDirectory = false;
    // The entry is a symbolic link; type, size and time are those of what it points to (of the
    // link itself when that is missing). Tree walks skip linked folders so a loop cannot trap them.
    bool isSymlink = false;
    int64_t size = 0;                        // 0 for folders
    TDateTime time = 0;                      // last-write time in the two-second local form (see FileTime)
    uint32_t attributes = 0;                 // fa:: bits, Directory included
    SpecialKind special = SpecialKind::None; // of what a link points to, like the type
};

enum class ListDetail {
    Full,          // name, type, size, time and attributes
    NamesAndTypes, // name and type only: no per-entry status call where the listing tells the type
};

// Receives each entry, in no order to rely on (the Linux service reads statuses in the order of
// the inodes); returning false ends the listing.
using FolderVisitor = std::function<bool(const FolderEntry&)>;

// The program's own temporary files (a copy or an extraction under way, a lock) have names
// beginning with this. A name alone proves nothing: a user's file may have one of this form too,
// and is listed, copied and kept like any other. Listings leave out only the temporary files
// still being written, and clean-ups remove only those the program noted when it made them.
inline constexpr std::string_view kTemporaryPrefix = ".drivlet-tmp-";
inline bool IsTemporaryName(std::string_view name) {
    return name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix;
}

// An exclusive hold on a lock file. Released when the object is destroyed, and by the kernel when
// the process dies, so a killed run never blocks the next one.
class IFileLock {
public:
    virtual ~IFileLock() = default;
};

class IFileSystem : public IFileAttributes {
public:
    // Copies a regular file. The target keeps the source's content, last-write time and
    // permission bits. Whatever happens (cancel, failure, a killed process), the target's name
    // holds either its old file or the complete copy, and no partial file is left behind. A
    // symbolic link standing at the target's name is replaced, not written through.
    virtual FileStatus CopyFile(const std::filesystem::path& source, const std::filesystem::path& target,
                                CopyMode mode, const CopyProgress& progress = {}) const = 0;
    // Renames; across volumes copies (with progress) and then deletes the source. A folder can
    // only be moved within its volume.
    virtual FileStatus MoveFile(const std::filesystem::path& source, const std::filesystem::path& target,
                                CopyMode mode, const CopyProgress& progress = {}) const = 0;
    virtual FileStatus DeleteFile(const std::filesystem::path& path) const = 0;
    // Creates the folder and every missing parent; an existing folder is a success.
    virtual FileStatus CreateFolders(const std::filesystem::path& folder) const = 0;
    // Removes an empty folder.
    virtual FileStatus RemoveFolder(const std::filesystem::path& folder) const = 0;

    // Last-write time as local time truncated to the two-second form of the old DOS times; the
    // creation time the same way when that is not positive; 0 for a folder or a missing path.
    // The value every newer-than decision compares.
    virtual TDateTime FileTime(const std::filesystem::path& path) const = 0;
    // Sets the last-write time to the instant that local wall time shows as the value.
    virtual FileStatus SetFileTime(const std::filesystem::path& path, TDateTime localTime) const = 0;
    // Size of a file, 0 for a folder, -1 when nothing is there.
    virtual int64_t FileSize(const std::filesystem::path& path) const = 0;
    // Space of the volume holding the path; a path that does not exist yet is answered for its
    // nearest existing parent folder.
    virtual DiskSpace GetDiskSpace(const std::filesystem::path& path) const = 0;

    // Lists every entry of a folder, hidden ones included; "." and "..", and the temporary files
    // of copies still being written, left out.
    virtual FileStatus ListFolder(const std::filesystem::path& folder, const FolderVisitor& visit,
                                  ListDetail detail = ListDetail::Full) const = 0;

    // The identity of the volume that holds the path (following links); none when nothing is
    // there. A mount point that loses its volume shows another identity, or none.
    virtual std::optional<uint64_t> VolumeId(const std::filesystem::path& path) const = 0;
    // The absolute path with every link and "." or ".." resolved; empty when it does not exist.
    virtual std::string RealPath(const std::filesystem::path& path) const = 0;
    // Whether this process may make new entries in the folder (its permissions, a read-only
    // mount); false when there is no such folder.
    virtual bool CanWriteIn(const std::filesystem::path& folder) const = 0;
    // Starts reading the beginning of a file into memory without waiting: a hint for a file that
    // is about to be copied. Nothing happens where it cannot be read.
    virtual void PrefetchFile(const std::filesystem::path& path) const = 0;
    // Writes a file's data through to its device, so that it survives a pulled drive.
    virtual FileStatus FlushFile(const std::filesystem::path& path) const = 0;
    // Takes the lock file (created when missing) without waiting. Nothing while another process
    // or object holds it (status EWOULDBLOCK) or when it cannot be made (status says why). The
    // holder removes the file when it lets go.
    virtual std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& lockFile,
                                               FileStatus& status) const = 0;
    // A fresh name in the folder (not made) for a temporary file of this process: a name that
    // IsTemporaryName knows, noted as the program's own, which the clean-up of other runs leaves
    // alone while this one lives. It is over once renamed (MoveFile) or deleted (DeleteFile).
    virtual std::string TemporaryName(const std::filesystem::path& folder) const = 0;
    // Removes the temporary files that runs which have ended (killed ones included) noted as
    // their own, wherever they are; never a file the program did not make.
    virtual void RemoveDeadTemporaries(const std::filesystem::path& folder) const = 0;

    // Whether the file system holding the folder (or its nearest existing parent) takes two names
    // that differ only in letter case for one (FAT, exFAT).
    virtual bool FoldsLetterCase(const std::filesystem::path& folder) const {
        (void)folder;
        return false;
    }

    // The path to give a library that opens files itself (the zip library): on an anchored
    // service (AnchoredAt), one below the drive goes through the drive's handle too.
    virtual std::string SystemPath(const std::filesystem::path& path) const { return path.string(); }

    // Whether the path can be reached without leaving the drive the service is anchored at
    // (AnchoredAt): a failure naming the link that leads off it; a success everywhere else.
    virtual FileStatus Reach(const std::filesystem::path& path) const {
        (void)path;
        return {};
    }

    // Every mount point (each ending with "/"), as the system's mount table has them now.
    virtual std::vector<std::string> MountPoints() const { return {}; }

    // The same services with every path below the drive (a folder ending with "/") reached
    // through a handle of the drive opened now: should the drive be unmounted meanwhile, even
    // lazily, nothing is ever created in its empty mount-point folder on the computer's disk; the
    // operations go to the detached drive or fail. Volume identities and real paths are still
    // read through the paths, so that a pulled drive is noticed. Nothing where this system cannot
    // (the caller uses this object itself then).
    virtual std::unique_ptr<IFileSystem> AnchoredAt(const std::filesystem::path& drive) const {
        (void)drive;
        return nullptr;
    }

    // The whole listing at once.
    FileStatus ReadFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                          ListDetail detail = ListDetail::Full) const {
        entries.clear();
        return ListFolder(
            folder,
            [&entries](const FolderEntry& e) {
                entries.push_back(e);
                return true;
            },
            detail);
    }
};

} // namespace drivlet

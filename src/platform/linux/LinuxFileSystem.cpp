#include "platform/linux/LinuxFileSystem.h"

#include "platform/LocalTime.h"
#include "platform/linux/DriveAnchor.h"
#include "platform/linux/Fd.h"
#include "platform/linux/LinuxFileLock.h"
#include "platform/linux/MountTable.h"
#include "platform/linux/TemporaryJournal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace drivlet {

namespace fs = std::filesystem;

namespace {

static_assert(ATTR_HIDDEN == fa::Hidden && ATTR_SYS == fa::System && ATTR_ARCH == fa::Archive,
              "the FAT attribute bits are the program's own");

// What the FAT ioctls carry beside read-only, which follows the permission bits.
constexpr uint32_t kFatOwnBits = fa::Hidden | fa::System | fa::Archive;

FileStatus LastError() {
    return FileStatus::FromErrno(errno);
}

using DirPtr = std::unique_ptr<DIR, int (*)(DIR*)>;

fs::path FolderOf(const fs::path& path) {
    fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// The name an attribute rule looks at: "/a/b/" names b; "." and ".." name nothing.
std::string NameOf(const fs::path& path) {
    std::string name = (path.has_filename() ? path : path.parent_path()).filename().string();
    return name == "." || name == ".." ? std::string() : name;
}

SpecialKind SpecialOfMode(mode_t mode) {
    if (S_ISFIFO(mode)) return SpecialKind::Fifo;
    if (S_ISSOCK(mode)) return SpecialKind::Socket;
    if (S_ISCHR(mode) || S_ISBLK(mode)) return SpecialKind::Device;
    return SpecialKind::None;
}

SpecialKind SpecialOfType(unsigned char type) {
    switch (type) {
    case DT_FIFO:
        return SpecialKind::Fifo;
    case DT_SOCK:
        return SpecialKind::Socket;
    case DT_CHR:
    case DT_BLK:
        return SpecialKind::Device;
    default:
        return SpecialKind::None;
    }
}

bool OnFatVolume(int fd) {
    struct statfs s {};
    return fstatfs(fd, &s) == 0 && s.f_type == MSDOS_SUPER_MAGIC;
}

bool OnFatVolume(const fs::path& path) {
    struct statfs s {};
    return statfs(path.c_str(), &s) == 0 && s.f_type == MSDOS_SUPER_MAGIC;
}

// The FAT attributes of an open file; 0 where the file system has none.
uint32_t FatBits(int fd) {
    uint32_t bits = 0;
    if (ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) != 0) return 0;
    return bits & kFatOwnBits;
}

uint32_t FatBitsAt(int dirFd, const char* name) {
    Fd fd(openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return fd ? FatBits(fd.get()) : 0;
}

// Replaces the hidden, system and archive bits of a file on FAT; read-only is left as it is.
bool SetFatBits(int fd, uint32_t wanted) {
    uint32_t bits = 0;
    if (ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) != 0) return false;
    const uint32_t changed = (bits & ~kFatOwnBits) | (wanted & kFatOwnBits);
    return changed == bits || ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &changed) == 0;
}

uint32_t AttributesOf(const std::string& name, const struct stat& st, uint32_t fatBits) {
    uint32_t attributes = fatBits;
    if (!(st.st_mode & S_IWUSR)) attributes |= fa::ReadOnly;
    if (!name.empty() && name[0] == '.') attributes |= fa::Hidden;
    if (S_ISDIR(st.st_mode)) attributes |= fa::Directory;
    return attributes;
}

// Local wall time of an instant, cut to whole seconds and then to an even second.
TDateTime TwoSecondForm(const struct timespec& ts) {
    DateParts parts = LocalDateParts(ts.tv_sec);
    parts.second -= parts.second % 2;
    return EncodeDateTime(parts);
}

// The file-time rule for a file whose status has been read; the creation time is asked for
// only when the last-write time does not give a positive value.
TDateTime FileTimeOf(int dirFd, const char* name, const struct stat& st) {
    const TDateTime written = TwoSecondForm(st.st_mtim);
    if (written > 0) return written;
    struct statx sx {};
    if (statx(dirFd, name, 0, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME)) return written;
    struct timespec born {};
    born.tv_sec = sx.stx_btime.tv_sec;
    born.tv_nsec = sx.stx_btime.tv_nsec;
    return TwoSecondForm(born);
}

// Errors by which a file system says it cannot do the fast kind of an operation.
bool Unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EXDEV;
}

bool LinkUnsupported(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK;
}

// Gives "from" the name "to" unless that name exists, without a moment in which another
// process could create "to" and be overwritten, wherever the file system allows.
FileStatus RenameNoReplace(const fs::path& from, const fs::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    if (errno == EXDEV || !Unsupported(errno)) return LastError();
    // A hard link is just as exclusive where renaming cannot refuse to replace.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return {};
        const FileStatus failed = LastError();
        ::unlink(to.c_str());
        return failed;
    }
    if (errno == EEXIST || !LinkUnsupported(errno)) return LastError();
    // Neither (FAT has no hard links): the check and the rename are a moment apart.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) return FileStatus::FromErrno(EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
    return {};
}

FileStatus RenameOver(const fs::path& from, const fs::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? FileStatus() : LastError();
}

// Whether an anonymous file can be given a name through /proc (asked once).
bool ProcFdLinks() {
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

// A fresh name of the temporary form: the process and a random part.
std::string TemporaryLeaf() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
    return std::string(kTemporaryPrefix) + std::to_string(getpid()) + "-" + suffix;
}

// A copy's temporary file in the target's folder. Where the file system allows it the file is
// anonymous until complete: nothing partial is ever visible under any name, and a killed run
// leaves nothing behind. Elsewhere (FAT) it has a temporary name, noted in the journal first (the
// proof that a leftover is the program's own) and locked while it is written, so that listings
// and clean-ups leave it alone; that file is removed unless it got its final name.
class TempFile {
public:
    // `folder` is the target's folder as the system is given it, `shown` as the caller named it
    // (what the journal keeps, for a later run to find).
    TempFile(TemporaryJournal* journal, fs::path shown) : journal_(journal), shown_(std::move(shown)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (fd_ && !named_ && !path_.empty()) {
            ::unlink(path_.c_str());
            Forget();
        }
    }

    // Created with the source's permission bits, so that only an unusual umask needs a chmod.
    // An anonymous file only where it may take a new name (the target's name is free).
    FileStatus Create(const fs::path& folder, mode_t mode, bool anonymous) {
        folder_ = folder;
        if (anonymous && ProcFdLinks()) {
            const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (fd >= 0) {
                fd_ = Fd(fd);
                return {};
            }
            if (!Unsupported(errno) && errno != EISDIR) return LastError();
        }
        for (int attempt = 0;; ++attempt) {
            std::string leaf = TemporaryLeaf();
            Note(leaf);
            const std::string name = (folder_ / leaf).string();
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
            if (fd < 0) {
                const int error = errno;
                Forget();
                if (error == EEXIST && attempt < 100) continue;
                return FileStatus::FromErrno(error);
            }
            fd_ = Fd(fd);
            path_ = name;
            // Blocks only while a clean-up holds the lock to look at this new file.
            flock(fd, LOCK_EX);
            return {};
        }
    }
    int fd() const { return fd_.get(); }

    // Gives the complete file the target's name, replacing what is there or refusing to.
    FileStatus Name(const fs::path& target, CopyMode mode) {
        FileStatus status;
        if (path_.empty()) {
            // The anonymous file takes the name only where nothing has it.
            status = LinkAs(target);
            if (status.code() != EEXIST || mode != CopyMode::Overwrite) return Named(status);
            // Taken in the meantime: a temporary name first, then over the target.
            for (int attempt = 0; attempt < 100; ++attempt) {
                std::string leaf = TemporaryLeaf();
                Note(leaf);
                const std::string name = (folder_ / leaf).string();
                status = LinkAs(name);
                if (status) {
                    path_ = name;
                    flock(fd_.get(), LOCK_EX);
                    break;
                }
                Forget();
                if (status.code() != EEXIST) break;
            }
            if (!status) return status;
        }
        return Named(mode == CopyMode::Overwrite ? RenameOver(path_, target)
                                                 : RenameNoReplace(path_, target));
    }

private:
    void Note(const std::string& leaf) {
        noted_ = (shown_ / leaf).string();
        if (journal_) journal_->Made(noted_);
    }
    void Forget() {
        if (journal_ && !noted_.empty()) journal_->Gone(noted_);
        noted_.clear();
    }
    FileStatus LinkAs(const fs::path& name) const {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
        return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? FileStatus()
                                                                                              : LastError();
    }
    // The file now lives under the target's name; the lock goes with the descriptor.
    FileStatus Named(FileStatus status) {
        if (status) {
            named_ = true;
            Forget();
        }
        return status;
    }

    TemporaryJournal* journal_;
    fs::path shown_;
    std::string noted_; // the journal's record of the named file, while there is one
    Fd fd_;
    fs::path folder_;
    std::string path_; // empty while the file is anonymous
    bool named_ = false;
};

// Whether a live writer holds the file (a copy of this or another process under way).
bool HeldByWriter(int dirFd, const char* name) {
    Fd fd(openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return false;
    return flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

// One transfer step of at most "want" bytes; the count moved, 0 at the end of the source,
// -1 with errno set on failure.
ssize_t ReadWrite(int in, int out, std::size_t want) {
    thread_local std::vector<char> buffer(1u << 20);
    ssize_t got;
    do {
        got = ::read(in, buffer.data(), std::min(want, buffer.size()));
    } while (got < 0 && errno == EINTR);
    for (ssize_t written = 0; got > 0 && written < got;) {
        const ssize_t n = ::write(out, buffer.data() + written, static_cast<std::size_t>(got - written));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) {
            errno = EIO;
            return -1;
        }
        written += n;
    }
    return got;
}

enum class Transfer { CopyRange, SendFile, ReadWrite };

// Moves "size" bytes from the start of "in" to "out" in chunks, the fastest way the two file
// systems allow, with a progress call before the first chunk and after each one.
FileStatus PumpData(int in, int out, int64_t size, const CopyProgress& progress,
                    const LinuxFileSystemOptions& options) {
    Transfer transfer = options.kernelCopy ? Transfer::CopyRange : Transfer::ReadWrite;
    if (progress && !progress(0, size)) return FileStatus::Canceled();
    const auto chunkBytes = static_cast<int64_t>(std::max<std::size_t>(options.chunkBytes, 4096));
    int64_t done = 0;
    bool atEnd = false;
    while (done < size && !atEnd) {
        const int64_t chunkEnd = done + std::min(chunkBytes, size - done);
        while (done < chunkEnd) {
            const auto want = static_cast<std::size_t>(chunkEnd - done);
            ssize_t n;
            if (transfer == Transfer::CopyRange)
                n = copy_file_range(in, nullptr, out, nullptr, want, 0);
            else if (transfer == Transfer::SendFile)
                n = sendfile(out, in, nullptr, want);
            else
                n = ReadWrite(in, out, want);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (transfer != Transfer::ReadWrite && Unsupported(errno)) {
                    // Between two file systems, or one without the kernel's help: the next way.
                    transfer = transfer == Transfer::CopyRange ? Transfer::SendFile : Transfer::ReadWrite;
                    continue;
                }
                return LastError();
            }
            if (n == 0) {
                atEnd = true; // the source shrank while being copied: what it holds is copied
                break;
            }
            done += n;
        }
        if (progress && !progress(done, size)) return FileStatus::Canceled();
    }
    return {};
}

// The process's file-creation mask, read once; nothing where the system does not tell it.
std::optional<mode_t> CreationMask() {
    static const std::optional<mode_t> mask = []() -> std::optional<mode_t> {
        std::FILE* status = std::fopen("/proc/self/status", "re");
        if (!status) return std::nullopt;
        std::optional<mode_t> found;
        char line[256];
        unsigned value = 0;
        while (!found && std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &value) == 1) found = static_cast<mode_t>(value);
        std::fclose(status);
        return found;
    }();
    return mask;
}

// Whether an open file lies on a FAT volume, asked once per device and thread.
bool OnFatDevice(int fd, dev_t device) {
    thread_local dev_t lastDevice = 0;
    thread_local bool lastFat = false, known = false;
    if (!known || device != lastDevice) {
        lastFat = OnFatVolume(fd);
        lastDevice = device;
        known = true;
    }
    return lastFat;
}

// What the copy takes over from its source besides the data: permission bits and the FAT
// hidden and system bits (best effort: FAT refuses modes it cannot hold), then the times.
FileStatus TakeOverMetadata(int in, int out, const struct stat& st) {
    const mode_t mode = st.st_mode & 0777;
    const std::optional<mode_t> mask = CreationMask();
    if (!mask || (mode & *mask) != 0) (void)fchmod(out, mode);
    if (OnFatDevice(in, st.st_dev))
        if (const uint32_t fat = FatBits(in) & (fa::Hidden | fa::System))
            (void)SetFatBits(out, FatBits(out) | fat);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return futimens(out, times) == 0 ? FileStatus() : LastError();
}

} // namespace

LinuxFileSystem::LinuxFileSystem(LinuxFileSystemOptions options)
    : options_(std::move(options)),
      journal_(options_.temporaryJournal.empty()
                   ? nullptr
                   : std::make_shared<TemporaryJournal>(options_.temporaryJournal)) {}

LinuxFileSystem::LinuxFileSystem(LinuxFileSystemOptions options, std::shared_ptr<TemporaryJournal> journal,
                                 std::shared_ptr<const DriveAnchor> anchor)
    : options_(std::move(options)), journal_(std::move(journal)), anchor_(std::move(anchor)) {}

LinuxFileSystem::~LinuxFileSystem() = default;

namespace {

LinuxFileSystemOptions& InstanceOptions() {
    static LinuxFileSystemOptions options;
    return options;
}

} // namespace

void LinuxFileSystem::SetInstanceOptions(LinuxFileSystemOptions options) {
    InstanceOptions() = std::move(options);
}

const LinuxFileSystem& LinuxFileSystem::Instance() {
    static const LinuxFileSystem instance(InstanceOptions());
    return instance;
}

std::unique_ptr<IFileSystem> LinuxFileSystem::AnchoredAt(const fs::path& drive) const {
    std::shared_ptr<const DriveAnchor> anchor = DriveAnchor::Open(drive.string());
    if (!anchor) return nullptr;
    return std::unique_ptr<IFileSystem>(new LinuxFileSystem(options_, journal_, std::move(anchor)));
}

NativePath LinuxFileSystem::Entry(const fs::path& path) const {
    std::string relative;
    if (anchor_ && anchor_->Below(path.native(), relative)) return anchor_->Entry(relative);
    NativePath native;
    native.path = path.native();
    return native;
}

NativePath LinuxFileSystem::Name(const fs::path& path) const {
    std::string relative;
    if (anchor_ && anchor_->Below(path.native(), relative)) return anchor_->Name(relative);
    NativePath native;
    native.path = path.native();
    return native;
}

Fd LinuxFileSystem::OpenEntry(const fs::path& path, int flags, FileStatus& status) const {
    std::string relative;
    if (anchor_ && anchor_->Below(path.native(), relative))
        return anchor_->OpenEntry(relative, flags, status);
    Fd fd(::open(path.c_str(), flags | O_CLOEXEC));
    status = fd ? FileStatus() : LastError();
    return fd;
}

FileStatus LinuxFileSystem::Reach(const fs::path& path) const {
    const NativePath name = Name(path);
    struct stat st {};
    if (!name.ok() || !anchor_ || lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name.refused;
    const NativePath entry = Entry(path);
    return entry.refused.code() == ENOENT ? FileStatus() : entry.refused;
}

std::string LinuxFileSystem::SystemPath(const fs::path& path) const {
    if (!anchor_) return path.string();
    // The library opens the file itself, and may follow a link at its end: a path only when
    // there is none, held open as long as this service lives.
    NativePath name = Name(path);
    struct stat st {};
    if (!name.ok() || (lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode))) return {};
    std::string system = name.path;
    const std::lock_guard<std::mutex> lock(keptMutex_);
    kept_.push_back(std::move(name));
    return system;
}

void LinuxFileSystem::RemoveLeftovers() const {
    if (journal_) journal_->RemoveLeftovers(options_.strayAge);
}

void LinuxFileSystem::Forget(const fs::path& path) const {
    if (journal_ && IsTemporaryName(path.filename().native())) journal_->Gone(path.string());
}

void LinuxFileSystem::RemoveDeadTemporaries(const fs::path&) const {
    if (journal_) journal_->RemoveLeftovers(options_.strayAge, true);
}

FileStatus LinuxFileSystem::CopyFile(const fs::path& shownSource, const fs::path& shownTarget, CopyMode mode,
                                     const CopyProgress& progress) const {
    FileStatus opened;
    Fd in = OpenEntry(shownSource, O_RDONLY | O_NONBLOCK | O_NOCTTY, opened);
    if (!in) return opened;
    const NativePath target = Name(shownTarget);
    if (!target.ok()) return target.refused;
    struct stat st {};
    if (fstat(in.get(), &st) != 0) return LastError();
    if (S_ISDIR(st.st_mode)) return FileStatus::FromErrno(EISDIR);
    if (!S_ISREG(st.st_mode)) return FileStatus::FromErrno(EOPNOTSUPP); // a pipe or device has no end
    struct stat existing {};
    const bool targetExists = lstat(target.c_str(), &existing) == 0;
    if (mode == CopyMode::FailIfExists && targetExists) return FileStatus::FromErrno(EEXIST);
    // A doubled read-ahead window: a small file comes in with one request instead of two, which
    // on a cold cache is most of a copy's time.
    (void)posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const fs::path folder = FolderOf(target.path);
    RemoveLeftovers();
    TempFile temp(journal_.get(), FolderOf(shownTarget));
    // A target to replace needs a named file to rename over it; a free name is linked at once.
    FileStatus status = temp.Create(folder, st.st_mode & 0777, !targetExists);
    if (!status) return status;
    status = PumpData(in.get(), temp.fd(), st.st_size, progress, options_);
    if (status) status = TakeOverMetadata(in.get(), temp.fd(), st);
    if (status && options_.flushBeforeRename && fdatasync(temp.fd()) != 0) status = LastError();
    if (status) status = temp.Name(target.path, mode);
    return status;
}

FileStatus LinuxFileSystem::MoveFile(const fs::path& shownSource, const fs::path& shownTarget, CopyMode mode,
                                     const CopyProgress& progress) const {
    const NativePath source = Name(shownSource);
    if (!source.ok()) return source.refused;
    const NativePath target = Name(shownTarget);
    if (!target.ok()) return target.refused;
    FileStatus status = mode == CopyMode::Overwrite ? RenameOver(source.path, target.path)
                                                    : RenameNoReplace(source.path, target.path);
    if (status) Forget(shownSource);
    if (status.code() != EXDEV) return status;
    struct stat st {};
    if (lstat(source.c_str(), &st) != 0) return LastError();
    if (S_ISDIR(st.st_mode)) return status;
    status = CopyFile(shownSource, shownTarget, mode, progress);
    if (!status) return status;
    // Should the source stay, both copies remain: the failure is reported, nothing is lost.
    if (::unlink(source.c_str()) != 0) return LastError();
    Forget(shownSource);
    return {};
}

FileStatus LinuxFileSystem::DeleteFile(const fs::path& path) const {
    const NativePath name = Name(path);
    if (!name.ok()) return name.refused;
    if (::unlink(name.c_str()) != 0) return LastError();
    Forget(path);
    return {};
}

FileStatus LinuxFileSystem::CreateFolders(const fs::path& shown) const {
    std::string relative;
    if (anchor_ && anchor_->Below(shown.native(), relative)) return CreateFoldersBeneath(shown);
    struct stat existing {};
    // The usual case of a copy into a folder made for the file before: one look.
    if (::stat(shown.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) return {};
    std::error_code ec;
    fs::create_directories(shown, ec);
    if (ec) return FileStatus::FromErrno(ec.value());
    struct stat st {};
    if (::stat(shown.c_str(), &st) != 0) return LastError();
    return S_ISDIR(st.st_mode) ? FileStatus() : FileStatus::FromErrno(ENOTDIR);
}

// One folder at a time, each made in its parent as resolved beneath the drive: a link on the
// way that leads off the drive stops the making there.
FileStatus LinuxFileSystem::CreateFoldersBeneath(const fs::path& shown) const {
    const auto isFolder = [this](const fs::path& path, FileStatus& refused) {
        const NativePath entry = Entry(path);
        refused = entry.refused;
        struct stat st {};
        if (entry.ok() && ::stat(entry.c_str(), &st) != 0) refused = LastError();
        return refused.ok() && S_ISDIR(st.st_mode);
    };
    FileStatus refused;
    if (isFolder(shown, refused)) return {};
    if (refused.ok()) return FileStatus::FromErrno(ENOTDIR);
    if (refused.code() != ENOENT) return refused;
    fs::path trimmed = shown;
    while (!trimmed.has_filename() && trimmed.has_relative_path())
        trimmed = trimmed.parent_path();
    const fs::path parent = trimmed.parent_path();
    std::string relative;
    if (parent == trimmed || !anchor_->Below(parent.native(), relative)) return refused;
    // Below the root, which the handle holds: what is missing is made from the top down.
    if (!relative.empty())
        if (FileStatus made = CreateFoldersBeneath(parent); !made) return made;
    const NativePath name = Name(trimmed);
    if (!name.ok()) return name.refused;
    if (::mkdir(name.c_str(), 0777) == 0) return {};
    if (errno != EEXIST) return LastError();
    if (isFolder(trimmed, refused)) return {};
    return refused.ok() ? FileStatus::FromErrno(ENOTDIR) : refused;
}

FileStatus LinuxFileSystem::RemoveFolder(const fs::path& folder) const {
    const NativePath name = Name(folder);
    if (!name.ok()) return name.refused;
    return ::rmdir(name.c_str()) == 0 ? FileStatus() : LastError();
}

TDateTime LinuxFileSystem::FileTime(const fs::path& shown) const {
    const NativePath path = Entry(shown);
    struct stat st {};
    if (!path.ok() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
    return FileTimeOf(AT_FDCWD, path.c_str(), st);
}

FileStatus LinuxFileSystem::SetFileTime(const fs::path& path, TDateTime localTime) const {
    using namespace std::chrono;
    const auto ns = duration_cast<nanoseconds>(FromLocalDateTime(localTime).time_since_epoch()).count();
    struct timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(ns / 1000000000);
    times[1].tv_nsec = static_cast<long>(ns % 1000000000);
    if (times[1].tv_nsec < 0) {
        times[1].tv_nsec += 1000000000;
        times[1].tv_sec -= 1;
    }
    const NativePath entry = Entry(path);
    if (!entry.ok()) return entry.refused;
    return utimensat(AT_FDCWD, entry.c_str(), times, 0) == 0 ? FileStatus() : LastError();
}

int64_t LinuxFileSystem::FileSize(const fs::path& shown) const {
    const NativePath path = Name(shown);
    struct stat st {};
    // One look for what is most often asked about: a plain file, or nothing. A link is followed
    // when it leads somewhere on the drive; a dangling one, or one leading off, answers for itself.
    if (!path.ok() || lstat(path.c_str(), &st) != 0) return -1;
    if (S_ISLNK(st.st_mode)) {
        const NativePath entry = Entry(shown);
        struct stat target {};
        if (entry.ok() && ::stat(entry.c_str(), &target) == 0) st = target;
    }
    return S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
}

std::optional<uint64_t> LinuxFileSystem::VolumeId(const fs::path& path) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.st_dev);
}

std::string LinuxFileSystem::RealPath(const fs::path& path) const {
    std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool LinuxFileSystem::CanWriteIn(const fs::path& shown) const {
    const NativePath folder = Entry(shown);
    struct stat st {};
    if (!folder.ok() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    // The effective identity decides, as it does for the files the workers then make.
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

void LinuxFileSystem::PrefetchFile(const fs::path& path) const {
    FileStatus opened;
    const Fd fd = OpenEntry(path, O_RDONLY | O_NONBLOCK | O_NOCTTY, opened);
    // The kernel goes on reading after the file is closed; a large file's start is enough to keep
    // the disk busy until its copy begins.
    if (fd) (void)posix_fadvise(fd.get(), 0, static_cast<off_t>(options_.chunkBytes), POSIX_FADV_WILLNEED);
}

FileStatus LinuxFileSystem::FlushFile(const fs::path& shown) const {
    FileStatus opened;
    const Fd fd = OpenEntry(shown, O_RDONLY | O_NOCTTY | O_NONBLOCK, opened);
    if (!fd) return opened;
    if (::fsync(fd.get()) != 0) return LastError();
    // The name lives in the folder: a new file is only found again once its folder is written too.
    const Fd folder = OpenEntry(FolderOf(shown), O_RDONLY | O_DIRECTORY, opened);
    if (folder && ::fsync(folder.get()) != 0 && errno != EINVAL) return LastError();
    return {};
}

std::string LinuxFileSystem::TemporaryName(const fs::path& folder) const {
    // The same form as a copy's temporary file, noted as the program's own before it is made.
    std::string name = (folder / TemporaryLeaf()).string();
    if (journal_) journal_->Made(name);
    return name;
}

namespace {

// A lock file of the temporary form, noted while it is held: one a killed run left is a leftover.
class NotedLock final : public IFileLock {
public:
    NotedLock(std::unique_ptr<IFileLock> lock, std::shared_ptr<TemporaryJournal> journal, std::string path)
        : lock_(std::move(lock)), journal_(std::move(journal)), path_(std::move(path)) {}
    ~NotedLock() override {
        lock_.reset();
        journal_->Gone(path_);
    }

private:
    std::unique_ptr<IFileLock> lock_;
    std::shared_ptr<TemporaryJournal> journal_;
    std::string path_;
};

} // namespace

namespace {

// A lock on a drive keeps the handle its name goes through, for the removal of the file when it
// is let go.
class AnchoredLock final : public IFileLock {
public:
    AnchoredLock(NativePath name, std::unique_ptr<IFileLock> lock)
        : name_(std::move(name)), lock_(std::move(lock)) {}

private:
    NativePath name_;
    std::unique_ptr<IFileLock> lock_; // let go first
};

} // namespace

std::unique_ptr<IFileLock> LinuxFileSystem::TakeLock(const fs::path& lockFile, FileStatus& status) const {
    NativePath name = Name(lockFile);
    if (!name.ok()) {
        status = name.refused;
        return nullptr;
    }
    std::unique_ptr<IFileLock> lock = LinuxFileLock::TryTake(name.path, status);
    if (!lock || !anchor_) return lock;
    return std::make_unique<AnchoredLock>(std::move(name), std::move(lock));
}

std::unique_ptr<IFileLock> LinuxFileSystem::TryLock(const fs::path& lockFile, FileStatus& status) const {
    const bool noted = journal_ && IsTemporaryName(lockFile.filename().native());
    if (noted) journal_->Made(lockFile.string());
    std::unique_ptr<IFileLock> lock = TakeLock(lockFile, status);
    if (!noted) return lock;
    if (!lock) {
        journal_->Gone(lockFile.string());
        return lock;
    }
    return std::make_unique<NotedLock>(std::move(lock), journal_, lockFile.string());
}

namespace {} // namespace

bool LinuxFileSystem::AskNearestExisting(fs::path probe, const std::function<int(const char*)>& ask) const {
    if (probe.empty()) probe = ".";
    for (;;) {
        const NativePath entry = Entry(probe);
        if (entry.ok()) {
            if (ask(entry.c_str()) == 0) return true;
            if (errno != ENOENT && errno != ENOTDIR) return false;
        } else if (entry.refused.code() != ENOENT && entry.refused.code() != ENOTDIR) {
            return false;
        }
        fs::path parent = probe.has_relative_path() ? probe.parent_path() : probe;
        if (parent.empty()) parent = ".";
        if (parent == probe) return false;
        probe = std::move(parent);
    }
}

DiskSpace LinuxFileSystem::GetDiskSpace(const fs::path& path) const {
    struct statvfs v {};
    if (!AskNearestExisting(path, [&v](const char* p) { return statvfs(p, &v); })) return {};
    DiskSpace space;
    space.freeBytes = static_cast<int64_t>(v.f_bavail) * static_cast<int64_t>(v.f_frsize);
    space.totalBytes = static_cast<int64_t>(v.f_blocks) * static_cast<int64_t>(v.f_frsize);
    return space;
}

std::vector<std::string> LinuxFileSystem::MountPoints() const {
    std::vector<std::string> points;
    const std::optional<std::vector<MountEntry>> table = ReadMountTable("/proc/self/mountinfo");
    if (!table) return points;
    for (const MountEntry& entry : *table)
        points.push_back(DrivePathOfMount(entry.mountPoint));
    return points;
}

bool LinuxFileSystem::FoldsLetterCase(const fs::path& folder) const {
    constexpr long kExfatMagic = 0x2011BAB0;
    struct statfs s {};
    return AskNearestExisting(folder, [&s](const char* p) { return statfs(p, &s); }) &&
           (s.f_type == MSDOS_SUPER_MAGIC || static_cast<long>(s.f_type) == kExfatMagic);
}

std::optional<uint32_t> LinuxFileSystem::GetAttributes(const fs::path& shown) const {
    NativePath path = Entry(shown);
    struct stat st {};
    if (!path.ok() || ::stat(path.c_str(), &st) != 0) {
        // A dangling link, or one leading off the drive, answers for itself.
        path = Name(shown);
        if (!path.ok() || lstat(path.c_str(), &st) != 0) return std::nullopt;
    }
    uint32_t fat = 0;
    if (OnFatVolume(path.path)) {
        Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd) fat = FatBits(fd.get());
    }
    return AttributesOf(NameOf(shown), st, fat);
}

bool LinuxFileSystem::SetAttributes(const fs::path& shown, uint32_t attributes) const {
    const NativePath path = Entry(shown);
    struct stat st {};
    if (!path.ok() || ::stat(path.c_str(), &st) != 0) return false;
    const mode_t write = S_IWUSR | S_IWGRP | S_IWOTH;
    mode_t mode = st.st_mode & 07777;
    if (attributes & fa::ReadOnly)
        mode &= ~write;
    else if (!(mode & S_IWUSR))
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0) return false;
    if (!OnFatVolume(path.path)) return true; // hidden means a leading dot here, nothing else to set
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    return fd && SetFatBits(fd.get(), attributes);
}

namespace {

// One entry whose status the listing reads.
struct Unread {
    ino_t inode;
    unsigned char type;
    std::string name;
};

// The entry of a name whose status is read now; false when it was removed meanwhile.
bool ReadEntry(int dirFd, const Unread& unread, bool full, bool fat, FolderEntry& entry) {
    const char* name = unread.name.c_str();
    entry = FolderEntry();
    entry.name = unread.name;
    entry.isSymlink = unread.type == DT_LNK;
    struct stat st {};
    // An entry whose status cannot be read (a folder without search permission) is still
    // listed, with what the listing itself tells.
    const bool statusRead = fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!statusRead && errno == ENOENT) return false;
    if (statusRead) {
        entry.isSymlink = S_ISLNK(st.st_mode);
        if (entry.isSymlink) {
            struct stat linked {};
            if (fstatat(dirFd, name, &linked, 0) == 0) st = linked;
        }
        entry.isDirectory = S_ISDIR(st.st_mode);
        entry.special = SpecialOfMode(st.st_mode);
    } else {
        entry.isDirectory = unread.type == DT_DIR;
        entry.special = SpecialOfType(unread.type);
    }
    if (full && statusRead) {
        entry.size = entry.isDirectory ? 0 : static_cast<int64_t>(st.st_size);
        entry.time = FileTimeOf(dirFd, name, st);
        entry.attributes = AttributesOf(entry.name, st, fat ? FatBitsAt(dirFd, name) : 0);
    } else {
        entry.attributes = (entry.isDirectory ? fa::Directory : 0) | (name[0] == '.' ? fa::Hidden : 0);
    }
    return true;
}

} // namespace

FileStatus LinuxFileSystem::ListFolder(const fs::path& folder, const FolderVisitor& visit,
                                       ListDetail detail) const {
    FileStatus opened;
    Fd folderFd = OpenEntry(folder, O_RDONLY | O_DIRECTORY, opened);
    if (!folderFd) return opened;
    DirPtr dir(fdopendir(folderFd.get()), closedir);
    if (!dir) return LastError();
    folderFd.release();
    const int dirFd = dirfd(dir.get());
    const bool full = detail == ListDetail::Full;
    const bool fat = full && OnFatVolume(dirFd);
    // Statuses are read in the order of the inodes, which is about the order the disk keeps
    // them in: on a cold cache that is a sweep instead of a seek per file.
    std::vector<Unread> unread;
    std::vector<Unread> temporaries;
    for (;;) {
        errno = 0;
        const dirent* de = readdir(dir.get());
        if (!de) break;
        const char* name = de->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        if (IsTemporaryName(name)) {
            temporaries.push_back({de->d_ino, de->d_type, name});
            continue;
        }
        const bool typeKnown = de->d_type != DT_UNKNOWN && de->d_type != DT_LNK;
        if (full || !typeKnown) {
            unread.push_back({de->d_ino, de->d_type, name});
            continue;
        }
        FolderEntry entry;
        entry.name = name;
        entry.isDirectory = de->d_type == DT_DIR;
        entry.special = SpecialOfType(de->d_type);
        entry.attributes = (entry.isDirectory ? fa::Directory : 0) | (name[0] == '.' ? fa::Hidden : 0);
        if (!visit(entry)) return {};
    }
    if (errno != 0) return LastError();
    // A name of the temporary form is left out only while a copy writes the file (or this process
    // noted it and has not finished with it); a leftover of a killed run goes if its journal
    // proves it the program's own. Whatever is still there is a user's file like any other.
    std::erase_if(temporaries, [&](const Unread& t) {
        return (journal_ && journal_->Live((folder / t.name).string())) ||
               HeldByWriter(dirFd, t.name.c_str());
    });
    if (!temporaries.empty() && journal_) {
        RemoveLeftovers();
        std::erase_if(temporaries, [dirFd](const Unread& t) {
            struct stat st {};
            return fstatat(dirFd, t.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
        });
    }
    unread.insert(unread.end(), temporaries.begin(), temporaries.end());
    std::sort(unread.begin(), unread.end(),
              [](const Unread& a, const Unread& b) { return a.inode < b.inode; });
    FolderEntry entry;
    for (const Unread& u : unread)
        if (ReadEntry(dirFd, u, full, fat, entry) && !visit(entry)) return {};
    return {};
}

} // namespace drivlet

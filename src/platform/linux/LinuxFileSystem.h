#pragma once
// The file services on Linux. Copies go through a temporary file in the target's folder that is
// renamed onto the target's name when complete; the leftovers of a killed run, known from the
// journal it kept of its temporary files, are removed by a later run.
#include "platform/FileSystem.h"
#include "platform/linux/DriveAnchor.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace drivlet {

struct LinuxFileSystemOptions {
    // Bytes moved between two progress calls.
    std::size_t chunkBytes = 4u << 20;
    // Let the kernel move the data (copy_file_range, then sendfile); false forces read/write.
    bool kernelCopy = true;
    // Flush the copy's data to the device before it takes the target's name. Off by default:
    // the rename alone already keeps a cancelled, failed or killed copy from harming the target,
    // and ext4 flushes a file renamed over another before the rename is committed; a flush per
    // file would make copying many small files several times slower.
    bool flushBeforeRename = false;
    // The journals of ended runs are looked at for leftovers at most this often.
    std::chrono::seconds strayAge{60};
    // The folder of the journals of the temporary files given a name (see TemporaryJournal);
    // empty: none are noted, and no leftover is ever removed.
    std::filesystem::path temporaryJournal;
};

class TemporaryJournal;

class LinuxFileSystem final : public IFileSystem {
public:
    explicit LinuxFileSystem(LinuxFileSystemOptions options = {});
    ~LinuxFileSystem() override;

    // Names of temporary files begin with this; they are hidden by the leading dot.
    static constexpr const char* kTempPrefix = kTemporaryPrefix.data();

    std::optional<uint32_t> GetAttributes(const std::filesystem::path& path) const override;
    bool SetAttributes(const std::filesystem::path& path, uint32_t attributes) const override;

    FileStatus CopyFile(const std::filesystem::path& source, const std::filesystem::path& target,
                        CopyMode mode, const CopyProgress& progress = {}) const override;
    FileStatus MoveFile(const std::filesystem::path& source, const std::filesystem::path& target,
                        CopyMode mode, const CopyProgress& progress = {}) const override;
    FileStatus DeleteFile(const std::filesystem::path& path) const override;
    FileStatus CreateFolders(const std::filesystem::path& folder) const override;
    FileStatus RemoveFolder(const std::filesystem::path& folder) const override;

    TDateTime FileTime(const std::filesystem::path& path) const override;
    FileStatus SetFileTime(const std::filesystem::path& path, TDateTime localTime) const override;
    int64_t FileSize(const std::filesystem::path& path) const override;
    DiskSpace GetDiskSpace(const std::filesystem::path& path) const override;

    FileStatus ListFolder(const std::filesystem::path& folder, const FolderVisitor& visit,
                          ListDetail detail = ListDetail::Full) const override;

    std::optional<uint64_t> VolumeId(const std::filesystem::path& path) const override;
    std::string RealPath(const std::filesystem::path& path) const override;
    bool CanWriteIn(const std::filesystem::path& folder) const override;
    void PrefetchFile(const std::filesystem::path& path) const override;
    FileStatus FlushFile(const std::filesystem::path& path) const override;
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& lockFile,
                                       FileStatus& status) const override;
    std::string TemporaryName(const std::filesystem::path& folder) const override;
    void RemoveDeadTemporaries(const std::filesystem::path& folder) const override;
    std::unique_ptr<IFileSystem> AnchoredAt(const std::filesystem::path& drive) const override;
    bool FoldsLetterCase(const std::filesystem::path& folder) const override;
    std::vector<std::string> MountPoints() const override;
    std::string SystemPath(const std::filesystem::path& path) const override;
    FileStatus Reach(const std::filesystem::path& path) const override;

    // One shared instance, for the program's workers: with the options given here before its
    // first use (a front end's main names the journal folder), else the default ones.
    static const LinuxFileSystem& Instance();
    static void SetInstanceOptions(LinuxFileSystemOptions options);

private:
    LinuxFileSystem(LinuxFileSystemOptions options, std::shared_ptr<TemporaryJournal> journal,
                    std::shared_ptr<const DriveAnchor> anchor);
    // The paths the system is given: below the anchored drive, resolved beneath the drive's
    // handle (see DriveAnchor); elsewhere as they are.
    NativePath Entry(const std::filesystem::path& path) const;
    NativePath Name(const std::filesystem::path& path) const;
    Fd OpenEntry(const std::filesystem::path& path, int flags, FileStatus& status) const;
    FileStatus CreateFoldersBeneath(const std::filesystem::path& folder) const;
    std::unique_ptr<IFileLock> TakeLock(const std::filesystem::path& lockFile, FileStatus& status) const;
    // Asks `ask` (a statvfs or statfs call: 0 on success) about the path, or where it does not
    // exist yet about its nearest existing parent folder; false when nothing on the way answers.
    bool AskNearestExisting(std::filesystem::path probe, const std::function<int(const char*)>& ask) const;
    // Removes the leftovers of ended runs, at most once per strayAge.
    void RemoveLeftovers() const;
    void Forget(const std::filesystem::path& path) const;

    LinuxFileSystemOptions options_;
    std::shared_ptr<TemporaryJournal> journal_;
    std::shared_ptr<const DriveAnchor> anchor_;
    mutable std::mutex keptMutex_;
    mutable std::vector<NativePath> kept_; // the paths given to libraries, held open
};

} // namespace drivlet

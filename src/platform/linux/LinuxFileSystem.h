#pragma once
// The file services on Linux. Copies go through a temporary file in the target's folder that is
// renamed onto the target's name when complete; leftovers of a killed run are removed by the
// next copy into that folder.
#include "platform/FileSystem.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

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
    // A temporary file of another copy counts as stray once it is not locked by a writer and
    // either its process is gone or it has not been written for this long.
    std::chrono::seconds strayAge{60};
};

class LinuxFileSystem final : public IFileSystem {
public:
    explicit LinuxFileSystem(LinuxFileSystemOptions options = {});

    // Names of temporary files begin with this; they are hidden by the leading dot.
    static constexpr const char* kTempPrefix = kCopyTempPrefix.data();

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
    FileStatus FlushFile(const std::filesystem::path& path) const override;
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& lockFile, FileStatus& status) const override;

    // Now, whenever the folder was last looked at.
    void RemoveStrayTempFiles(const std::filesystem::path& folder) const override;

    // One shared instance with the default options, for the program's workers.
    static const LinuxFileSystem& Instance();

private:
    // At most one look per folder and strayAge, so copying a folder of many files scans it once.
    void RemoveStrayTempFilesOnce(const std::filesystem::path& folder) const;

    LinuxFileSystemOptions options_;
    mutable std::mutex mutex_;
    mutable std::map<std::string, std::chrono::steady_clock::time_point> lastStrayScan_;
};

} // namespace drivlet

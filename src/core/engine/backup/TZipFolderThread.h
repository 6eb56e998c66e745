#pragma once
// A backup or move job kept as zip archives: one archive per source drive or share (all POSIX
// sources share "Root.Zip"), in any of the six modes. A file counts as backed up only once its
// archive has been written completely.
#include "core/engine/backup/TArchiveThreadBase.h"
#include "core/zip/ZipWriter.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

class TZipFolderThread final : public TArchiveThreadBase {
public:
    using TArchiveThreadBase::TArchiveThreadBase;
    // The worker stops before the open archive, its lock and its queue are gone.
    ~TZipFolderThread() override { StopAndWait(); }

    // The job's password; empty means plain entries.
    void SetZipPassword(std::string password) { ZipPassword = std::move(password); }
    // The job's DeleteFile flag: a move job deletes its added files only with it.
    void SetDeleteSources(bool on) { DeleteSources = on; }

    // The archive holding a source folder (ending with "/") or file: ArchiveFolder + "Root.Zip"
    // for a POSIX path.
    std::string ZipNameFor(std::string_view path) const;

protected:
    void Execute() override;

private:
    // A file queued into the open archive, waiting for the archive to be written.
    struct Queued {
        std::string path;
        int64_t size;
        TDateTime time;
        bool deleteAfter;
    };

    // amCompletelyNew: the archives the job wrote into the folder go (plain deletes, never into
    // the store); other zip files there stay.
    bool DeleteOldArchives();
    // An entry removed from the open archive because a file or folder of the other kind now
    // has its name: the archive must not hold both, or its restore fails.
    struct Dropped {
        std::string name;
        std::string why;
    };

    void AddFolder(const std::string& root, bool moving);
    // Removes the entry of that name from the open archive, if it has one.
    void DropEntry(const std::string& entryName, std::string_view why);
    void AddSingleFile(const std::string& path, bool moving);
    bool Takes(const std::string& path, TDateTime fileTime, int64_t fileSize);
    void Queue(const std::string& path, int64_t size, TDateTime time, bool moving);
    // A file that stays out of the archive leaves the totals; its status line is paced.
    void PassOver(int64_t size);

    // Makes the archive for the source the open one, writing the previous one first.
    void SelectArchive(const std::string& archive);
    // Writes the open archive; only then are its files logged, recorded and (in a move) deleted.
    void WriteArchive();
    // The library's copies of the archive that killed runs left beside it; called only while
    // this run holds the archive's write lock.
    void RemoveKilledWriteCopies(const std::string& archive);
    void DeleteMoved(const Queued& file);

    static constexpr std::chrono::milliseconds kPassOverReportPace{50};

    std::string ZipPassword;
    bool DeleteSources = false;

    std::unique_ptr<ZipWriter> writer_;
    std::string writerArchive_;            // the archive writer_ has open, as the job names it
    std::unique_ptr<IFileLock> writeLock_; // held from SelectArchive until the archive is written
    std::string zipFileName_;
    bool archiveIsNew_ = false; // the open archive did not exist before this run opened it
    ZipStatus openError_;
    std::vector<Queued> queued_;
    std::vector<Dropped> dropped_;
    int64_t queuedBytes_ = 0;
    std::chrono::steady_clock::time_point lastPassOverReport_{};
};

} // namespace drivlet

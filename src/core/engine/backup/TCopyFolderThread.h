#pragma once
// A backup or move job kept as a plain folder tree of copies, in any of the six modes.
#include "core/engine/backup/TArchiveThreadBase.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

class TCopyFolderThread final : public TArchiveThreadBase {
public:
    using TArchiveThreadBase::TArchiveThreadBase;
    // The worker stops before this object's members (and its virtual functions) are gone.
    ~TCopyFolderThread() override { StopAndWait(); }

    // The job's DeleteFile flag; only a move job uses it.
    void SetDeleteSources(bool on) { DeleteSources = on; }

    // Where a source folder (ending with "/") or file lies in the backup: ArchiveFolder followed
    // by its mapped form (/home/a/Docs/ -> ArchiveFolder + "home/a/Docs/").
    std::string TargetFor(std::string_view path) const;

protected:
    void Execute() override;

private:
    // Fresh copies never overwrite; incremental ones replace what has changed.
    enum class Pass { Fresh, Incremental };

    // amCompletelyNew: the previous backup goes first (into the store when that is on).
    bool DeleteOldBackup();
    // The source folders, then the single files.
    void CopyAll(Pass pass);
    // One source folder into one target folder; `moving` deletes each source once it is safe.
    void CopyPass(const std::string& source, const std::string& target, Pass pass, bool moving);
    void CopySingleFile(const std::string& path, Pass pass);
    // A file of the backup where a source folder now is: it makes way (into the deleted-files
    // store when that is on) unless the pass never overwrites. False, with a line saying why,
    // when the folder is not to be entered.
    bool ClearForFolder(const std::string& sourceFolder, const std::string& file, Pass pass);
    // A folder of the backup where a source file now is: true once it has moved into the
    // deleted-files store; false, with a line saying why, when it stays.
    bool ClearForFile(const std::string& source, const std::string& target, bool failIfExists);
    bool IsFolderAt(const std::string& path) const;
    // Whether the pass asks the FileLog about its files.
    bool ConsultsFileLog(Pass pass) const;
    // Whether a file goes to the target this run; `lastCopied` (its FileLog row) and
    // `targetExists` are asked only when needed.
    template <typename CopiedRow, typename TargetExists>
    bool Takes(Pass pass, TDateTime fileTime, int64_t fileSize, CopiedRow&& lastCopied,
               TargetExists&& targetExists);
    void CopyOne(const std::string& source, const std::string& target, int64_t size, TDateTime time,
                 bool failIfExists, bool deleteSource);
    // A target equal in size and time (the two-second form) to its source is that source's copy.
    bool HoldsCopyOf(const std::string& target, int64_t size, TDateTime time) const;
    // A move's source file that was not copied because its target already holds it.
    void DeleteUpToDate(const std::string& source, const std::string& target, const FolderEntry& entry);
    // The old backup may be deleted only when nothing of the job lies inside it.
    bool ArchiveHoldsSources() const;

    // A file that is not copied leaves the totals; its status line is paced.
    void PassOver(int64_t size);

    static constexpr std::chrono::milliseconds kPassOverReportPace{50};

    bool DeleteSources = false;
    std::chrono::steady_clock::time_point lastPassOverReport_{};
};

} // namespace drivlet

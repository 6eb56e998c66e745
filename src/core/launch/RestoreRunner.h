#pragma once
// Brings back a run of a backup job: Prepare reads the job and its restore points (newest
// first), Start brings back the chosen run, whole or the chosen folders and files, to the old
// places or below a chosen folder, on a restore worker of the job's archive type.
#include "core/launch/JobRunner.h"
#include "core/launch/RestorePoints.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

struct RestoreRequest {
    std::string backupRoot;              // the chosen run: a restore point's archiveFolder
    std::vector<std::string> paths;      // as they were backed up (a folder ends with "/"); none: all
    std::string target;                  // empty: each file back where it came from
    std::optional<std::string> password; // of a zip backup; else the job's
};

class PreparedRestore {
public:
    PreparedRestore() = default;
    PreparedRestore(PreparedRestore&&) noexcept = default;
    PreparedRestore& operator=(PreparedRestore&&) noexcept = default;

    bool Ready() const { return !refusal_; }
    const std::optional<JobRefusal>& Refusal() const { return refusal_; }
    const std::string& File() const { return file_; }
    const std::string& Name() const { return job_->BackupName; }
    bool IsZip() const { return job_->ArchiveType == TArchiveType::atImage; }
    // Newest first.
    const std::vector<RestorePoint>& Points() const { return points_; }

private:
    friend class RestoreRunner;

    std::string file_;
    std::optional<JobRefusal> refusal_;
    std::unique_ptr<TArchiveData> job_;
    std::vector<RestorePoint> points_;
};

class RestoreRunner {
public:
    explicit RestoreRunner(RunnerServices services) : services_(std::move(services)) {}

    [[nodiscard]] PreparedRestore Prepare(const std::string& jobFile) const;
    // Refused when the run's folder is not there or is not one of Points(); otherwise started,
    // reporting to the events when drained; `wake` is called from the worker when events wait.
    // The worker writes only what the run recorded (to the old places, only below the job's
    // folders and files). `registry` (may be null) counts the run while it is under way.
    [[nodiscard]] JobStart Start(const PreparedRestore& restore, const RestoreRequest& request,
                                 IThreadEvents* events, ThreadEventQueue::Wake wake = {},
                                 RunRegistry* registry = nullptr) const;

    void SetSettings(RunSettings settings) { services_.settings = std::move(settings); }

private:
    RunnerServices services_;
};

// What a restore of the run in backupRoot takes: the folders (full paths inside the backup,
// ending with "/") and the files (relative to the backup's root). No paths: the whole run, every
// top-level folder and file of a folder backup, every archive of a zip one.
struct RestoreChoice {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};
RestoreChoice ChooseForRestore(const std::string& backupRoot, bool zip, const std::vector<std::string>& paths,
                               const IFileSystem& files);

} // namespace drivlet

#pragma once
// Helpers of the worker tests: a thread whose body is a test's function, a sink that records
// every event, a file service with scripted free space and an in-memory deleted-files log.
#include "core/engine/TThreadBase.h"
#include "platform/linux/LinuxFileSystem.h"

#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace drivlet::test {

// Opens the base's protected equipment to the tests.
class ProbeThread : public TThreadBase {
public:
    using TThreadBase::TThreadBase;
    // Joined by the base once this is set.
    ~ProbeThread() override {
        if (destroyed) *destroyed = true;
    }
    std::function<void(ProbeThread&)> body;
    bool* destroyed = nullptr;
    bool divertsNewerTargets = true; // false acts as the backup family

    using TThreadBase::BytesDone;
    using TThreadBase::BytesTotal;
    using TThreadBase::FileFilter;
    using TThreadBase::FileOps;
    using TThreadBase::FilesDone;
    using TThreadBase::FilesTotal;
    using TThreadBase::Report;
    using TThreadBase::ReportFileResult;
    using TThreadBase::RunGuarded;
    using TThreadBase::SetStatus;
    using TThreadBase::ShowStatus;
    using TThreadBase::SpeedStartTime;

    // Starts, runs the body on the worker and waits for the end.
    void RunBody(std::function<void(ProbeThread&)> work) {
        body = std::move(work);
        Start();
        WaitFor();
    }

protected:
    void Execute() override {
        if (body) body(*this);
    }
    bool IsFolderExcluded(const std::string& folder) override {
        return folder.find("/skip/") != std::string::npos;
    }
    bool DivertsNewerTargets() const override { return divertsNewerTargets; }
};

class RecordingEvents : public IThreadEvents {
public:
    std::vector<std::string> lines;
    std::vector<StatusEvent> statuses;
    std::vector<FileProgressEvent> progress;
    std::vector<LogEntryEvent> logs;
    std::vector<ThreadErrorEvent> errors;
    std::vector<LowDiskQuestion> questions;
    std::deque<LowDiskAnswer> answers; // Skip when used up
    std::vector<std::thread::id> callers;
    bool terminated = false;
    std::function<void(const FileProgressEvent&)> onProgress;

    void OnStatus(const TThreadBase&, const StatusEvent& e) override {
        Note("status " + e.text);
        statuses.push_back(e);
    }
    void OnThreadError(const TThreadBase&, const ThreadErrorEvent& e) override {
        Note("error " + e.text);
        errors.push_back(e);
    }
    void OnFileProgress(const TThreadBase&, const FileProgressEvent& e) override {
        Note("progress " + e.action);
        progress.push_back(e);
        if (onProgress) onProgress(e);
    }
    void OnLogEntry(const TThreadBase&, const LogEntryEvent& e) override {
        Note("log " + e.action + " " + e.fileName + " " + e.status);
        logs.push_back(e);
    }
    void AskLowDiskSpace(const TThreadBase&, const LowDiskQuestion& q,
                         Answer<LowDiskAnswer> answer) override {
        answer(Asked(q));
    }
    // Records the question and takes the next scripted answer.
    LowDiskAnswer Asked(const LowDiskQuestion& q) {
        Note("ask");
        questions.push_back(q);
        if (answers.empty()) return LowDiskAnswer::Skip;
        const LowDiskAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void OnTerminated(TThreadBase&, const TerminatedEvent&) override {
        Note("terminated");
        terminated = true;
    }

private:
    void Note(std::string line) {
        lines.push_back(std::move(line));
        callers.push_back(std::this_thread::get_id());
    }
};

// The real file service behind every call; a test overrides what it scripts.
class ForwardingFileSystem : public IFileSystem {
public:
    explicit ForwardingFileSystem(const IFileSystem& real) : real_(real) {}

    std::optional<uint32_t> GetAttributes(const std::filesystem::path& p) const override {
        return real_.GetAttributes(p);
    }
    bool SetAttributes(const std::filesystem::path& p, uint32_t a) const override {
        return real_.SetAttributes(p, a);
    }
    FileStatus CopyFile(const std::filesystem::path& s, const std::filesystem::path& t, CopyMode m,
                        const CopyProgress& pr = {}) const override {
        return real_.CopyFile(s, t, m, pr);
    }
    FileStatus MoveFile(const std::filesystem::path& s, const std::filesystem::path& t, CopyMode m,
                        const CopyProgress& pr = {}) const override {
        return real_.MoveFile(s, t, m, pr);
    }
    FileStatus DeleteFile(const std::filesystem::path& p) const override { return real_.DeleteFile(p); }
    FileStatus CreateFolders(const std::filesystem::path& f) const override { return real_.CreateFolders(f); }
    FileStatus RemoveFolder(const std::filesystem::path& f) const override { return real_.RemoveFolder(f); }
    TDateTime FileTime(const std::filesystem::path& p) const override { return real_.FileTime(p); }
    FileStatus SetFileTime(const std::filesystem::path& p, TDateTime t) const override {
        return real_.SetFileTime(p, t);
    }
    int64_t FileSize(const std::filesystem::path& p) const override { return real_.FileSize(p); }
    DiskSpace GetDiskSpace(const std::filesystem::path& p) const override { return real_.GetDiskSpace(p); }
    FileStatus ListFolder(const std::filesystem::path& f, const FolderVisitor& v,
                          ListDetail d = ListDetail::Full) const override {
        return real_.ListFolder(f, v, d);
    }
    std::optional<uint64_t> VolumeId(const std::filesystem::path& p) const override {
        return real_.VolumeId(p);
    }
    std::string RealPath(const std::filesystem::path& p) const override { return real_.RealPath(p); }
    bool CanWriteIn(const std::filesystem::path& f) const override { return real_.CanWriteIn(f); }
    FileStatus FlushFile(const std::filesystem::path& p) const override { return real_.FlushFile(p); }
    void PrefetchFile(const std::filesystem::path& p) const override { real_.PrefetchFile(p); }
    std::unique_ptr<IFileLock> TryLock(const std::filesystem::path& p, FileStatus& s) const override {
        return real_.TryLock(p, s);
    }
    std::string TemporaryName(const std::filesystem::path& f) const override {
        return real_.TemporaryName(f);
    }
    void RemoveDeadTemporaries(const std::filesystem::path& f) const override {
        real_.RemoveDeadTemporaries(f);
    }
    bool FoldsLetterCase(const std::filesystem::path& f) const override { return real_.FoldsLetterCase(f); }

protected:
    const IFileSystem& real_;
};

// The real file service with a scripted free space: each query takes the next value, the last
// one stays.
class LowSpaceFileSystem final : public ForwardingFileSystem {
public:
    explicit LowSpaceFileSystem(const IFileSystem& real, std::vector<int64_t> free)
        : ForwardingFileSystem(real), free_(std::move(free)) {}
    int SpaceQueries() const {
        std::lock_guard lock(mutex_);
        return queries_;
    }

    DiskSpace GetDiskSpace(const std::filesystem::path&) const override {
        std::lock_guard lock(mutex_);
        const std::size_t i = std::min<std::size_t>(static_cast<std::size_t>(queries_++), free_.size() - 1);
        return {free_[i], 1 << 30};
    }

private:
    std::vector<int64_t> free_;
    mutable std::mutex mutex_;
    mutable int queries_ = 0;
};

struct DeletedRow {
    std::string fileName;
    int64_t size;
};

class MemoryDeletedLog final : public IDeletedFilesLog {
public:
    explicit MemoryDeletedLog(std::vector<DeletedRow>& rows) : rows_(rows) {}
    void Add(const std::string& fileName, int64_t size) override { rows_.push_back({fileName, size}); }

private:
    std::vector<DeletedRow>& rows_;
};

inline DeletedFilesLogFactory LogInto(std::vector<DeletedRow>& rows) {
    return [&rows] { return std::make_unique<MemoryDeletedLog>(rows); };
}

} // namespace drivlet::test

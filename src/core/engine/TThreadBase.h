#pragma once
// The base of every worker: run clock and counters, the events to the status panel,
// cancellation and the failed-body convention. Its file operations (ProtectedFiles) do the
// writing and deleting.
#include "core/engine/FolderWalk.h"
#include "core/engine/IDeletedFilesLog.h"
#include "core/engine/ProtectedFiles.h"
#include "core/engine/Reporter.h"
#include "core/engine/ThreadEvents.h"
#include "core/filter/TFileFilter.h"
#include "core/time/DateTime.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace drivlet {

// The prefixes of a failed body's thread-error text.
inline constexpr std::string_view kThreadErrorPrefix = "Thread Error : Class = TThreadBase : ";
inline constexpr std::string_view kCopyThreadErrorPrefix = "Thread Error : Class = TCopyFolderThread : ";

// What the thread works with; everything outlives the thread.
struct ThreadServices {
    const IFileSystem& fileSystem;
    const IClock& clock;
};

class TThreadBase : private ProtectedFiles::Host {
public:
    // On the main thread; the thread starts with Start.
    explicit TThreadBase(const ThreadServices& services);
    // Asks the worker to stop and waits for it (unless called on the worker itself). By then the
    // members of the descendants are gone: a descendant whose body uses members of its own stops
    // the worker in its own destructor (StopAndWait). A JobRun owns a job safely.
    virtual ~TThreadBase();
    TThreadBase(const TThreadBase&) = delete;
    TThreadBase& operator=(const TThreadBase&) = delete;

    // Set before Start.
    void SetDatabaseFile(std::string path) { DatabaseFile = std::move(path); }
    void SetFileFilter(const TFileFilter& filter) { FileFilter.Assign(filter); }
    void SetEvents(IThreadEvents* events) { reporter_.SetEvents(events); }
    // The settings are fixed when the body starts; the log is opened then, on the worker, and only
    // when MoveToDeleted is on.
    void SetDeletedStore(DeletedStoreSettings settings, DeletedFilesLogFactory openLog = {}) {
        fileOps_.SetDeletedStore(std::move(settings), std::move(openLog));
    }
    // The drive (its path, ending with "/") the job works on. Its volume is taken when the body
    // starts and looked at again before every file operation: a drive that is pulled or unmounted
    // mid-run ends the run before anything is written where its mount point was. By default the
    // drive of the database file, when that lies in a drive's "Config" folder. A launcher that has
    // just read the job from the drive passes the volume it saw, so that a drive gone before the
    // body starts is noticed too.
    void SetJobDrive(std::string drivePath, std::optional<uint64_t> volume = std::nullopt) {
        fileOps_.SetJobDrive(std::move(drivePath), volume);
    }
    // The job's lock, held until the body has ended so that no second run of the job starts.
    void HoldJobLock(std::unique_ptr<IFileLock> lock) { jobLock_ = std::move(lock); }

    void Start();
    // The terminate request: sets the flag the worker polls, gives a question the worker waits on
    // its cancelled answer, and tells the listeners.
    void Terminate();
    // Called on every terminate request, on the thread that makes it (the worker itself too);
    // each must outlive the worker and must not block.
    void AddTerminateListener(std::function<void()> listener);
    bool Terminated() const { return stop_.stop_requested(); }
    // Blocks until the body and the on-terminate event are over.
    void WaitFor();
    bool Finished() const { return finished_.load(); }

    TDateTime StartTime() const { return startTime_.load(); }
    ThreadCounters Counters() const { return {FilesDone, FilesTotal, BytesDone, BytesTotal, FoldersDone}; }

protected:
    // For the destructor of a descendant with members the body uses: the worker is gone before
    // they are.
    void StopAndWait() {
        Terminate();
        WaitFor();
    }
    // The descendant's work; runs on the worker after the base body.
    virtual void Execute() = 0;
    // The folder path ends with "/".
    virtual bool IsFolderExcluded(const std::string& folder) = 0;
    // Size of a file, 0 for a folder, -1 when nothing is found.
    virtual int64_t GetFileSize(const std::string& path);
    // Whether an overwrite of a newer file diverts that file into the store first: sync threads
    // do, the backup family (which overrides this) does not. Asked when the body starts.
    virtual bool DivertsNewerTargets() const { return true; }

    // The status line: what the worker is at (its phase and text) with the run's progress.
    void ShowStatus(StatusPhase phase, std::string text) final {
        SetStatus(phase, std::move(text));
        ShowStatus();
    }
    // Again, with the progress as it is now.
    void ShowStatus() final;
    // The phase and text the next ShowStatus() shows, for a step whose progress follows.
    void SetStatus(StatusPhase phase, std::string text) {
        statusPhase_ = phase;
        statusText_ = std::move(text);
    }
    void ClearStatusText() { statusText_.clear(); }
    // A thread error with this text and code (-1: the worker's own).
    void ReportThreadError(ThreadErrorKind kind, std::string text, int32_t code = -1);
    // The per-file log line: "Done", or the message of the last failed file operation.
    void ReportFileResult(const std::string& file, std::string_view action, bool succeeded) {
        reporter_.Log(file, std::string(action), succeeded ? "Done" : fileOps_.LastError().message(),
                      !succeeded);
    }

    // The run's copies, deletes and drive guard, and what it tells its sink.
    ProtectedFiles& FileOps() { return fileOps_; }
    Reporter& Report() { return reporter_; }

    // Walks the tree below root (FolderWalk) until the run is cancelled; false when root could
    // not be listed. A folder that cannot be listed and a special file get this run's failed log
    // lines (the file's with `action`) unless the steps have hooks of their own for them.
    bool WalkFolder(const std::string& root, FolderWalk::Steps steps, std::string_view action) {
        return WalkReportingFailures(root, std::move(steps), action, reporter_, stop_.get_token());
    }

    // Puts a question to the front end and waits for its answer: `ask` hands the answer on, to be
    // given now or later from any thread. A terminate request while it waits answers `cancelled`.
    template <typename T> T AskAndWait(const std::function<void(Answer<T>)>& ask, T cancelled) {
        Answer<T> answer;
        std::future<T> future = answer.Future();
        {
            std::lock_guard lock(listenersMutex_);
            releaseQuestion_ = [answer, cancelled] { answer(cancelled); };
        }
        ask(answer);
        T value = future.get();
        std::lock_guard lock(listenersMutex_);
        releaseQuestion_ = nullptr;
        return value;
    }

    // The failed-body convention: an exception becomes a thread error with the prefix and code -1.
    void RunGuarded(std::string_view prefix, const std::function<void()>& body);

    // Below the job's drive, through the handle of the drive taken when the run began (kept here
    // because nearly every worker step reads the files through it).
    const IFileSystem& Files() const { return fileOps_.Files(); }
    // At the end of the body, on the worker: closes what the run holds open on the drive (its
    // databases, the drive's handle), so that the drive can be unmounted while the job's panel
    // still shows it. A descendant closes its own and calls this.
    virtual void ReleaseDrive();
    const IClock& Clock() const { return services_.clock; }

    std::string DatabaseFile;
    TFileFilter FileFilter;
    int64_t FilesDone = 0;
    int64_t FoldersDone = 0; // counted in FilesDone as well
    int64_t FilesTotal = 0;
    int64_t BytesTotal = 0;
    int64_t BytesDone = 0;
    TDateTime SpeedStartTime = 0;

private:
    void ThreadMain();
    void BaseBody();

    // What the file operations ask of the worker.
    LowDiskAnswer AskLowDiskSpace(const LowDiskQuestion& question) final;
    void StopRun() final { Terminate(); }
    bool ExcludesFolder(const std::string& folder) final { return IsFolderExcluded(folder); }

    ThreadServices services_;
    std::unique_ptr<IFileLock> jobLock_;
    StatusPhase statusPhase_ = StatusPhase::Step;
    std::string statusText_;

    std::mutex listenersMutex_;
    std::vector<std::function<void()>> terminateListeners_;
    std::function<void()> releaseQuestion_; // while the worker waits for an answer
    // Requested by Terminate, before or after the thread starts; the body polls it.
    std::stop_source stop_;
    Reporter reporter_{*this, services_.clock};
    ProtectedFiles fileOps_{services_.fileSystem, FileFilter, reporter_, *this, stop_.get_token()};
    std::atomic<bool> finished_{false};
    std::atomic<TDateTime> startTime_{0};
    std::jthread thread_;
};

} // namespace drivlet

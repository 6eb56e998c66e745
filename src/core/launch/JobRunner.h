#pragma once
// Turns any job file into a running job, in two steps so that no front end blocks on a question:
// Prepare reads and checks the job (a file that cannot be read is refused and left as it is),
// takes its lock and lists the questions it needs answered; Start takes the replies, whenever
// they come, and starts the right worker. The run's outcome comes from the JobRun it returns.
#include "core/engine/sync/IConflictPrompt.h"
#include "core/launch/FinishMessages.h"
#include "core/launch/JobFileKind.h"
#include "core/launch/JobLocation.h"
#include "core/launch/JobQuestion.h"
#include "core/launch/JobRefusal.h"
#include "core/launch/JobRun.h"
#include "core/launch/KnownReach.h"
#include "core/launch/RunSettings.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

// What the runner works with; everything outlives the runs it starts.
struct RunnerServices {
    ThreadServices threads;
    std::string computerId;
    RunSettings settings;
    // Which folders are drive roots a job file may be run from; empty: mount points.
    DriveRootTest isDriveRoot = {};
    // The jobs the user let act on this computer; before any other first acts here, its reach
    // is asked about.
    KnownReach knownReach = {};
};

struct PrepareOptions {
    int itemIndex = -1; // of a ".upcsy" job; -1: the first item of this computer
    // A schedule the user made starts the job: that is the user's answer about its reach.
    bool reachAnswered = false;
};

struct StartOptions {
    IConflictPrompt* prompt = nullptr; // sync jobs; not owned, outlives the run; asked when draining
    bool dryRun = false;               // sync jobs: decide only; the job file is not written either
    ThreadEventQueue::Wake wake = {};  // called from the worker when events wait to be drained
    RunRegistry* registry = nullptr;   // counts the run while it is under way; outlives it
};

// A job read and checked, holding its lock until it is started or dropped.
class PreparedJob {
public:
    PreparedJob() = default;
    PreparedJob(PreparedJob&&) noexcept = default;
    PreparedJob& operator=(PreparedJob&&) noexcept = default;

    // False when refused: nothing was touched and nothing is held.
    bool Ready() const { return !refusal_; }
    const std::optional<JobRefusal>& Refusal() const { return refusal_; }
    // In the order they are to be asked; a reply that does not let the job go on ends the asking.
    const std::vector<JobQuestion>& Questions() const { return questions_; }

    // The job file's real path.
    const std::string& File() const { return file_; }
    JobFileKind FileKind() const { return fileKind_; }
    JobKind Kind() const { return kind_; }
    // The job's BackupName or SyncName, or the item's SyncName.
    const std::string& Name() const { return name_; }

private:
    friend class JobRunner;

    std::string file_;
    JobFileKind fileKind_ = JobFileKind::None;
    JobKind kind_ = JobKind::Backup;
    std::string name_;
    std::optional<JobRefusal> refusal_;
    std::vector<JobQuestion> questions_;
    std::string reach_; // the fingerprint remembered when the job starts; empty: none
    std::unique_ptr<IFileLock> lock_;
    std::unique_ptr<TArchiveData> backup_;
    std::string destination_; // of a backup, read against the drive
    std::string drivePath_;
    // A backup's drive-side lists as they are stored (drive-relative), written back so.
    std::vector<std::string> storedFolders_, storedFiles_, storedExcludes_;
    std::unique_ptr<TSyncData> sync_;
    std::unique_ptr<TPCSyncData> computerSync_;
    size_t item_ = 0;
};

struct JobStart {
    std::unique_ptr<JobRun> run;       // started; empty when not
    std::optional<JobRefusal> refusal; // why not, when it was refused
    bool declined = false;             // a reply kept it from starting
    std::string archiveFolder;         // a backup's or move's run folder
    std::string saveError;             // the start time could not be written back (the job runs)

    bool Started() const { return run != nullptr; }
};

class JobRunner {
public:
    explicit JobRunner(RunnerServices services) : services_(std::move(services)) {}

    [[nodiscard]] PreparedJob Prepare(const std::string& jobFile, const PrepareOptions& options = {}) const;
    // replies[i] answers Questions()[i] with a dlg:: value; a missing reply is no answer. The
    // events are the front end's sink (a status panel, the command line), handed over when the
    // run is drained. The job's start time is written back into its file.
    [[nodiscard]] JobStart Start(PreparedJob&& job, const std::vector<int>& replies, IThreadEvents* events,
                                 const StartOptions& options = {}) const;

    const RunnerServices& Services() const { return services_; }
    // The settings the next runs start with (a front end may read them only once a job is known).
    void SetSettings(RunSettings settings) { services_.settings = std::move(settings); }

private:
    void PrepareBackup(PreparedJob& job) const;
    void PrepareSync(PreparedJob& job) const;
    void PrepareComputerSync(PreparedJob& job, int itemIndex) const;
    void AskAboutReach(PreparedJob& job, bool answered) const;
    JobStart StartBackup(PreparedJob& job, IThreadEvents* events, const StartOptions& options) const;
    JobStart StartSync(PreparedJob& job, IThreadEvents* events, const StartOptions& options) const;

    RunnerServices services_;
};

} // namespace drivlet

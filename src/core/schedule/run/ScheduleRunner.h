#pragma once
// The schedule runner of the resident program: finds the due rows of the schedule table, hands
// their job files to the launcher and reschedules the rows. Everything runs on the front end's
// main thread; the "File Not Found" question is asked without blocking it, and a pass that would
// start while a question is open waits until the open pass has ended.
#include "core/db/ProgramDatabase.h"
#include "core/records/Enumerations.h"
#include "core/schedule/TSchedule.h"
#include "core/time/DateTime.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

// The selections of a pass: the active rows of one mode (the timed ones only when due).
enum class SchedulePass { Startup, Shutdown, Timed, DriveInsertion };

inline constexpr std::string_view kFileNotFoundTitle = "File Not Found";

struct FileNotFoundQuestion {
    std::string text;  // the whole question as shown
    std::string title; // "File Not Found"
    std::string fileName;
    std::string jobName;
};

// The question's text for a row.
std::string FileNotFoundText(const std::string& fileName, const std::string& jobName);

// The job file named `fileName` as it would lie on another drive: the drive part of the name (the
// folder holding its "Config" folder) replaced by `drivePath`.
std::string JobFileOnDrive(const std::string& fileName, const std::string& drivePath);

// The schedule timer's test: the whole minutes since the epoch of the date-time differ, so the
// timed schedules are examined on every tick except in the clock minute the program started.
bool MinuteDiffers(TDateTime now, TDateTime startTime);

struct ScheduleRunnerServices {
    ProgramDatabase& database;
    const IClock& clock;
    std::function<bool(const std::string& path)> fileExists;
    // The drive paths of the mounted volumes, in mount-table order, where a moved job file is
    // looked for.
    std::function<std::vector<std::string>()> mountedDrives;
    // Opens the job's drive and hands the file to the launcher.
    std::function<void(const std::string& jobFile)> launch;
    // Asks the question; the answer (true: OK) is given later, on the main thread, by calling the
    // function handed over, once. It may also be called before `ask` returns.
    std::function<void(const FileNotFoundQuestion& question, std::function<void(bool ok)> answer)> ask;
    // A pass that failed (the database could not be read or written); the pass has ended.
    std::function<void(const std::string& message)> reportError;
};

class ScheduleRunner {
public:
    // LastPass and StartTime are the creation time.
    ScheduleRunner(ScheduleRunnerServices services, TScheduleRunMode runMode);
    ~ScheduleRunner();
    ScheduleRunner(const ScheduleRunner&) = delete;
    ScheduleRunner& operator=(const ScheduleRunner&) = delete;

    // What a due row whose job file is not found does (the setting may change while running).
    void SetScheduleRunMode(TScheduleRunMode mode) { runMode_ = mode; }
    TScheduleRunMode ScheduleRunMode() const { return runMode_; }

    // Runs the pass of the start-up, shut-down or timed schedules now, or once the open pass has
    // ended. A timed pass already waiting is not queued twice: it reads what is due when it starts.
    void RunSchedules(SchedulePass pass);
    // The drive-insertion schedules of a drive that arrived at `drivePath` (a known drive): each
    // row's job file rebased onto the drive and launched when it is there. Rows are not
    // rescheduled. Deferred like RunSchedules while a question is open.
    void RunDriveInsertion(const std::string& drivePath);
    // The schedule timer's tick: the timed pass, unless still in the minute of the start.
    void Tick();

    // A question of the current pass waits for its answer.
    bool QuestionOpen() const;
    // A pass is open or waiting to start.
    bool Busy() const;
    // Called when the runner has no pass open and none waiting (after a pass or a question ended).
    std::function<void()> OnIdle;

    TDateTime LastPass() const { return lastPass_; }
    TDateTime StartTime() const { return startTime_; }

private:
    struct Request {
        SchedulePass pass;
        std::string drivePath; // of a drive-insertion pass
    };
    struct Pass;

    void Enqueue(Request request);
    // Runs passes until none is left or one waits for an answer.
    void Pump();
    void Begin(const Request& request);
    // Works through the open pass; false when it waits for an answer.
    bool Advance();
    void Step(Pass& pass);
    void Answer(const std::shared_ptr<Pass>& pass, bool ok);
    std::optional<std::string> FindJobFile(const std::string& fileName) const;
    void Launch(const std::string& jobFile);
    void Reschedule(Pass& pass, const ScheduleRunRow& row);
    // The clock was set back (it was wrong, or a run happened under a clock far ahead): a row
    // whose next run lies beyond the one after its next from now was moved on by a clock that was
    // wrong, and gets its next run from now again.
    void AfterClockStep(TDateTime now);

    ScheduleRunnerServices services_;
    TScheduleRunMode runMode_;
    TDateTime lastPass_;
    TDateTime startTime_;
    std::shared_ptr<Pass> pass_;
    std::deque<Request> waiting_;
    bool pumping_ = false;
    // The due time each timed row was last started for: a clock set back never starts it twice.
    std::map<int64_t, TDateTime> startedFor_;
};

} // namespace drivlet

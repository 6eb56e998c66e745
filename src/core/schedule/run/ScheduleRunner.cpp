#include "core/schedule/run/ScheduleRunner.h"

#include "core/db/BusyWait.h"
#include "core/drives/DrivePaths.h"

#include <cmath>
#include <exception>

namespace drivlet {
namespace {

// The runner works on the front end's thread, which must stay free to answer: a schedule table
// another process holds locked is given up on quickly and tried again at the next pass.
constexpr std::chrono::milliseconds kRunnerBusyLimit{250};

// The schedule record of a row; none when it has none or it cannot be read.
std::unique_ptr<TSchedule> ScheduleOf(const ScheduleRunRow& row) {
    if (row.Data.empty()) return nullptr;
    auto schedule = std::make_unique<TSchedule>();
    try {
        schedule->LoadCompressedFromField(row.Data);
    } catch (const std::exception&) {
        return nullptr;
    }
    return schedule;
}

} // namespace

struct ScheduleRunner::Pass {
    SchedulePass kind = SchedulePass::Timed;
    std::string drivePath;
    TDateTime start = 0;
    std::vector<ScheduleRunRow> rows;
    size_t index = 0;
    // The schedule of the row being rescheduled; a row without one keeps the last row's.
    TSchedule schedule;
    bool asking = false;
    std::optional<bool> answer;
};

std::string FileNotFoundText(const std::string& fileName, const std::string& jobName) {
    return "Backup file not found in pc.\r\nPlease insert the disk with backup file and click ok to "
           "continue\r\n"
           "File Name : " +
           fileName + "\r\n" + "Job Name : " + jobName;
}

std::string JobFileOnDrive(const std::string& fileName, const std::string& drivePath) {
    const std::string oldDrive = DrivePathOfJobFile(fileName);
    std::string drive = drivePath;
    if (drive.empty() || drive.back() != '/') drive += '/';
    return drive + fileName.substr(oldDrive.size());
}

bool MinuteDiffers(TDateTime now, TDateTime startTime) {
    // Whole milliseconds first: 10:00:00 is not a hair short of its minute.
    const auto minutes = [](TDateTime value) { return std::floor(std::round(value * 86400000.0) / 60000.0); };
    return minutes(now) != minutes(startTime);
}

ScheduleRunner::ScheduleRunner(ScheduleRunnerServices services, TScheduleRunMode runMode)
    : services_(std::move(services)), runMode_(runMode) {
    lastPass_ = services_.clock.Now();
    startTime_ = lastPass_;
}

ScheduleRunner::~ScheduleRunner() = default;

void ScheduleRunner::RunSchedules(SchedulePass pass) {
    Enqueue({pass, {}});
}

void ScheduleRunner::RunDriveInsertion(const std::string& drivePath) {
    Enqueue({SchedulePass::DriveInsertion, drivePath});
}

void ScheduleRunner::Tick() {
    if (MinuteDiffers(services_.clock.Now(), startTime_)) RunSchedules(SchedulePass::Timed);
}

bool ScheduleRunner::QuestionOpen() const {
    return pass_ && pass_->asking;
}

bool ScheduleRunner::Busy() const {
    return pass_ || !waiting_.empty();
}

void ScheduleRunner::Enqueue(Request request) {
    for (const Request& w : waiting_) {
        // A waiting timed pass reads what is due when it starts; one is enough. So is one pass per
        // arriving drive.
        if (w.pass == request.pass && w.drivePath == request.drivePath) return Pump();
    }
    waiting_.push_back(std::move(request));
    Pump();
}

void ScheduleRunner::Pump() {
    if (pumping_) return; // a launch or an answer given inside a pass: the loop below goes on
    pumping_ = true;
    bool waits = false;
    for (;;) {
        if (pass_) {
            if (!Advance()) {
                waits = true;
                break;
            }
            continue;
        }
        if (waiting_.empty()) break;
        const Request next = std::move(waiting_.front());
        waiting_.pop_front();
        try {
            Begin(next);
        } catch (const std::exception& e) {
            pass_.reset();
            if (services_.reportError) services_.reportError(e.what());
        }
    }
    pumping_ = false;
    if (!waits && !Busy() && OnIdle) OnIdle();
}

void ScheduleRunner::Begin(const Request& request) {
    const BusyLimit quick(kRunnerBusyLimit);
    auto pass = std::make_shared<Pass>();
    pass->kind = request.pass;
    pass->drivePath = request.drivePath;
    pass->start = services_.clock.Now();
    ProgramDatabase& db = services_.database;
    if (request.pass == SchedulePass::Timed && pass->start < lastPass_) {
        AfterClockStep(pass->start);
        // What was due before the clock's new reading is judged against it, not the old one.
        lastPass_ = pass->start;
    }
    switch (request.pass) {
    case SchedulePass::Startup:
        pass->rows = db.ActiveSchedules(kRunAtStartup);
        break;
    case SchedulePass::Shutdown:
        pass->rows = db.ActiveSchedules(kRunAtShutdown);
        break;
    case SchedulePass::Timed:
        pass->rows = db.DueTimedSchedules(pass->start);
        break;
    case SchedulePass::DriveInsertion:
        pass->rows = db.ActiveSchedules(kRunAtDriveInsertion);
        break;
    }
    pass_ = std::move(pass);
}

bool ScheduleRunner::Advance() {
    while (pass_) {
        const std::shared_ptr<Pass> pass = pass_;
        if (pass->asking) return false;
        if (pass->index >= pass->rows.size()) {
            // The drive-insertion rows are no pass of the runner's clock.
            if (pass->kind != SchedulePass::DriveInsertion) lastPass_ = pass->start;
            pass_.reset();
            return true;
        }
        try {
            const BusyLimit quick(kRunnerBusyLimit);
            Step(*pass);
        } catch (const std::exception& e) {
            // The pass ends here; LastPass stays, so nothing due is taken for missed.
            pass_.reset();
            if (services_.reportError) services_.reportError(e.what());
        }
    }
    return true;
}

void ScheduleRunner::Step(Pass& pass) {
    const ScheduleRunRow row = pass.rows[pass.index];
    const auto next = [&pass] { ++pass.index; };
    if (pass.kind == SchedulePass::DriveInsertion) {
        const std::string file = JobFileOnDrive(row.FileName, pass.drivePath);
        if (services_.fileExists(file)) Launch(file);
        return next();
    }
    if (pass.answer) {
        const bool ok = *pass.answer;
        pass.answer.reset();
        if (!ok) {
            Reschedule(pass, row);
            return next();
        }
        // OK: the drive may have been inserted meanwhile; look again.
    } else if (row.Mode == kRunTimed && row.NextRunTime && *row.NextRunTime < lastPass_) {
        // Due before the previous pass (the program was not running then): not run, only moved on.
        Reschedule(pass, row);
        return next();
    }
    if (row.Mode == kRunTimed && row.NextRunTime) {
        const auto started = startedFor_.find(row.ID);
        if (started != startedFor_.end() && *row.NextRunTime <= started->second) {
            // Run already, and due again only because the clock was set back.
            Reschedule(pass, row);
            return next();
        }
    }
    if (const auto found = FindJobFile(row.FileName)) {
        // Claimed before it starts: a due time whose row cannot be moved on is not started, so it
        // is never started twice.
        Reschedule(pass, row);
        if (row.Mode == kRunTimed && row.NextRunTime) startedFor_[row.ID] = *row.NextRunTime;
        Launch(*found);
        return next();
    }
    switch (runMode_) {
    case TScheduleRunMode::srmNext:
        // Left as it is: the next pass finds it missed and only reschedules it.
        return next();
    case TScheduleRunMode::srmSkip:
        Reschedule(pass, row);
        return next();
    case TScheduleRunMode::srmAsk:
        break;
    }
    pass.asking = true;
    const std::weak_ptr<Pass> weak = pass_;
    FileNotFoundQuestion question{FileNotFoundText(row.FileName, row.JobName),
                                  std::string(kFileNotFoundTitle), row.FileName, row.JobName};
    services_.ask(question, [this, weak](bool ok) {
        // A runner that has gone, or a question answered twice, takes no answer.
        if (auto p = weak.lock()) Answer(p, ok);
    });
}

void ScheduleRunner::Answer(const std::shared_ptr<Pass>& pass, bool ok) {
    if (pass != pass_ || !pass->asking) return;
    pass->asking = false;
    pass->answer = ok;
    Pump();
}

std::optional<std::string> ScheduleRunner::FindJobFile(const std::string& fileName) const {
    if (services_.fileExists(fileName)) return fileName;
    if (!services_.mountedDrives) return std::nullopt;
    for (const std::string& drive : services_.mountedDrives()) {
        const std::string candidate = JobFileOnDrive(fileName, drive);
        if (candidate != fileName && services_.fileExists(candidate)) return candidate;
    }
    return std::nullopt;
}

void ScheduleRunner::Launch(const std::string& jobFile) {
    try {
        services_.launch(jobFile);
    } catch (const std::exception& e) {
        // The launcher's own failure; the row is still moved on so it is not started every second.
        if (services_.reportError) services_.reportError(jobFile + ": " + e.what());
    }
}

void ScheduleRunner::Reschedule(Pass& pass, const ScheduleRunRow& row) {
    if (!row.Data.empty()) {
        // A fresh record per row: a stored record holds only what differs from the construction
        // values, so loading it over the last row's would keep that row's mode or days.
        TSchedule fresh;
        try {
            fresh.LoadCompressedFromField(row.Data);
        } catch (const std::exception& e) {
            // A damaged schedule has no next run; the row is kept, but no longer selected.
            services_.database.SetNextRunTime(row.ID, std::nullopt);
            if (services_.reportError) services_.reportError(row.FileName + ": " + e.what());
            return;
        }
        pass.schedule.Assign(fresh);
        pass.schedule.TimeH = fresh.TimeH;
        pass.schedule.TimeM = fresh.TimeM;
    }
    std::optional<TDateTime> nextRun;
    if (pass.schedule.ScheduleMode != TScheduleMode::smOnesOnly && row.Mode == kRunTimed)
        nextRun = pass.schedule.NextRun(services_.clock.Now());
    services_.database.SetNextRunTime(row.ID, nextRun);
}

void ScheduleRunner::AfterClockStep(TDateTime now) {
    for (const ScheduleRunRow& row : services_.database.ActiveSchedules(kRunTimed)) {
        const std::unique_ptr<TSchedule> schedule = ScheduleOf(row);
        if (!row.NextRunTime || !schedule || schedule->ScheduleMode == TScheduleMode::smOnesOnly) continue;
        const TDateTime next = schedule->NextRun(now);
        // The run after that one: from the day after it (a next run may lie earlier on its day).
        const TDateTime following = schedule->NextRun(std::floor(next) + 1);
        if (*row.NextRunTime <= following) continue;
        services_.database.SetNextRunTime(row.ID, next);
        startedFor_.erase(row.ID);
    }
}

} // namespace drivlet

#include "cli/WatchCommand.h"

#include "cli/CliRunEvents.h"
#include "cli/RecordCommands.h"
#include "cli/WatchLog.h"
#include "core/db/ProgramDatabase.h"
#include "core/drives/DriveRegistry.h"
#include "core/engine/SizeText.h"
#include "core/records/TProgramData.h"
#include "core/schedule/run/DeletedSizeAlert.h"
#include "core/schedule/run/ScheduleRunner.h"
#include "platform/ShellNotifySource.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace drivlet::cli {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr auto kTickInterval = std::chrono::seconds(1);
constexpr auto kAlertInterval = std::chrono::seconds(6);
// How soon a stop request is noticed; the flag is set by a signal handler, which cannot wake us.
constexpr auto kStopPoll = std::chrono::milliseconds(100);

std::string ExitText(int code) {
    switch (code) {
    case exitcode::Ok:
        return "every file done";
    case exitcode::SomeFailed:
        return "some files failed";
    case exitcode::Cancelled:
        return "cancelled, a thread error or not started";
    default:
        return "the job could not be read";
    }
}

// A question's lines on one log line.
std::string OneLine(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, " / ");
    return text;
}

// Drive arrivals from the notification thread, handed on to the watch's own thread.
class DriveSink final : public IShellNotifySink {
public:
    explicit DriveSink(std::function<void(const std::string&)> arrived) : arrived_(std::move(arrived)) {}
    void Deliver(const ShellNotification& n) override {
        if ((n.event & (shcne::DriveAdd | shcne::MediaInserted)) && n.itemA) arrived_(*n.itemA);
    }

private:
    std::function<void(const std::string&)> arrived_;
};

class WatchSession {
public:
    WatchSession(const WatchOptions& options, const WatchEnvironment& environment, WatchLog& log,
                 ProgramDatabase& database)
        : options_(options), environment_(environment), log_(log), database_(database),
          logStream_(log, ""), console_{std::cin, logStream_, logStream_, false, false, std::nullopt},
          dialogs_(console_), settings_(environment.run.programDataRoot) {
        settings_.LoadCompressed(TProgramData::SettingsFile(environment.run.programDataRoot), dialogs_);
        ScheduleRunnerServices services{
            database_,
            environment_.run.clock,
            [](const std::string& path) {
                std::error_code ec;
                return std::filesystem::is_regular_file(path, ec);
            },
            environment_.mountedDrives,
            [this](const std::string& file) { Launch(file); },
            [this](const FileNotFoundQuestion& question, std::function<void(bool)> answer) {
                // No one to insert the drive and press OK: answered Cancel, as a question without a
                // terminal is.
                log_.Line(question.title + ": " + OneLine(question.text) + " (answered Cancel)");
                answer(false);
            },
            [this](const std::string& message) { log_.Line("schedule error: " + message); }};
        runner_ = std::make_unique<ScheduleRunner>(std::move(services), settings_.ScheduleRunMode);
    }

    int Run() {
        auto sink = std::make_shared<DriveSink>(
            [this](const std::string& drive) { Post([this, drive] { OnDriveArrived(drive); }); });
        const uint64_t registration = environment_.driveFeed.Register(
            {kShellNotifySources, shcne::DriveAdd | shcne::MediaInserted, 1024, {}}, sink);
        if (!registration) log_.Line("drive arrivals cannot be watched here; the other schedules still run");
        log_.Line("watching: program data " + environment_.run.programDataRoot.string() + ", computer " +
                  environment_.run.computerId);

        runner_->RunSchedules(SchedulePass::Startup);
        auto nextTick = SteadyClock::now() + kTickInterval;
        auto nextAlert = SteadyClock::now();
        while (!environment_.stop.load()) {
            RunPosted();
            const auto now = SteadyClock::now();
            if (now >= nextTick) {
                runner_->Tick();
                nextTick += kTickInterval;
                if (nextTick <= now) nextTick = now + kTickInterval; // a long pass: no burst of ticks
            }
            if (now >= nextAlert) {
                CheckDeletedSize();
                nextAlert = now + kAlertInterval;
            }
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, std::min({nextTick, nextAlert, now + kStopPoll}),
                             [&] { return !posted_.empty(); });
        }

        stopping_ = true;
        if (registration) environment_.driveFeed.Deregister(registration);
        log_.Line("stopping: " + std::to_string(jobs_.size()) + " running job(s) cancelled");
        for (auto& [file, job] : jobs_)
            job->cancel.store(true);
        while (!jobs_.empty()) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return !posted_.empty(); });
            }
            RunPosted();
        }
        log_.Line("stopped");
        return exitcode::Ok;
    }

private:
    struct Job {
        std::thread thread;
        std::atomic<bool> cancel{false};
    };

    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            posted_.push_back(std::move(task));
        }
        wake_.notify_one();
    }

    void RunPosted() {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(mutex_);
            tasks.swap(posted_);
        }
        for (auto& task : tasks)
            task();
    }

    void OnDriveArrived(const std::string& drive) {
        if (stopping_) return;
        if (!IsDriveKnown(drive, environment_.run.computerId, dialogs_)) {
            log_.Line("drive not known to this computer, left alone: " + EscapeControls(drive));
            return;
        }
        log_.Line("drive arrived: " + EscapeControls(drive));
        runner_->RunDriveInsertion(drive);
    }

    void Launch(const std::string& file) {
        if (stopping_) return;
        if (jobs_.count(file)) {
            log_.Line("already running, not started again: " + EscapeControls(file));
            return;
        }
        log_.Line("start: " + EscapeControls(file));
        auto job = std::make_unique<Job>();
        Job* raw = job.get();
        jobs_.emplace(file, std::move(job));
        try {
            raw->thread = std::thread([this, raw, file] {
                int code = exitcode::Unreadable;
                {
                    WatchLogStream out(
                        log_, "[" + EscapeControls(std::filesystem::path(file).filename().string()) + "] ");
                    CliConsole console{std::cin, out, out, false, options_.assumeYes, std::nullopt};
                    RunOptions options;
                    options.cancel = &raw->cancel;
                    try {
                        code = RunScheduledJob(file, options, environment_.run, console);
                    } catch (const std::exception& e) {
                        out << "Thread Error\t" << e.what() << "\n";
                        code = exitcode::Cancelled;
                    }
                }
                Post([this, file, code] { OnJobEnded(file, code); });
            });
        } catch (const std::system_error& e) {
            jobs_.erase(file);
            log_.Line("could not start " + EscapeControls(file) + ": " + e.what());
        }
    }

    void OnJobEnded(const std::string& file, int code) {
        const auto it = jobs_.find(file);
        if (it == jobs_.end()) return;
        it->second->thread.join();
        jobs_.erase(it);
        log_.Line("end: " + EscapeControls(file) + " (exit " + std::to_string(code) + ": " + ExitText(code) +
                  ")");
    }

    void CheckDeletedSize() {
        try {
            const DeletedSizeAlert alert = MeasureDeletedSize(database_, settings_.MaxDeletedSize);
            // Said once each time the store goes over the limit, not every six seconds.
            if (alert.overLimit && overLimit_ != true)
                log_.Line(alert.balloonText + " (" + FormatSize(alert.deletedSize) + " used, the limit is " +
                          FormatSize(settings_.MaxDeletedSize) + ")");
            overLimit_ = alert.overLimit;
        } catch (const std::exception& e) {
            log_.Line(std::string("deleted-files size: ") + e.what());
        }
    }

    const WatchOptions& options_;
    const WatchEnvironment& environment_;
    WatchLog& log_;
    ProgramDatabase& database_;
    WatchLogStream logStream_;
    CliConsole console_;
    CliDialogs dialogs_;
    TProgramData settings_;
    std::unique_ptr<ScheduleRunner> runner_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> posted_;
    std::map<std::string, std::unique_ptr<Job>> jobs_;
    bool stopping_ = false;
    std::optional<bool> overLimit_;
};

} // namespace

int RunScheduledJob(const std::string& file, const RunOptions& options, const CliEnvironment& environment,
                    CliConsole& console) {
    // The user made the schedule: that answers what the job may do here.
    RunOptions scheduled = options;
    scheduled.reachAnswered = true;
    return RunJob(file, scheduled, environment, console);
}

int Watch(const WatchOptions& options, const WatchEnvironment& environment, std::ostream& out) {
    WatchLog log(out);
    std::optional<ProgramDatabase> database;
    try {
        database.emplace(ProgramDatabase::PathFor(environment.run.programDataRoot));
    } catch (const std::exception& e) {
        log.Line(std::string("the program database cannot be opened: ") + e.what());
        return exitcode::Unreadable;
    }
    WatchSession session(options, environment, log, *database);
    return session.Run();
}

} // namespace drivlet::cli

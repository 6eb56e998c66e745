#include "cli/WatchCommand.h"

#include "cli/CliJob.h"
#include "cli/CliRunEvents.h"
#include "cli/RecordCommands.h"
#include "cli/WatchLog.h"
#include "core/engine/SizeText.h"
#include "core/resident/ResidentSession.h"
#include "platform/ShellNotifySource.h"
#include "platform/linux/LogindClient.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

namespace drivlet::cli {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr auto kTickInterval = std::chrono::seconds(1);

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

// The resident session's front end on the command line: its events are log lines, its questions
// are answered as `run` answers them without a terminal, and its jobs run on workers whose events
// are drained on the watch's one thread, woken when they arrive.
class WatchSession final : private IResidentFrontEnd {
public:
    WatchSession(const WatchOptions& options, const WatchEnvironment& environment, WatchLog& log)
        : options_(options), environment_(environment), log_(log),
          logStream_(log, ""), console_{std::cin, logStream_, logStream_, false, false, std::nullopt},
          dialogs_(console_) {}

    ~WatchSession() override {
        // The login manager's thread outlives the watch: it must not post here any more.
        if (environment_.logind) {
            environment_.logind->OnPrepareForShutdown({});
            environment_.logind->OnLockTaken({});
        }
    }

    // Opens the program database; false (said in the log) when it cannot be opened.
    bool Open() {
        // Before the session, which may take the lock as it opens; the tasks run in Run's loop.
        if (environment_.logind) {
            environment_.logind->OnPrepareForShutdown([this] {
                Post([this] {
                    log_.Line("the machine is shutting down");
                    (void)session_->ShutdownQuery(false);
                });
            });
            environment_.logind->OnLockTaken(
                [this] { Post([this] { log_.Line("holding the shut-down back while jobs run or wait"); }); });
        }
        try {
            session_ = std::make_unique<ResidentSession>(
                ResidentEnvironment{environment_.run.programDataRoot, environment_.run.computerId,
                                    environment_.run.clock, environment_.mountedDrives, dialogs_},
                static_cast<IResidentFrontEnd&>(*this));
        } catch (const std::exception& e) {
            log_.Line(std::string("the program database cannot be opened: ") + e.what());
            return false;
        }
        return true;
    }

    int Run() {
        auto sink = std::make_shared<DriveSink>(
            [this](const std::string& drive) { Post([this, drive] { session_->DriveArrived(drive); }); });
        const uint64_t registration = environment_.driveFeed.Register(
            {kShellNotifySources, shcne::DriveAdd | shcne::MediaInserted, 1024, {}}, sink);
        if (!registration) log_.Line("drive arrivals cannot be watched here; the other schedules still run");
        log_.Line("watching: program data " + environment_.run.programDataRoot.string() + ", computer " +
                  environment_.run.computerId);

        {
            // Woken by the stop request itself.
            const std::stop_callback onStop(environment_.stop, [this] { Post([] {}); });
            session_->Start();
            session_->MeasureDeletedSize();
            auto nextTick = SteadyClock::now() + kTickInterval;
            while (!environment_.stop.stop_requested()) {
                RunPosted();
                const auto now = SteadyClock::now();
                if (now >= nextTick) {
                    session_->Tick(now);
                    nextTick += kTickInterval;
                    if (nextTick <= now) nextTick = now + kTickInterval; // a long pass: no burst of ticks
                }
                WaitForPosted(nextTick);
            }
        }

        stopping_ = true;
        if (registration) environment_.driveFeed.Deregister(registration);
        log_.Line("stopping: " + std::to_string(jobs_.size()) + " running job(s) cancelled");
        session_->Exit();
        while (!quit_ || !jobs_.empty()) {
            WaitForPosted(SteadyClock::time_point::max());
            RunPosted();
        }
        log_.Line("stopped");
        return exitcode::Ok;
    }

private:
    // One job's lines, with its file's name in front, and the job itself.
    struct Job {
        Job(const std::string& file, const WatchOptions& options, const CliEnvironment& environment,
            WatchLog& log)
            : out(log, "[" + EscapeControls(std::filesystem::path(file).filename().string()) + "] "),
              console{std::cin, out, out, false, options.assumeYes, std::nullopt},
              cli(file, Scheduled(), environment, console) {}
        static RunOptions Scheduled() {
            // The user made the schedule: that answers what the job may do here.
            RunOptions options;
            options.reachAnswered = true;
            return options;
        }
        WatchLogStream out;
        CliConsole console;
        CliJob cli;
    };

    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            posted_.push_back(std::move(task));
        }
        wake_.notify_one();
    }

    void WaitForPosted(SteadyClock::time_point until) {
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, until, [&] { return !posted_.empty(); });
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

    // --- what the session asks.
    void Launch(const std::string& file) override {
        if (stopping_) return;
        if (jobs_.count(file)) {
            log_.Line("already running, not started again: " + EscapeControls(file));
            return;
        }
        log_.Line("start: " + EscapeControls(file));
        auto job = std::make_unique<Job>(file, options_, environment_.run, log_);
        Job& started = *job;
        jobs_.emplace(file, std::move(job));
        bool running = false;
        try {
            running =
                started.cli.Launch(&session_->Runs(), [this, file] { Post([this, file] { Drain(file); }); });
        } catch (const std::exception& e) {
            started.out << "Thread Error\t" << e.what() << "\n";
            End(file, exitcode::Cancelled);
            return;
        }
        if (!running) End(file, started.cli.Code());
    }

    void Drain(const std::string& file) {
        const auto it = jobs_.find(file);
        if (it == jobs_.end() || !it->second->cli.Run()) return;
        JobRun& run = *it->second->cli.Run();
        run.Drain();
        if (run.Ended()) End(file, it->second->cli.Finish());
    }

    void End(const std::string& file, int code) {
        jobs_.erase(file);
        log_.Line("end: " + EscapeControls(file) + " (exit " + std::to_string(code) + ": " + ExitText(code) +
                  ")");
    }

    void AskFileNotFound(const FileNotFoundQuestion& question, std::function<void(bool ok)> answer) override {
        // No one to insert the drive and press OK: answered Cancel, as a question without a
        // terminal is.
        log_.Line(question.title + ": " + OneLine(question.text) + " (answered Cancel)");
        answer(false);
    }

    void Notify(const ResidentNotice& notice) override {
        switch (notice.event) {
        case ResidentEvent::DriveNotKnown:
            log_.Line("drive not known to this computer, left alone: " + EscapeControls(notice.text));
            break;
        case ResidentEvent::DriveArrived:
            log_.Line("drive arrived: " + EscapeControls(notice.text));
            break;
        case ResidentEvent::DeletedOverLimit:
            // Said once each time the store goes over the limit, not at every look.
            if (notice.first)
                log_.Line(notice.text + " (" + FormatSize(notice.deletedSize) + " used, the limit is " +
                          FormatSize(notice.limit) + ")");
            break;
        case ResidentEvent::DeletedSizeFailed:
            log_.Line("deleted-files size: " + notice.text);
            break;
        case ResidentEvent::ScheduleFailed:
            log_.Line("schedule error: " + notice.text);
            break;
        case ResidentEvent::ShutdownRefused:
            log_.Line(notice.text);
            break;
        }
    }

    void BlockShutdown(bool block) override {
        if (environment_.logind) environment_.logind->SetBlock(block);
    }

    bool EndSession(bool logOff) override {
        const bool asked = environment_.logind && environment_.logind->EndSession(logOff);
        if (asked)
            log_.Line(logOff ? "the jobs are done: the session is ended"
                             : "the jobs are done: the machine is powered off");
        return asked;
    }

    void Quit() override { quit_ = true; }

    const WatchOptions& options_;
    const WatchEnvironment& environment_;
    WatchLog& log_;
    WatchLogStream logStream_;
    CliConsole console_;
    CliDialogs dialogs_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> posted_;
    // Declared before the session: the runs (and their workers) go first, while it still counts them.
    std::unique_ptr<ResidentSession> session_;
    std::map<std::string, std::unique_ptr<Job>> jobs_;
    bool stopping_ = false;
    bool quit_ = false;
};

} // namespace

int Watch(const WatchOptions& options, const WatchEnvironment& environment, std::ostream& out) {
    WatchLog log(out);
    WatchSession session(options, environment, log);
    if (!session.Open()) return exitcode::Unreadable;
    return session.Run();
}

} // namespace drivlet::cli

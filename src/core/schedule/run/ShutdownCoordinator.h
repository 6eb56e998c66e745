#pragma once
// The platform's shut-down and log-off query: the shut-down schedules run once per process, the
// query is refused while jobs run (or may still be started by a schedule pass), and the refused
// shut-down or log-off is carried out by force once the last job, the shut-down jobs included,
// has ended. From the first query on, the finish messages of jobs are no longer shown. The count
// of running jobs is read from its owner, which says when it changed; all calls come from the
// front end's main thread.
#include <functional>
#include <string>
#include <string_view>

namespace drivlet {

inline constexpr std::string_view kThreadsRunningText =
    "Some threads are running. Windows will shut down automatically when they are finished.";

struct ShutdownActions {
    // The pass of the shut-down schedules (its jobs are reported through JobStarted).
    std::function<void()> runShutdownSchedules;
    // A schedule pass is open or waiting, so more jobs may still start; empty: never.
    std::function<bool()> schedulesBusy;
    // Ends the user's work by force: log-off when true, else power-off. True when the platform
    // accepted.
    std::function<bool(bool logOff)> completePendingShutdown;
    // How many jobs run now (the run registry's count).
    std::function<int()> runningJobs;
};

struct ShutdownAnswer {
    bool allow = true;
    std::string balloonText; // shown (information) when refused
};

class ShutdownCoordinator {
public:
    explicit ShutdownCoordinator(ShutdownActions actions) : actions_(std::move(actions)) {}

    [[nodiscard]] ShutdownAnswer ShutdownQuery(bool isLogOff);

    // The count of running jobs changed: a refused shut-down is carried out when nothing is left.
    void RunsChanged() { CompleteWhenDone(); }
    // The schedule runner has no pass open or waiting (its OnIdle).
    void SchedulesIdle() { CompleteWhenDone(); }

    bool ShutdownJobsDone() const { return shutdownJobsDone_; }
    bool LogOffPending() const { return logOffPending_; }
    // A refused query waits for the jobs to end.
    bool ShutdownPending() const { return pending_; }
    bool FinishMessagesSuppressed() const { return shutdownJobsDone_; }
    int RunningJobs() const { return actions_.runningJobs ? actions_.runningJobs() : 0; }
    // What the platform answered to the last forced end.
    bool LastCompleted() const { return lastCompleted_; }

private:
    bool MustWait() const;
    void CompleteWhenDone();

    ShutdownActions actions_;
    bool shutdownJobsDone_ = false;
    bool logOffPending_ = false;
    bool pending_ = false;
    bool lastCompleted_ = false;
};

} // namespace drivlet

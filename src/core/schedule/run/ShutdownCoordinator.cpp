#include "core/schedule/run/ShutdownCoordinator.h"

namespace drivlet {

ShutdownAnswer ShutdownCoordinator::ShutdownQuery(bool isLogOff) {
    logOffPending_ = isLogOff;
    if (!shutdownJobsDone_) {
        if (actions_.runShutdownSchedules) actions_.runShutdownSchedules();
        shutdownJobsDone_ = true;
    }
    if (!MustWait()) {
        // Allowed: the platform goes ahead by itself, so nothing is left to force later.
        return {true, {}};
    }
    pending_ = true;
    return {false, std::string(kThreadsRunningText)};
}

bool ShutdownCoordinator::MustWait() const {
    return RunningJobs() > 0 || (actions_.schedulesBusy && actions_.schedulesBusy());
}

void ShutdownCoordinator::CompleteWhenDone() {
    // Also after the shut-down was cancelled meanwhile: the balloon promised it.
    if (!pending_ || !shutdownJobsDone_ || MustWait()) return;
    // One attempt: a platform that refuses is not asked again on every later idle moment.
    pending_ = false;
    if (actions_.completePendingShutdown) lastCompleted_ = actions_.completePendingShutdown(logOffPending_);
}

} // namespace drivlet

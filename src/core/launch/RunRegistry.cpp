#include "core/launch/RunRegistry.h"

#include "core/launch/JobRun.h"

#include <algorithm>

namespace drivlet {

RunRegistry::~RunRegistry() {
    for (JobRun* run : runs_)
        run->registry_ = nullptr;
}

bool RunRegistry::RunsOnDrive(const std::string& drivePath) const {
    return std::any_of(runs_.begin(), runs_.end(), [&](const JobRun* run) {
        return !drivePath.empty() && run->File().rfind(drivePath, 0) == 0;
    });
}

void RunRegistry::CancelAll() {
    // Copied: a listener may start or drop runs meanwhile.
    const std::vector<JobRun*> runs = runs_;
    for (JobRun* run : runs)
        if (std::find(runs_.begin(), runs_.end(), run) != runs_.end()) run->Cancel();
}

void RunRegistry::Add(JobRun& run) {
    if (std::find(runs_.begin(), runs_.end(), &run) != runs_.end()) return;
    runs_.push_back(&run);
    Changed();
}

void RunRegistry::Remove(JobRun& run) {
    const auto it = std::find(runs_.begin(), runs_.end(), &run);
    if (it == runs_.end()) return;
    runs_.erase(it);
    Changed();
}

void RunRegistry::Changed() {
    const int count = Count();
    // Copied: a listener may add another.
    const std::vector<Listener> listeners = listeners_;
    for (const Listener& listener : listeners)
        listener(count);
}

} // namespace drivlet

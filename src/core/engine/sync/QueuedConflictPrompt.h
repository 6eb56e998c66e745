#pragma once
// The conflict prompt a sync worker is given when its events go through a ThreadEventQueue: each
// question is posted to the queue and asked of the front end's prompt on the draining thread,
// with copies of the pairs; the worker waits for the answer, which a cancel of the job or the
// queue's closing gives as "cancel the run" (and "no" for deletions), so nothing is touched.
#include "core/engine/ThreadEventQueue.h"
#include "core/engine/sync/IConflictPrompt.h"

namespace drivlet {

class QueuedConflictPrompt final : public IConflictPrompt {
public:
    // Both outlive the worker (a RunningJob keeps this prompt).
    QueuedConflictPrompt(ThreadEventQueue& queue, IConflictPrompt& frontEnd)
        : queue_(queue), frontEnd_(frontEnd) {}

    ConflictAnswer Resolve(const std::vector<const TFilePair*>& pairs) override;
    [[nodiscard]] bool ConfirmDeletions(const std::vector<std::string>& folders, size_t count) override;

private:
    ThreadEventQueue& queue_;
    IConflictPrompt& frontEnd_;
};

} // namespace drivlet

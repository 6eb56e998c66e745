#pragma once
// The conflict prompt a sync worker is given when its events go through a ThreadEventQueue: each
// question is posted to the queue and asked of the front end's prompt on the draining thread,
// and the answer is passed on; a cancel of the job or the queue's closing gives it as "cancel the
// run" (and "no" for deletions), so nothing is touched.
#include "core/engine/ThreadEventQueue.h"
#include "core/engine/sync/IConflictPrompt.h"

namespace drivlet {

class QueuedConflictPrompt final : public IConflictPrompt {
public:
    // Both outlive the worker (a JobRun keeps this prompt).
    QueuedConflictPrompt(ThreadEventQueue& queue, IConflictPrompt& frontEnd)
        : queue_(queue), frontEnd_(frontEnd) {}

    void Resolve(std::vector<TFilePair> pairs, Answer<ConflictAnswer> answer) override;
    void ConfirmDeletions(std::vector<std::string> folders, size_t count, Answer<bool> answer) override;

private:
    ThreadEventQueue& queue_;
    IConflictPrompt& frontEnd_;
};

} // namespace drivlet

#include "core/engine/sync/QueuedConflictPrompt.h"

namespace drivlet {

void QueuedConflictPrompt::Resolve(std::vector<TFilePair> pairs, Answer<ConflictAnswer> answer) {
    IConflictPrompt* frontEnd = &frontEnd_;
    queue_.Ask<ConflictAnswer>(
        [frontEnd, pairs = std::move(pairs)](IThreadEvents&, Answer<ConflictAnswer> given) {
            frontEnd->Resolve(pairs, std::move(given));
        },
        std::move(answer), std::nullopt);
}

void QueuedConflictPrompt::ConfirmDeletions(std::vector<std::string> folders, size_t count,
                                            Answer<bool> answer) {
    IConflictPrompt* frontEnd = &frontEnd_;
    queue_.Ask<bool>(
        [frontEnd, folders = std::move(folders), count](IThreadEvents&, Answer<bool> given) {
            frontEnd->ConfirmDeletions(folders, count, std::move(given));
        },
        std::move(answer), false);
}

} // namespace drivlet

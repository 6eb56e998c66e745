#include "core/engine/sync/QueuedConflictPrompt.h"

namespace drivlet {

ConflictAnswer QueuedConflictPrompt::Resolve(const std::vector<const TFilePair*>& pairs) {
    // The front end may keep the question past this run's end: it gets copies, never the
    // worker's pairs.
    std::vector<TFilePair> copies;
    copies.reserve(pairs.size());
    for (const TFilePair* pair : pairs)
        copies.push_back(*pair);
    IConflictPrompt* frontEnd = &frontEnd_;
    return queue_.Ask<ConflictAnswer>(
        [frontEnd, copies = std::move(copies)](IThreadEvents&, Answer<ConflictAnswer> answer) {
            frontEnd->ResolveLater(copies, std::move(answer));
        },
        std::nullopt);
}

bool QueuedConflictPrompt::ConfirmDeletions(const std::vector<std::string>& folders, size_t count) {
    IConflictPrompt* frontEnd = &frontEnd_;
    return queue_.Ask<bool>(
        [frontEnd, folders, count](IThreadEvents&, Answer<bool> answer) {
            frontEnd->ConfirmDeletionsLater(folders, count, std::move(answer));
        },
        false);
}

} // namespace drivlet

#pragma once
// The questions a sync run puts to its user before any file is touched: under "Ask me what to
// do", the pairs whose Ask is set; and whether deletions carried over from a folder that lost every
// file recorded there may go ahead. The worker waits for the answer: asked in place, through its
// main-thread hand-off, or through its event queue (QueuedConflictPrompt).
#include "core/engine/Answer.h"
#include "core/engine/sync/TFilePair.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

enum class TConflictResolution { DoNothing, UseComputer, UseDrive, UseNewest };

// The texts a prompt shows and hands back, exactly.
std::string_view ConflictResolutionText(TConflictResolution resolution);
// The resolution of one of the four texts; none for any other text.
std::optional<TConflictResolution> ConflictResolutionFromText(std::string_view text);
// The action a resolution gives a pair. A side without a file cannot be "used": choosing it
// leaves the other side's file alone (a file changed since the last sync is never deleted).
TFileAction ResolvedAction(const TFilePair& pair, TConflictResolution resolution);

// One resolution per asked pair, or none: the run is cancelled.
using ConflictAnswer = std::optional<std::vector<TConflictResolution>>;

class IConflictPrompt {
public:
    virtual ~IConflictPrompt() = default;
    // Called on the main thread with at least one pair, in collection order; the pairs hold their
    // newer-wins action. Returns one resolution per pair in the same order (missing ones count as
    // "Use the newest version"), or none to cancel the whole run. A prompt that cannot ask
    // cancels.
    virtual ConflictAnswer Resolve(const std::vector<const TFilePair*>& pairs) {
        (void)pairs;
        return std::nullopt;
    }
    // Called on the main thread at most once per run, when folders that lost every file recorded
    // there after the last sync (moved, deleted on purpose, or a volume not mounted) would carry
    // `count` deletions to their other side. True lets them be carried out; otherwise they are held
    // back and asked about again at the next run. A prompt that cannot ask answers No.
    [[nodiscard]] virtual bool ConfirmDeletions(const std::vector<std::string>& folders, size_t count) {
        (void)folders;
        (void)count;
        return false;
    }

    // The same questions for a front end that answers later, from its event loop: the pairs are
    // the prompt's own copies, and the worker waits until `answer` is given or the job is
    // cancelled (which answers "cancel" and "no" for it). By default the questions above answer
    // at once.
    virtual void ResolveLater(std::vector<TFilePair> pairs, Answer<ConflictAnswer> answer) {
        std::vector<const TFilePair*> asked;
        asked.reserve(pairs.size());
        for (const TFilePair& pair : pairs)
            asked.push_back(&pair);
        answer(Resolve(asked));
    }
    virtual void ConfirmDeletionsLater(std::vector<std::string> folders, size_t count, Answer<bool> answer) {
        answer(ConfirmDeletions(folders, count));
    }
};

} // namespace drivlet

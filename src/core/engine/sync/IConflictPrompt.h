#pragma once
// The questions a sync run puts to its user before any file is touched: under "Ask me what to
// do", the pairs whose Ask is set; and whether deletions carried over from a folder that lost every
// file recorded there may go ahead. The worker waits for the answer, given now (a prompt that asks
// in place) or later, from a front end's event loop (through QueuedConflictPrompt).
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
    // Asked with at least one pair, in collection order; the pairs are the prompt's own copies and
    // hold their newer-wins action. The answer is one resolution per pair in the same order
    // (missing ones count as "Use the newest version"), or none to cancel the whole run. The
    // worker waits until it is given, or the job is cancelled (which answers "cancel"). A prompt
    // that cannot ask cancels.
    virtual void Resolve(std::vector<TFilePair> pairs, Answer<ConflictAnswer> answer) {
        (void)pairs;
        answer(std::nullopt);
    }
    // Asked at most once per run, when folders that lost every file recorded there after the last
    // sync (moved, deleted on purpose, or a volume not mounted) would carry `count` deletions to
    // their other side. True lets them be carried out; otherwise they are held back and asked
    // about again at the next run. A cancel of the job, and a prompt that cannot ask, answer No.
    virtual void ConfirmDeletions(std::vector<std::string> folders, size_t count, Answer<bool> answer) {
        (void)folders;
        (void)count;
        answer(false);
    }
};

} // namespace drivlet

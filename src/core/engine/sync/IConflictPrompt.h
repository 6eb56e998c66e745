#pragma once
// The question a two-way sync under "Ask me what to do" puts to its user: the pairs whose Ask is
// set, before any file is touched. The worker calls it through its main-thread hand-off and waits.
#include "core/engine/sync/TFilePair.h"

#include <optional>
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

class IConflictPrompt {
public:
    virtual ~IConflictPrompt() = default;
    // Called on the main thread with at least one pair, in collection order; the pairs hold their
    // newer-wins action. Returns one resolution per pair in the same order (missing ones count as
    // "Use the newest version"), or none to cancel the whole run.
    virtual std::optional<std::vector<TConflictResolution>> Resolve(const std::vector<const TFilePair*>& pairs) = 0;
};

} // namespace drivlet

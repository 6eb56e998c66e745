#include "core/engine/sync/IConflictPrompt.h"

#include <array>

namespace drivlet {
namespace {

constexpr std::array<std::string_view, 4> kTexts = {"Do nothing", "Use this computer's version",
                                                    "Use this USB drive's version", "Use the newest version"};

} // namespace

std::string_view ConflictResolutionText(TConflictResolution resolution) {
    return kTexts[static_cast<size_t>(resolution)];
}

std::optional<TConflictResolution> ConflictResolutionFromText(std::string_view text) {
    for (size_t i = 0; i < kTexts.size(); ++i)
        if (kTexts[i] == text) return static_cast<TConflictResolution>(i);
    return std::nullopt;
}

TFileAction ResolvedAction(const TFilePair& pair, TConflictResolution resolution) {
    // A target the run fills in has a path but no size read from a real file.
    const bool onDrive = pair.FileA.Present() && pair.FileA.FileSize >= 0;
    const bool onComputer = pair.FileB.Present() && pair.FileB.FileSize >= 0;
    switch (resolution) {
    case TConflictResolution::DoNothing:
        return TFileAction::faSkip;
    case TConflictResolution::UseComputer:
        return onComputer ? TFileAction::faCopyBA : TFileAction::faSkip;
    case TConflictResolution::UseDrive:
        return onDrive ? TFileAction::faCopyAB : TFileAction::faSkip;
    case TConflictResolution::UseNewest:
        break;
    }
    return pair.FileAction;
}

} // namespace drivlet

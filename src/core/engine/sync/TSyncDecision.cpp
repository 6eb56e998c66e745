#include "core/engine/sync/TSyncDecision.h"

namespace drivlet {

bool TSyncDecision::Unchanged(const TFilePair& pair) {
    return !Changed(pair.FileA) && !Changed(pair.FileB);
}

TFileAction TSyncDecision::NewestVersion(const TFilePair& pair) {
    // A file edited since the last sync is never replaced by one that was not, whatever the
    // clocks of the two machines said.
    const bool changedA = Changed(pair.FileA);
    const bool changedB = Changed(pair.FileB);
    if (changedA != changedB) return changedA ? TFileAction::faCopyAB : TFileAction::faCopyBA;
    return pair.FileB.FileDateTime >= pair.FileA.FileDateTime ? TFileAction::faCopyBA : TFileAction::faCopyAB;
}

TPairDecision TSyncDecision::Decide(const TFilePair& pair) const {
    if (pair.FileA.Present() && pair.FileB.Present()) return BothSides(pair);
    if (!pair.FileA.Present() && !pair.FileB.Present()) return {TFileAction::faSkip, false};
    return OneSide(pair);
}

TPairDecision TSyncDecision::BothSides(const TFilePair& pair) const {
    switch (direction_) {
    case TSyncDirection::sdPCToUSB:
        return {TFileAction::faCopyAB, false};
    case TSyncDirection::sdUSBToPC:
        return {TFileAction::faCopyBA, false};
    case TSyncDirection::sdBidi:
        break;
    }
    switch (rule_) {
    case TSyncDefaultAction::sdaAsk:
        return {NewestVersion(pair), true};
    case TSyncDefaultAction::sdaNothing:
        return {TFileAction::faSkip, false};
    case TSyncDefaultAction::sdaPCVersion:
        return {TFileAction::faCopyAB, false};
    case TSyncDefaultAction::sdaUSBVersion:
        return {TFileAction::faCopyBA, false};
    case TSyncDefaultAction::sdaNewVersion:
        break;
    }
    return {NewestVersion(pair), false};
}

TPairDecision TSyncDecision::OneSide(const TFilePair& pair) const {
    const bool onDrive = pair.FileA.Present();
    const TFileData& present = onDrive ? pair.FileA : pair.FileB;
    const TFileData& absent = onDrive ? pair.FileB : pair.FileA;
    const TFileAction copyOver = onDrive ? TFileAction::faCopyAB : TFileAction::faCopyBA;
    // The drive is the master of "Only To Computer", the computer of "Only To USB Drive".
    const bool presentIsMaster = (direction_ == TSyncDirection::sdPCToUSB) == onDrive;

    // Never on the other side: no record, or a record without a date there (a copy that failed,
    // or a deletion carried out since).
    if (pair.New || absent.OLDFileDateTime == 0) {
        if (direction_ == TSyncDirection::sdBidi || presentIsMaster) return {copyOver, false};
        return {TFileAction::faDelete, false};
    }

    // Deleted on the other side since the last sync. A file changed since then is not deleted.
    const bool changed = Changed(present);
    if (direction_ != TSyncDirection::sdBidi) {
        if (presentIsMaster || changed) return {TFileAction::faSkip, false};
        return {TFileAction::faDelete, false};
    }
    if (!changed) return {TFileAction::faDelete, false};
    switch (rule_) {
    case TSyncDefaultAction::sdaAsk:
        return {copyOver, true};
    case TSyncDefaultAction::sdaNothing:
        return {TFileAction::faSkip, false};
    default:
        return {copyOver, false};
    }
}

} // namespace drivlet

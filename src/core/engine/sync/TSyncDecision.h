#pragma once
// What a sync run does with one pair, from the pair alone: which sides hold a file, their dates
// now and when the two sides were last made equal, and the job's direction and conflict rule.
#include "core/engine/sync/TFilePair.h"
#include "core/records/Enumerations.h"

namespace drivlet {

struct TPairDecision {
    TFileAction action = TFileAction::faSkip;
    bool ask = false; // put before the user (only under "Ask me what to do")
};

class TSyncDecision {
public:
    TSyncDecision(TSyncDirection direction, TSyncDefaultAction conflictRule)
        : direction_(direction), rule_(conflictRule) {}

    // Neither side changed since the two were last made equal; a side without a file counts as
    // unchanged only when its record holds no date either.
    static bool Unchanged(const TFilePair& pair);
    // A side changed since the last sync: its date differs from the recorded one, or its size
    // does (an edit within the two-second slot of the last copy keeps the date).
    static bool Changed(const TFileData& file) {
        return file.FileDateTime != file.OLDFileDateTime ||
               (file.FileSize >= 0 && file.OLDFileSize >= 0 && file.FileSize != file.OLDFileSize);
    }
    // "Use the newest version": a side changed alone wins; otherwise the later date, the
    // computer's on equal dates.
    static TFileAction NewestVersion(const TFilePair& pair);

    TPairDecision Decide(const TFilePair& pair) const;

private:
    TPairDecision BothSides(const TFilePair& pair) const;
    TPairDecision OneSide(const TFilePair& pair) const;

    TSyncDirection direction_;
    TSyncDefaultAction rule_;
};

} // namespace drivlet

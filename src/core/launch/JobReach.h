#pragma once
// What a job will do on the computer's side, read from its record: the folders and files it will
// empty, overwrite, delete or move, and those of the home folder it will copy onto the drive. A
// job file comes from a drive, which anybody may have written; before such a job first acts on
// this computer the user sees its reach and says yes or no.
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"

#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

enum class ReachKind {
    EmptiedFirst, // a completely-new copy to the computer deletes what the folder holds
    MayBeDeleted, // a sync to the computer deletes what was deleted on the drive, and overwrites
    MayBeOverwritten,
    MovedToDrive,  // a move job deletes its sources after copying them
    CopiedToDrive, // read from the home folder onto the drive
};

std::string_view ReachKindText(ReachKind kind);

struct ReachLine {
    std::string path; // a folder or file on the computer
    ReachKind kind = ReachKind::CopiedToDrive;
};

struct JobReach {
    std::vector<ReachLine> lines;

    bool Empty() const { return lines.empty(); }
    // What the user agrees to, as a value to remember: the job file (drive-relative) and every
    // line. A job changed to reach elsewhere is asked about again.
    std::string Fingerprint(const std::string& jobFileOnDrive) const;
};

// `homeFolder` decides which sources count as the user's own files; empty: every source does.
// The backup's lists are those of the run (ResolveBackupPaths applied).
JobReach BackupReach(const TArchiveData& job, const std::string& destination, const std::string& homeFolder);
JobReach SyncReach(const TSyncJobFields& job, const std::string& homeFolder);

} // namespace drivlet

#pragma once
// Why a job or a restore was not started before any of its files was touched, as a value the
// front end shows (a notice with this title and text) or turns into an exit code.
#include <string>

namespace drivlet {

enum class RefusalReason {
    NotAJobFile,        // an extension of no job kind
    Missing,            // no such job file
    Damaged,            // the file is not a readable record of its kind (it is left as it is)
    RelativePath,       // the job file is not named by its full path
    NotOnDrive,         // the job file is not in the "Config" folder of a drive's root
    AlreadyRunning,     // another run of the job holds its lock
    NotLockable,        // the job's lock file cannot be made
    NoDestination,      // a backup to the computer without a destination folder
    UnknownArchiveType, // a backup of no known archive type
    NoItem,             // a computer-to-computer job without the item asked for
    SharedArchive,      // a zip job whose destination folder another zip job keeps its archive in
    HistoryUnreadable,  // a restore: the backup history cannot be read
    RunMissing,         // a restore: the folder of the chosen run is not there
};

struct JobRefusal {
    RefusalReason reason = RefusalReason::Damaged;
    std::string title;
    std::string text;

    // The job could not be read or found (rather than being kept from starting).
    bool Unreadable() const {
        switch (reason) {
        case RefusalReason::NotAJobFile:
        case RefusalReason::Missing:
        case RefusalReason::Damaged:
        case RefusalReason::NoItem:
        case RefusalReason::HistoryUnreadable:
        case RefusalReason::RunMissing:
            return true;
        default:
            return false;
        }
    }
};

} // namespace drivlet

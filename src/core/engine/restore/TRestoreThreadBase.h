#pragma once
// The base of the two restores: what they do where the backup and the computer disagree about
// whether a name is a file or a folder.
#include "core/engine/backup/TBackUpThreadBase.h"

#include <string>

namespace drivlet {

class TRestoreThreadBase : public TBackUpThreadBase {
public:
    using TBackUpThreadBase::TBackUpThreadBase;

protected:
    bool DivertsNewerTargets() const override { return false; }

    // Makes a folder (ending with "/") that the restore puts files in. A file standing at its
    // name or at a parent's, below `base`, makes way as a file the restore overwrites would
    // (into the deleted-files store when that is on), with a log line. False when the folder
    // still cannot be made.
    bool MakeRestoreFolder(const std::string& folder, const std::string& base);
    // A folder standing where the restore puts a file: the user's, so it stays, even with the
    // deleted-files store on; the failed line (`logName` names the file) says why.
    void LeaveFolderAtFile(const std::string& logName, std::string_view action);
    // A chosen path the backup does not hold (or a run holding nothing): a failed line, so a
    // restore that brought nothing back never reads as a success.
    void ReportNothingMatched(const std::string& path, const std::string& action) {
        LogFileName = path;
        LogAction = action;
        LogIsError = true;
        LogStatus = "Nothing in this backup matches it";
        ReportLogEntry();
    }
};

} // namespace drivlet

#include "core/engine/restore/TRestoreThreadBase.h"

#include <exception>

namespace drivlet {

bool TRestoreThreadBase::OpenScope() {
    if (!run_) {
        ReportThreadError(ThreadErrorKind::Refused,
                          std::string(kCopyThreadErrorPrefix) +
                              "The run to restore is not known, so nothing is restored");
        return false;
    }
    try {
        scope_ = std::make_unique<RestoreScope>(*run_, DatabaseFile);
    } catch (const std::exception& e) {
        ReportThreadError(ThreadErrorKind::Refused,
                          std::string(kCopyThreadErrorPrefix) +
                              "The backup history cannot be read, so nothing is restored: " + e.what());
        return false;
    }
    return true;
}

void TRestoreThreadBase::ReleaseDrive() {
    scope_.reset();
    TBackUpThreadBase::ReleaseDrive();
}

bool TRestoreThreadBase::MakeRestoreFolder(const std::string& folder, const std::string& base) {
    if (Files().CreateFolders(folder)) return true;
    // The first name of the chain below the base that is not a folder stands in the way.
    for (std::size_t slash = folder.find('/', base.size()); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        const std::optional<uint32_t> there = Files().GetAttributes(part);
        if (!there) break;
        if (*there & fa::Directory) continue;
        LogFileName = part;
        LogAction = FileOps().Store().MoveToDeleted ? "Move To Deleted Files" : "Delete File";
        const bool cleared = FileOps().Delete(part);
        if (cleared) {
            LogIsError = false;
            LogStatus = "Done: the backup has a folder at its name";
        } else {
            LogIsError = true;
            LogStatus =
                "Left in the way of the backup's folder of that name: " + FileOps().LastError().message();
        }
        ReportLogEntry();
        if (!cleared) return false;
        break;
    }
    return Files().CreateFolders(folder).ok();
}

void TRestoreThreadBase::LeaveFolderAtFile(const std::string& logName, std::string_view action) {
    LogFileName = logName;
    LogAction = std::string(action);
    LogIsError = true;
    LogStatus = "Left alone: a folder stands at the file's name and is not the backup's to replace, "
                "so the file is not restored";
    ReportLogEntry();
}

} // namespace drivlet

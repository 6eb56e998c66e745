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
        const std::string action = FileOps().Store().MoveToDeleted ? "Move To Deleted Files" : "Delete File";
        const bool cleared = FileOps().Delete(part);
        if (cleared) {
            Report().Log(part, action, "Done: the backup has a folder at its name", false);
        } else {
            Report().Log(part, action,
                         "Left in the way of the backup's folder of that name: " +
                             FileOps().LastError().message(),
                         true);
        }
        if (!cleared) return false;
        break;
    }
    return Files().CreateFolders(folder).ok();
}

void TRestoreThreadBase::LeaveFolderAtFile(const std::string& logName, std::string_view action) {
    Report().Log(logName, std::string(action),
                 "Left alone: a folder stands at the file's name and is not the backup's to replace, "
                 "so the file is not restored",
                 true);
}

} // namespace drivlet

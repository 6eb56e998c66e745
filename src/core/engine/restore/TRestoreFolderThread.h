#pragma once
// Brings back files from a backup kept as a plain folder tree, to the places they were backed up
// from or below a chosen folder.
#include "core/engine/restore/TRestoreThreadBase.h"

#include <string>

namespace drivlet {

class TRestoreFolderThread final : public TRestoreThreadBase {
public:
    using TRestoreThreadBase::TRestoreThreadBase;
    // The worker stops before this object's virtual functions are gone.
    ~TRestoreFolderThread() override { StopAndWait(); }

protected:
    void Execute() override;

private:
    // One backup folder into its restore folder (both ending with "/").
    void RestorePass(const std::string& source, const std::string& target);
    // A file chosen on its own.
    void RestoreSingle(const std::string& backupFile, const std::string& target);
    void RestoreFile(const std::string& source, const std::string& target, int64_t size);
    // A path that has no place to go back to on this system.
    void Refuse(const std::string& path);
};

} // namespace drivlet

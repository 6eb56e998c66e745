#pragma once
// A backup made by the real workers, then damaged, then restored.
#include "backup/ZipFixture.h"
#include "core/engine/restore/TRestoreFolderThread.h"
#include "core/engine/restore/TRestoreZipThread.h"

namespace drivlet::test {

class RestoreFixture : public ZipFixture {
protected:
    // The usual tree, with an executable script.
    void MakeTreeWithScript() {
        MakeTree();
        Make(source + "run.sh", "#!/bin/sh\necho hi\n");
        std::filesystem::permissions(source + "run.sh", std::filesystem::perms::owner_all);
    }
    // Spoils one file and removes another.
    void Damage() {
        Make(source + "a.txt", "ruined", kFirstRun + kHour);
        std::filesystem::remove(source + "sub/b.txt");
    }
    template <typename Worker>
    std::unique_ptr<Worker> MakeRestore(const std::string& backupRoot, const std::string& target = {},
                                        bool moveToDeleted = false) {
        auto t = std::make_unique<Worker>(ThreadServices{files, InPlaceHandoff::Instance(), clock});
        t->SetDeletedStore({moveToDeleted, store}, LogInto(storeRows));
        t->SetDatabaseFile(database);
        t->SetBackupRoot(backupRoot);
        t->SetRestoreTarget(target);
        return t;
    }
    // Names of everything below a folder, relative to it.
    static std::vector<std::string> TreeBelow(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
            names.push_back(e.path().string().substr(folder.size()));
        std::sort(names.begin(), names.end());
        return names;
    }
};

} // namespace drivlet::test

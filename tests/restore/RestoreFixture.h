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
        auto t = std::make_unique<Worker>(ThreadServices{files, clock});
        t->SetDeletedStore({moveToDeleted, store}, LogInto(storeRows));
        t->SetDatabaseFile(database);
        t->SetBackupRoot(backupRoot);
        t->SetRestoreTarget(target);
        t->SetRestoreRun(RunOf(backupRoot));
        return t;
    }
    // The run in the folder as the job's history has it, of the fixture's job of one folder.
    RestoreRun RunOf(const std::string& backupRoot) {
        RestoreRun run;
        run.folders = {source};
        if (!Exists(database)) return run;
        std::string key = ArchiveLogKey(backupRoot, database);
        if (!key.empty() && key.back() != '/') key += '/';
        for (const ArchiveLogRow& row : History()) {
            if (row.ArchiveFolder != key) continue;
            run.startTime = row.DateTime;
            run.format = row.Format;
        }
        return run;
    }
    // A file of a backup made by hand, as the job's history would record its source.
    void Record(const std::string& source, TDateTime when = kFirstRun) {
        BackupDatabase(database).RecordCopied(source, when, std::nullopt);
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

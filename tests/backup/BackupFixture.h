#pragma once
// A backup job on real folders in a temporary folder: a source tree, a drive folder with its
// "Config" folder and the job's database, a manual clock and a recording sink.
#include "core/db/BackupDatabase.h"
#include "core/engine/backup/TCopyFolderThread.h"
#include "engine/EngineTestSupport.h"
#include "support/JournaledFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace drivlet::test {

inline const TDateTime kFirstRun = EncodeDateTime({2024, 3, 1, 9, 0, 0, 0});
inline const TDateTime kFileTime = EncodeDateTime({2024, 2, 1, 12, 0, 0, 0});
inline constexpr double kHour = 1.0 / 24;

class BackupFixture : public ::testing::Test {
protected:
    TempDir dir;
    TempDir journal;
    LinuxFileSystem files{JournalIn(journal.path())};
    ManualClock clock{kFirstRun};
    std::unique_ptr<RecordingEvents> events = std::make_unique<RecordingEvents>();
    std::vector<DeletedRow> storeRows;
    const std::string root = dir.path().string() + "/";
    const std::string source = root + "home/alice/Docs/";
    const std::string drive = root + "STICK/";
    const std::string dest = drive + "Backup/";
    const std::string store = root + "Deleted/";
    const std::string database = drive + "Config/Docs.Udb";

    // A file below the temporary folder with a fixed last-write time.
    std::string Make(const std::string& path, const std::string& content, TDateTime time = kFileTime) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, content);
        files.SetFileTime(path, time);
        return path;
    }
    // The three files in two subfolders of the usual tree.
    void MakeTree() {
        Make(source + "a.txt", "alpha");
        Make(source + "sub/b.txt", "bravo");
        Make(source + "sub/deep/c.txt", "charlie");
    }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

    std::unique_ptr<TCopyFolderThread> MakeJob(TArchiveMode mode, const std::string& archiveFolder,
                                               bool moveToDeleted = false) {
        auto t = std::make_unique<TCopyFolderThread>(ThreadServices{files, clock});
        t->SetEvents(events.get());
        t->SetDeletedStore({moveToDeleted, store}, LogInto(storeRows));
        t->SetDatabaseFile(database);
        t->SetArchiveMode(mode);
        t->SetArchiveFolder(archiveFolder);
        t->SetFolderList({source});
        return t;
    }
    // Runs the job to its end with a fresh sink.
    void Run(TCopyFolderThread& job) {
        events = std::make_unique<RecordingEvents>();
        job.SetEvents(events.get());
        job.Start();
        job.WaitFor();
        ASSERT_TRUE(events->terminated);
    }
    void RunMode(TArchiveMode mode, const std::string& archiveFolder, bool moveToDeleted = false) {
        auto job = MakeJob(mode, archiveFolder, moveToDeleted);
        Run(*job);
    }

    std::vector<ArchiveLogRow> History() { return BackupDatabase(database).ArchiveHistory(); }
    // The date of the file's FileLog row.
    std::optional<TDateTime> LastCopied(const std::string& file) {
        const std::optional<CopiedFile> row = BackupDatabase(database).LastCopied(file);
        return row ? std::optional<TDateTime>(row->update) : std::nullopt;
    }
    // The log lines of one action.
    std::vector<LogEntryEvent> Logs(const std::string& action) const {
        std::vector<LogEntryEvent> out;
        for (const LogEntryEvent& e : events->logs)
            if (e.action == action) out.push_back(e);
        return out;
    }
    std::string LastStatus() const { return events->statuses.empty() ? "" : events->statuses.back().text; }
};

} // namespace drivlet::test

#pragma once
// A drive folder with its "Config" folder and job database, a computer folder, and a scan-only
// sync worker run on real files with a real SQLite database.
#include "core/db/SyncDatabase.h"
#include "core/engine/sync/TSyncThreadBase.h"
#include "engine/EngineTestSupport.h"
#include "support/JournaledFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace drivlet::test {

class ScanThread : public TSyncThreadBase {
public:
    using TSyncThreadBase::EmptiedSides;
    using TSyncThreadBase::TSyncThreadBase;
};

class SyncScanFixture : public ::testing::Test {
protected:
    TempDir dir;
    TempDir journal;
    LinuxFileSystem files{JournalIn(journal.path())};
    ManualClock clock{EncodeDateTime({2011, 3, 1, 9, 0, 0, 0})};
    RecordingEvents events;
    std::string drive = (dir / "stick").string() + "/";
    std::string pc = (dir / "pc").string() + "/";
    std::string database = drive + "Config/Job.Usdb";

    static TDateTime Day(int day) { return EncodeDateTime({2010, 5, day, 12, 0, 0, 0}); }

    // A file with content and modification time; the path is below the temporary folder.
    std::string Make(const std::string& path, const std::string& content, TDateTime time) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFile(path, content);
        files.SetFileTime(path, time);
        return path;
    }

    // Runs the scan to its end; `set` configures the thread before it starts.
    std::unique_ptr<ScanThread> Scan(const std::function<void(ScanThread&)>& set,
                                     const std::string& databaseFile = {},
                                     const IFileSystem* fileSystem = nullptr) {
        events = RecordingEvents();
        auto thread = std::make_unique<ScanThread>(ThreadServices{fileSystem ? *fileSystem : files, clock});
        thread->SetEvents(&events);
        thread->SetDatabaseFile(databaseFile.empty() ? database : databaseFile);
        set(*thread);
        thread->Start();
        thread->WaitFor();
        return thread;
    }

    std::unique_ptr<ScanThread> ScanFolders(const std::string& folderA, const std::string& folderB,
                                            const std::string& databaseFile = {}) {
        return Scan([&](ScanThread& t) { t.FolderItems.AddItem(folderA, folderB, true); }, databaseFile);
    }

    // The pairs by the name of their file (drive side first).
    static std::map<std::string, TFilePair> ByName(const ScanThread& thread) {
        std::map<std::string, TFilePair> named;
        for (const TFilePair& pair : thread.GetFilePairs()) {
            const std::string& path = pair.FileA.Present() ? pair.FileA.FileName : pair.FileB.FileName;
            named.emplace(std::filesystem::path(path).filename().string(), pair);
        }
        return named;
    }

    // What the decision step records after a successful copy.
    void RecordSynced(const TFilePair& pair) {
        SyncDatabase db(database);
        db.SetDates(pair.RecordID, files.FileTime(pair.FileA.FileName), files.FileTime(pair.FileB.FileName));
    }

    // The pair of Docs/a.txt found again, under the drive path now in `drive`, with its record.
    void ExpectFoundAgain(const ScanThread& thread, const TFilePair& before, TDateTime synced) {
        EXPECT_TRUE(events.errors.empty());
        ASSERT_EQ(thread.GetFilePairs().Count(), 1u);
        const TFilePair& again = thread.GetFilePairs()[0];
        EXPECT_EQ(again.FileA.FileName, drive + "Docs/a.txt");
        EXPECT_EQ(again.RecordID, before.RecordID);
        EXPECT_FALSE(again.New);
        EXPECT_EQ(again.FileA.OLDFileDateTime, synced);
        EXPECT_EQ(again.FileB.OLDFileDateTime, synced);
    }

    int64_t RowCount(const std::string& databaseFile = {}) {
        SyncDatabase db(databaseFile.empty() ? database : databaseFile);
        Statement count = db.GetConnection().Prepare(R"(SELECT COUNT(*) FROM "FileLog")");
        count.Step();
        return count.Integer(0);
    }
};

} // namespace drivlet::test

// The backup base: history key and format texts, the run history row's states, the counting
// pass with excluded folders and missing single files, and exact-case FileLog rows.
#include "BackupFixture.h"

#include "core/engine/backup/FileLogBatch.h"

using namespace drivlet;
using namespace drivlet::test;

namespace {

// Opens the counting pass to the tests.
class CountingThread final : public TArchiveThreadBase {
public:
    using TArchiveThreadBase::TArchiveThreadBase;
    ThreadCounters seen;
    bool baseSucceeded = false;

protected:
    void Execute() override {
        baseSucceeded = RunBackUpBase();
        seen = Counters();
    }
};

TEST(ArchiveLogKeyTest, DropsTheDrivePathOnlyForFoldersOnTheJobsDrive) {
    EXPECT_EQ(ArchiveLogKey("/media/a/STICK/Backup/Job/", "/media/a/STICK/Config/Job.Udb"), "/Backup/Job/");
    EXPECT_EQ(ArchiveLogKey("/home/a/Bak/", "/media/a/STICK/Config/Job.Udb"), "/home/a/Bak/");
    // Plain text comparison, like the drive letters it stands for.
    EXPECT_EQ(ArchiveLogKey("/media/a/stick/Backup/", "/media/a/STICK/Config/Job.Udb"),
              "/media/a/stick/Backup/");
    // A database outside a "Config" folder names no drive.
    EXPECT_EQ(ArchiveLogKey("/data/Backup/", "/data/Job.Udb"), "/data/Backup/");
    EXPECT_EQ(ArchiveLogKey("/data/Backup/", "/config/Job.Udb"), "/data/Backup/");
}

TEST(ArchiveLogKeyTest, FormatTextsOfTheModes) {
    EXPECT_EQ(ArchiveFormatText(TArchiveMode::amIncremental), "Incremental");
    EXPECT_EQ(ArchiveFormatText(TArchiveMode::amOnlyNew), "Only New");
    EXPECT_EQ(ArchiveFormatText(TArchiveMode::amCompletelyNew), "Completely New");
    EXPECT_EQ(ArchiveFormatText(TArchiveMode::amTimeStamped), "Time Stamped");
    EXPECT_EQ(ArchiveFormatText(TArchiveMode::amTimeStampedIncremental), "Incremental Time Stamped");
    EXPECT_FALSE(ArchiveFormatText(TArchiveMode::amMove).has_value());
}

class BackUpBaseTest : public BackupFixture {
protected:
    std::unique_ptr<CountingThread> MakeCounter() {
        auto t = std::make_unique<CountingThread>(ThreadServices{files, clock});
        t->SetEvents(events.get());
        t->SetDatabaseFile(database);
        t->SetArchiveFolder(dest);
        return t;
    }
    void RunCounter(CountingThread& t) {
        t.Start();
        t.WaitFor();
    }
};

TEST_F(BackUpBaseTest, CountsFilesAndSubfoldersAndLeavesOutExcludedAndMissing) {
    MakeTree();
    Make(source + "skip/x.txt", "excluded");
    Make(source + "skip/inner/y.txt", "excluded too");
    const std::string single = Make(root + "single.bin", std::string(1000, 'x'));
    auto t = MakeCounter();
    t->SetFolderList({source});
    t->SetFileList({single, root + "gone.txt"});
    t->SetExcludeList({source + "SKIP/"}); // whole entries, ignoring case
    RunCounter(*t);
    ASSERT_TRUE(t->baseSucceeded);
    // 3 files and 2 subfolders, plus the single file; the missing one adds nothing.
    EXPECT_EQ(t->seen.FilesTotal, 6);
    EXPECT_EQ(t->seen.BytesTotal, 5 + 5 + 7 + 1000);
    EXPECT_EQ(t->seen.FilesDone, 0);
    ASSERT_GE(events->statuses.size(), 2u);
    EXPECT_EQ(events->statuses[0].text, " Searching... ");
    EXPECT_EQ(events->statuses[1].text, " Searching..." + source);
}

TEST_F(BackUpBaseTest, WithoutCountingTheTotalsStayZero) {
    MakeTree();
    auto t = MakeCounter();
    t->SetFolderList({source});
    t->SetCountTotals(false);
    RunCounter(*t);
    EXPECT_EQ(t->seen.FilesTotal, 0);
    EXPECT_EQ(t->seen.BytesTotal, 0);
}

TEST_F(BackUpBaseTest, CreatesTheDatabaseAndMarksTheRunNotCompleted) {
    MakeTree();
    ASSERT_FALSE(Exists(database));
    auto t = MakeCounter();
    t->SetArchiveMode(TArchiveMode::amOnlyNew);
    t->SetFolderList({source});
    RunCounter(*t);
    ASSERT_TRUE(Exists(database));
    const auto rows = History();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].ArchiveFolder, "/Backup/");
    EXPECT_EQ(rows[0].Status, "Not Completed");
    EXPECT_EQ(rows[0].Format, "Only New");
    EXPECT_EQ(rows[0].DateTime, kFirstRun);
}

TEST_F(BackUpBaseTest, AnUnusableDatabaseIsAThreadErrorAndNoWork) {
    MakeTree();
    Make(database, "this is not a database");
    auto t = MakeCounter();
    t->SetFolderList({source});
    RunCounter(*t);
    EXPECT_FALSE(t->baseSucceeded);
    ASSERT_EQ(events->errors.size(), 1u);
    EXPECT_EQ(events->errors[0].text.rfind("Thread Error : Class = TThreadBase : ", 0), 0u);
    EXPECT_EQ(test::ReadFile(database), "this is not a database");
}

TEST_F(BackUpBaseTest, RunHistoryGoesFromNotCompletedToTheFinalStatusAndIsReused) {
    MakeTree();
    RunMode(TArchiveMode::amIncremental, dest);
    clock.Advance(kHour);
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    std::string seenDuringRun;
    events = std::make_unique<RecordingEvents>();
    events->onProgress = [&](const FileProgressEvent&) {
        if (seenDuringRun.empty()) seenDuringRun = History().at(0).Status;
    };
    Make(source + "a.txt", "changed", kFirstRun + kHour / 2);
    job->SetEvents(events.get());
    job->Start();
    job->WaitFor();
    EXPECT_EQ(seenDuringRun, "Not Completed");
    const auto rows = History();
    ASSERT_EQ(rows.size(), 1u); // the same destination keeps its row
    EXPECT_EQ(rows[0].Status, "Finished !");
    EXPECT_EQ(rows[0].DateTime, kFirstRun + kHour);
    EXPECT_EQ(rows[0].Format, "Incremental");
}

TEST_F(BackUpBaseTest, FileLogRowsMatchTheExactSpelling) {
    BackupDatabase db(database);
    {
        FileLogBatch log(db);
        log.RecordCopied("/a/X.txt", 10, 1);
        EXPECT_FALSE(log.LastCopied("/a/x.txt").has_value());
        log.RecordCopied("/a/x.txt", 20, 2);
        log.RecordCopied("/a/X.txt", 30, 3);
        EXPECT_EQ(log.LastCopied("/a/X.txt"), (CopiedFile{30, 3}));
        EXPECT_EQ(log.LastCopied("/a/x.txt"), (CopiedFile{20, 2}));
    }
    // The batch is in the file once the writer is gone.
    EXPECT_EQ(BackupDatabase(database).LastCopied("/a/X.txt"), (CopiedFile{30, 3}));
}

} // namespace

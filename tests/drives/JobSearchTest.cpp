// The search of a drive's jobs: which files of "Config" become rows, what each row shows (error
// rows for damaged files), the schedule state of a row, stopping and destroying a running search.
#include "core/db/ProgramDatabase.h"
#include "core/drives/NewJobFile.h"
#include "core/drives/TSearchDrive.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "engine/EngineTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

// What a search handed over, waited for on its end.
class SearchResult {
public:
    TSearchDrive::Handlers Handlers() {
        TSearchDrive::Handlers h;
        h.onStatus = [this](const std::string& text) { Note([&] { statuses.push_back(text); }); };
        h.onRow = [this](const TAutoRunFileData& row) {
            Note([&] { rows.push_back(row); });
            if (afterRow) afterRow(row);
        };
        h.onError = [this](const std::string& text) { Note([&] { errors.push_back(text); }); };
        h.onEnd = [this] { Note([&] { ++ends; }); };
        return h;
    }
    bool WaitForEnd() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return ends > 0; });
    }
    std::map<std::string, TAutoRunFileData> ByName() const {
        std::map<std::string, TAutoRunFileData> byName;
        for (const auto& row : rows)
            byName[fs::path(row.ArchivedName).filename().string()] = row;
        return byName;
    }

    std::vector<std::string> statuses;
    std::vector<TAutoRunFileData> rows;
    std::vector<std::string> errors;
    int ends = 0;
    std::function<void(const TAutoRunFileData&)> afterRow;

private:
    template <class F> void Note(F change) {
        std::lock_guard lock(mutex_);
        change();
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
};

class JobSearch : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    const std::string drive = dir.path().string() + "/STICK/";
    const std::string config = drive + "Config/";

    void SetUp() override { fs::create_directories(config); }

    void SaveBackup(const std::string& name, const std::string& jobName, TArchiveDir direction,
                    TDateTime lastUpdate = 0, const std::string& pc = "PC-1") {
        TArchiveData job;
        job.BackupName = jobName;
        job.ArchiveDir = direction;
        job.LastUpdate = lastUpdate;
        job.PCID = pc;
        job.SaveCompressed(config + name);
    }
    void SaveSync(const std::string& name, const std::string& jobName) {
        TSyncData job;
        job.SyncName = jobName;
        job.PCID = "PC-2";
        job.SaveCompressed(config + name);
    }
    void SavePcSync(const std::string& name, const std::string& jobName) {
        TPCSyncData job;
        job.SyncName = jobName;
        job.SyncDataItems.Add().ID = "item-1";
        job.SaveCompressed(config + name);
    }
};

TEST_F(JobSearch, ListsOnlyJobFilesOfConfigWithTheirKindNameRunAndOwner) {
    SaveBackup("a.UBK", "Photos", TArchiveDir::amPcToUsb, EncodeDateTime({2011, 3, 24, 13, 57, 31, 0}));
    SaveBackup("m.Umv", "Old mail", TArchiveDir::amUsbToPc);
    SaveBackup("up.ubk", "Music", TArchiveDir::amUsbToPc, EncodeDate(2011, 3, 25));
    SaveSync("s.Usy", "Docs");
    SavePcSync("p.Upcsy", "Both laptops");
    WriteFile(config + "bad.Ubk", "this is not a saved record");
    // Neither a job file nor a job: a text file, a hidden job file, a folder with a job's name,
    // and a job one folder down.
    WriteFile(config + "b.txt", "x");
    SaveBackup(".hidden.ubk", "Hidden", TArchiveDir::amPcToUsb);
    fs::create_directories(config + "x.ubk");
    fs::create_directories(config + "deeper");
    SaveBackup("deeper/d.Ubk", "Deeper", TArchiveDir::amPcToUsb);

    SearchResult result;
    TSearchDrive search(files, drive, result.Handlers());
    EXPECT_EQ(search.ConfigFolder(), config);
    search.Start();
    ASSERT_TRUE(result.WaitForEnd());
    search.WaitFor();

    EXPECT_EQ(result.statuses, (std::vector<std::string>{"Prepareing... ", " Searching..." + config}));
    EXPECT_TRUE(result.errors.empty());
    auto rows = result.ByName();
    ASSERT_EQ(rows.size(), 6u);
    ASSERT_TRUE(rows.count("a.UBK") && rows.count("m.Umv") && rows.count("up.ubk") && rows.count("s.Usy") &&
                rows.count("p.Upcsy") && rows.count("bad.Ubk"));

    const TAutoRunFileData& backup = rows["a.UBK"];
    EXPECT_EQ(backup.JobName, "Photos");
    EXPECT_EQ(backup.ArchivedName, config + "a.UBK");
    EXPECT_EQ(backup.LastRunAt, "2011-03-24 13:57:31");
    EXPECT_EQ(backup.PCID, "PC-1");
    EXPECT_EQ(backup.TypeText, "Backup To USB");
    EXPECT_EQ(backup.Extra, "");
    EXPECT_EQ(backup.TypeIcon(), 3);
    EXPECT_TRUE(backup.CanRun());
    EXPECT_TRUE(backup.CanOpenRestore());
    EXPECT_EQ(backup.Owner("PC-1"), RowOwner::ThisComputer);
    EXPECT_EQ(backup.Owner("PC-9"), RowOwner::OtherComputer);

    EXPECT_EQ(rows["m.Umv"].TypeText, "Move From USB");
    EXPECT_EQ(rows["m.Umv"].LastRunAt, "N/A");
    EXPECT_EQ(rows["m.Umv"].TypeIcon(), 2);
    EXPECT_FALSE(rows["m.Umv"].CanOpenRestore());
    EXPECT_EQ(rows["up.ubk"].TypeText, "Backup From USB");
    EXPECT_EQ(rows["up.ubk"].LastRunAt, "2011-03-25"); // no time at exactly midnight

    EXPECT_EQ(rows["s.Usy"].TypeText, "File / Folder Sync");
    EXPECT_EQ(rows["s.Usy"].JobName, "Docs");
    EXPECT_EQ(rows["s.Usy"].PCID, "PC-2");
    EXPECT_EQ(rows["s.Usy"].TypeIcon(), 1);

    const TAutoRunFileData& pc = rows["p.Upcsy"];
    EXPECT_EQ(pc.TypeText, "PC-PC Sync");
    EXPECT_EQ(pc.JobName, "Both laptops");
    EXPECT_EQ(pc.LastRunAt, "<N/A>");
    EXPECT_EQ(pc.PCID, "<N/A>");
    EXPECT_EQ(pc.TypeIcon(), 0);
    EXPECT_FALSE(pc.CanRun());
    EXPECT_FALSE(pc.CanEdit());

    const TAutoRunFileData& bad = rows["bad.Ubk"];
    EXPECT_EQ(bad.TypeText, "<Error>");
    EXPECT_EQ(bad.JobName, "<Error Loading Data>");
    EXPECT_EQ(bad.LastRunAt, "<Error Loading Data>");
    EXPECT_EQ(bad.PCID, "<Error Loading Data>");
    EXPECT_EQ(bad.ArchivedName, config + "bad.Ubk");
    EXPECT_FALSE(bad.CanRun());
    EXPECT_FALSE(bad.CanOpenRestore());
    EXPECT_EQ(bad.Owner("PC-1"), RowOwner::Unreadable);
}

TEST_F(JobSearch, RowsShowTheFrontEndsDateFormAndADriveWithoutConfigGivesNoRows) {
    SaveBackup("a.Ubk", "Photos", TArchiveDir::amPcToUsb, EncodeDate(2011, 3, 24));
    SearchResult result;
    auto handlers = result.Handlers();
    handlers.lastRunText = [](TDateTime) { return std::string("24/03/2011"); };
    {
        TSearchDrive search(files, drive.substr(0, drive.size() - 1), std::move(handlers));
        search.Start();
        ASSERT_TRUE(result.WaitForEnd());
    }
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].LastRunAt, "24/03/2011");

    const std::string bare = dir.path().string() + "/BARE/";
    fs::create_directories(bare);
    SearchResult empty;
    TSearchDrive search(files, bare, empty.Handlers());
    search.Start();
    ASSERT_TRUE(empty.WaitForEnd());
    EXPECT_TRUE(empty.rows.empty());
    EXPECT_TRUE(empty.errors.empty());
}

// A listing that fails for another reason than a missing folder.
class FailingListing final : public test::ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    FileStatus ListFolder(const fs::path&, const FolderVisitor&, ListDetail) const override {
        return FileStatus::FromErrno(EIO);
    }
};

TEST_F(JobSearch, AFailedListingEndsTheSearchWithAThreadError) {
    FailingListing failing(files);
    SearchResult result;
    TSearchDrive search(failing, drive, result.Handlers());
    search.Start();
    ASSERT_TRUE(result.WaitForEnd());
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_EQ(result.errors[0].rfind("Thread Error : Class = TThreadBase : " + config, 0), 0u)
        << result.errors[0];
    EXPECT_EQ(result.ends, 1);
}

TEST_F(JobSearch, StoppedAfterTheFirstRowHandsNoMore) {
    for (int i = 0; i < 40; ++i)
        SaveBackup("job" + std::to_string(i) + ".Ubk", "J", TArchiveDir::amPcToUsb);
    SearchResult result;
    TSearchDrive* running = nullptr;
    result.afterRow = [&](const TAutoRunFileData&) { running->Terminate(); };
    TSearchDrive search(files, drive, result.Handlers());
    running = &search;
    search.Start();
    ASSERT_TRUE(result.WaitForEnd());
    EXPECT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.ends, 1);
}

TEST_F(JobSearch, DestroyedWhileRunningItStopsAndEndsOnce) {
    for (int i = 0; i < 200; ++i)
        SaveBackup("job" + std::to_string(i) + ".Ubk", "J", TArchiveDir::amPcToUsb);
    SearchResult result;
    {
        TSearchDrive search(files, drive, result.Handlers());
        search.Start();
    }
    // The destructor has joined the thread, whose end handler ran once.
    EXPECT_EQ(result.ends, 1);
    EXPECT_LE(result.rows.size(), 200u);
}

TEST_F(JobSearch, ScheduleStateOfARowWhateverDriveTheJobWasScheduledFrom) {
    SaveBackup("a.Ubk", "A", TArchiveDir::amPcToUsb);
    SaveBackup("b.Ubk", "B", TArchiveDir::amPcToUsb);
    SaveBackup("c.Ubk", "C", TArchiveDir::amPcToUsb);
    ProgramDatabase db(ProgramDatabase::PathFor(dir.path()));
    db.AddSchedule("/media/ann/OLDNAME/config/A.UBK", "A"); // another mount point, other letter case
    ScheduleRunRow off = db.AddSchedule("/media/ann/STICK/Config/b.Ubk", "B");
    off.Active = false;
    db.SaveSchedule(off);

    SearchResult result;
    TSearchDrive search(files, drive, result.Handlers());
    search.Start();
    ASSERT_TRUE(result.WaitForEnd());
    auto rows = result.ByName();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(db.ScheduleStateOf(rows["a.Ubk"].ArchivedName), 1);
    EXPECT_EQ(db.ScheduleStateOf(rows["b.Ubk"].ArchivedName), 2);
    EXPECT_EQ(db.ScheduleStateOf(rows["c.Ubk"].ArchivedName), 0);
}

TEST(NewJobFile, NamesCarryTheKindAndTheMomentToTheMillisecond) {
    const TDateTime now = EncodeDateTime({2011, 3, 24, 13, 57, 31, 42});
    EXPECT_EQ(NewJobTimeText(now), "2011-03-24 13-57-31 042");
    EXPECT_EQ(NewJobFileName(NewJobKind::Backup, "/media/ann/STICK/", now),
              "/media/ann/STICK/Config/Backup2011-03-24 13-57-31 042.Ubk");
    EXPECT_EQ(NewJobFileName(NewJobKind::Move, "/media/ann/STICK", now),
              "/media/ann/STICK/Config/Move 2011-03-24 13-57-31 042.Umv");
    EXPECT_EQ(NewJobFileName(NewJobKind::Sync, "/media/ann/STICK/", now),
              "/media/ann/STICK/Config/sync 2011-03-24 13-57-31 042.Usy");
    // Within one millisecond the names are the same; a millisecond later they differ.
    EXPECT_EQ(NewJobFileName(NewJobKind::Backup, "/d/", now), NewJobFileName(NewJobKind::Backup, "/d/", now));
    EXPECT_NE(NewJobFileName(NewJobKind::Backup, "/d/", now),
              NewJobFileName(NewJobKind::Backup, "/d/", now + 1.0 / 86400000));
    EXPECT_EQ(NewJobTimeText(EncodeDateTime({2011, 12, 31, 23, 59, 59, 999})), "2011-12-31 23-59-59 999");
}

} // namespace
} // namespace drivlet

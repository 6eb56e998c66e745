// The program database: concurrent logging of deleted files, the schedule selections and the
// schedule-state lookup.
#include "core/db/ProgramDatabase.h"
#include "DbTestSupport.h"
#include "core/db/EDatabaseError.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr int64_t kGiB = int64_t{1} << 30;

TEST(ProgramDatabase, ThreeThreadsLogDeletedFilesAtOnceWithoutLoss) {
    TempDir dir;
    const fs::path file = ProgramDatabase::PathFor(dir.path());
    ProgramDatabase main(file); // the main thread's connection, opened first as in the program
    constexpr int kRows = 10000;
    std::atomic<int> errors{0};
    auto insertRows = [&](ProgramDatabase& db, int who) {
        try {
            for (int i = 0; i < kRows; ++i)
                db.LogDeletedFile(" 2010-08-16 14-05/T" + std::to_string(who) + "/f" + std::to_string(i),
                                  kGiB + i);
        } catch (const std::exception& e) {
            ++errors;
            ADD_FAILURE() << e.what();
        }
    };
    auto worker = [&](int who) {
        ProgramDatabase own(file); // each worker opens its own connection
        insertRows(own, who);
    };
    std::thread a(worker, 1), b(worker, 2);
    // The main thread inserts too, and reads the sum while the workers write.
    std::thread reader([&] {
        ProgramDatabase own(file);
        for (int i = 0; i < 50; ++i)
            EXPECT_GE(own.DeletedFilesSize(), 0);
    });
    insertRows(main, 0);
    a.join();
    b.join();
    reader.join();
    EXPECT_EQ(errors.load(), 0);

    // Every row arrived, and the sum (about 30,000 GiB) is exact.
    const int64_t perThread = kRows * kGiB + int64_t{kRows} * (kRows - 1) / 2;
    EXPECT_EQ(main.DeletedFilesSize(), 3 * perThread);
    Statement count =
        main.GetConnection().Prepare(R"(SELECT count(*), count(DISTINCT "FileName") FROM "DeleteDataLog")");
    ASSERT_TRUE(count.Step());
    EXPECT_EQ(count.Integer(0), 3 * kRows);
    EXPECT_EQ(count.Integer(1), 3 * kRows);
}

// The jobs let act on this computer: kept across openings, in files from before that record too.
TEST(ProgramDatabase, KnownJobReachIsKeptAndOlderFilesGainIt) {
    TempDir dir;
    const fs::path file = ProgramDatabase::PathFor(dir.path());
    {
        ProgramDatabase db(file);
        db.AddSchedule("/Config/Docs.Ubk", "Docs");
    }
    test::RawSql(file, R"(DROP TABLE "KnownJobReach";)");
    {
        ProgramDatabase older(file);
        EXPECT_EQ(older.AllSchedules().size(), 1u);
        EXPECT_FALSE(older.KnowsJobReach("Config/Docs.Ubk#0\n0\t/home/ann/Documents/"));
        older.RememberJobReach("Config/Docs.Ubk#0\n0\t/home/ann/Documents/", 45000.5);
        older.RememberJobReach("Config/Docs.Ubk#0\n0\t/home/ann/Documents/", 45001.5);
    }
    ProgramDatabase again(file);
    EXPECT_TRUE(again.KnowsJobReach("Config/Docs.Ubk#0\n0\t/home/ann/Documents/"));
    EXPECT_FALSE(again.KnowsJobReach("Config/Docs.Ubk#0\n0\t/home/ann/Pictures/"));
}

TEST(ProgramDatabase, DeletedFilesSizeAboveFourGiBIsExact) {
    TempDir dir;
    ProgramDatabase db(dir / "p.udb");
    EXPECT_EQ(db.DeletedFilesSize(), 0); // empty log: NULL sum reads as 0
    db.LogDeletedFile("big.iso", 3 * kGiB + 1);
    db.LogDeletedFile("bigger.iso", 5 * kGiB + 3);
    EXPECT_EQ(db.DeletedFilesSize(), 8 * kGiB + 4);
    db.ClearDeletedFilesLog();
    EXPECT_EQ(db.DeletedFilesSize(), 0);
}

TEST(ProgramDatabase, FileNamesAreStoredExactly) {
    TempDir dir;
    ProgramDatabase db(dir / "p.udb");
    const std::string name = " 2010-08-16 14-05/home/ann/Ann's \"notes\" 100%_done; --.txt";
    db.LogDeletedFile(name, 12);
    Statement s = db.GetConnection().Prepare(R"(SELECT "FileName", "FileSize" FROM "DeleteDataLog")");
    ASSERT_TRUE(s.Step());
    EXPECT_EQ(s.Text(0), name);
    EXPECT_EQ(s.Integer(1), 12);
}

class Schedules : public ::testing::Test {
protected:
    ScheduleRunRow Add(int mode, bool active, std::optional<TDateTime> next, const std::string& name) {
        ScheduleRunRow row = db.AddSchedule("/media/ann/STICK/Config/" + name + ".Ubk", name);
        row.Mode = mode;
        row.Active = active;
        row.NextRunTime = next;
        db.SaveSchedule(row);
        return row;
    }
    static std::vector<std::string> Names(const std::vector<ScheduleRunRow>& rows) {
        std::vector<std::string> names;
        for (const auto& r : rows)
            names.push_back(r.JobName);
        return names;
    }

    TempDir dir;
    ProgramDatabase db{dir / "p.udb"};
    const TDateTime now = EncodeDateTime({2010, 8, 16, 14, 5, 33});
    const double minute = 1.0 / 1440;
};

TEST_F(Schedules, TimerSelectsExactlyTheDueActiveTimedRows) {
    Add(kRunTimed, true, now - minute, "due");
    Add(kRunTimed, true, now, "dueNow");
    Add(kRunTimed, true, now - 400, "longOverdue");
    Add(kRunTimed, true, now + minute, "future");
    Add(kRunTimed, true, std::nullopt, "noNextRun");
    Add(kRunTimed, false, now - minute, "inactive");
    Add(kRunAtStartup, true, now - minute, "startup");
    Add(kRunAtDriveInsertion, true, now - minute, "insertion");
    EXPECT_EQ(Names(db.DueTimedSchedules(now)), (std::vector<std::string>{"due", "dueNow", "longOverdue"}));
}

TEST_F(Schedules, ModeSelectionsTakeOnlyActiveRowsOfThatMode) {
    Add(kRunAtStartup, true, std::nullopt, "s1");
    Add(kRunAtStartup, false, std::nullopt, "s2");
    Add(kRunAtShutdown, true, std::nullopt, "d1");
    Add(kRunAtDriveInsertion, true, std::nullopt, "i1");
    Add(kRunAtDriveInsertion, false, std::nullopt, "i2");
    Add(kRunAtStartup, true, std::nullopt, "s3");
    EXPECT_EQ(Names(db.ActiveSchedules(kRunAtStartup)), (std::vector<std::string>{"s1", "s3"}));
    EXPECT_EQ(Names(db.ActiveSchedules(kRunAtShutdown)), (std::vector<std::string>{"d1"}));
    EXPECT_EQ(Names(db.ActiveSchedules(kRunAtDriveInsertion)), (std::vector<std::string>{"i1"}));
}

TEST_F(Schedules, RunnerReschedulesARow) {
    const auto row = Add(kRunTimed, true, now - minute, "job");
    db.SetNextRunTime(row.ID, now + 7);
    EXPECT_TRUE(db.DueTimedSchedules(now).empty());
    EXPECT_EQ(db.FindSchedule(row.ID)->NextRunTime, now + 7);
    db.SetNextRunTime(row.ID, std::nullopt);
    EXPECT_FALSE(db.FindSchedule(row.ID)->NextRunTime);
    EXPECT_TRUE(db.DueTimedSchedules(now + 100).empty());
}

TEST_F(Schedules, NewRowIsActiveTimedWithoutScheduleAndKeepsItsData) {
    const ScheduleRunRow added =
        db.AddSchedule("/media/ann/STICK/Config/Backup2010-08-16 14-05-33 123.Ubk", "Photos");
    EXPECT_GT(added.ID, 0); // readable right after the insert
    EXPECT_EQ(added.Mode, kRunTimed);
    EXPECT_TRUE(added.Active);
    EXPECT_FALSE(added.NextRunTime);
    EXPECT_TRUE(added.Data.empty());
    Statement raw = db.GetConnection().Prepare(R"(SELECT "Active", "Data" IS NULL FROM "ScheduleRun")");
    ASSERT_TRUE(raw.Step());
    EXPECT_EQ(raw.Text(0), "T");
    EXPECT_EQ(raw.Integer(1), 1);
    raw.Reset();

    ScheduleRunRow edited = added;
    edited.Data = {0x78, 0xDA, 0x00, 0x01, 0xFF};
    edited.JobName = "Photos (weekly)";
    edited.Active = false;
    db.SaveSchedule(edited);
    const auto back = db.FindSchedule(added.ID);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Data, edited.Data);
    EXPECT_EQ(back->JobName, "Photos (weekly)");
    EXPECT_FALSE(back->Active);
    ASSERT_TRUE(raw.Step());
    EXPECT_EQ(raw.Text(0), "F");

    db.DeleteSchedule(added.ID);
    EXPECT_TRUE(db.AllSchedules().empty());
    EXPECT_THROW(db.SaveSchedule(edited), EDatabaseError);
    // IDs are not reused after a delete.
    EXPECT_GT(db.AddSchedule("x", "y").ID, added.ID);
}

TEST_F(Schedules, ActiveTextRule) {
    EXPECT_EQ(ActiveText(true), "T");
    EXPECT_EQ(ActiveText(false), "F");
    for (const char* yes : {"T", "t", "True", "Y", "yes"})
        EXPECT_TRUE(ActiveFromText(yes)) << yes;
    for (const char* no : {"F", "f", "", "N", " T", "1"})
        EXPECT_FALSE(ActiveFromText(no)) << no;
    // A value written by another program reads by the same rule.
    db.GetConnection().Execute(R"(INSERT INTO "ScheduleRun" ("FileName", "Active") VALUES ('a', 'yes'))");
    EXPECT_TRUE(db.AllSchedules().front().Active);
}

TEST_F(Schedules, StateLookupFindsTheJobOnAnyDrivePathIgnoringCase) {
    EXPECT_EQ(db.ScheduleStateOf("/media/ann/STICK/Config/Photos.Ubk"), 0);
    Add(kRunTimed, true, std::nullopt, "Photos");
    Add(kRunTimed, false, std::nullopt, "Music");
    EXPECT_EQ(db.ScheduleStateOf("/media/ann/STICK/Config/Photos.Ubk"), 1);
    EXPECT_EQ(db.ScheduleStateOf("/media/bob/STICK1/Config/photos.ubk"), 1);
    EXPECT_EQ(db.ScheduleStateOf("/run/media/x/Config/MUSIC.UBK"), 2);
    EXPECT_EQ(db.ScheduleStateOf("/media/ann/STICK/Config/Other.Ubk"), 0);
    const auto found = db.FindScheduleForJob("/media/z/Config/music.Ubk");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->JobName, "Music");
}

TEST_F(Schedules, RowsComeBackInTheOrderTheyWereAdded) {
    for (const char* n : {"c", "a", "b"})
        Add(kRunTimed, true, std::nullopt, n);
    EXPECT_EQ(Names(db.AllSchedules()), (std::vector<std::string>{"c", "a", "b"}));
}

TEST(ProgramDatabase, PathIsBelowConfigData) {
    EXPECT_EQ(ProgramDatabase::PathFor("/var/lib/Quorvane/Drivlet"),
              fs::path("/var/lib/Quorvane/Drivlet/ConfigData/ProgramData.udb"));
}

} // namespace
} // namespace drivlet

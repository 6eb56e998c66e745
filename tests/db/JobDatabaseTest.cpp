// The backup and sync databases beside their job files: places, the workers' lookups and writes.
#include "DbTestSupport.h"
#include "core/db/BackupDatabase.h"
#include "core/db/EDatabaseError.h"
#include "core/db/SyncDatabase.h"
#include "core/db/Transaction.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(JobDatabases, LiveBesideTheJobFile) {
    EXPECT_EQ(BackupDatabase::PathForJob("/media/ann/STICK/Config/Backup2010-08-16 14-05-33 123.Ubk"),
              fs::path("/media/ann/STICK/Config/Backup2010-08-16 14-05-33 123.Udb"));
    EXPECT_EQ(BackupDatabase::PathForJob("/m/S/Config/Move.umv"), fs::path("/m/S/Config/Move.Udb"));
    EXPECT_EQ(SyncDatabase::PathForJob("/m/S/Config/Work.usy"), fs::path("/m/S/Config/Work.Usdb"));
    EXPECT_EQ(SyncDatabase::PathForItem("/m/S/Config/Both.upcsy", "{4F2A-77}"),
              fs::path("/m/S/Config/{4F2A-77}.Usdb"));
}

TEST(JobDatabases, AreNotInterchangeable) {
    TempDir dir;
    { BackupDatabase backup(dir / "job.Udb"); }
    // A backup database has a FileLog too, but not the sync columns.
    EXPECT_THROW(SyncDatabase sync(dir / "job.Udb"), EDatabaseError);
    { SyncDatabase sync(dir / "job.Usdb"); }
    EXPECT_THROW(BackupDatabase backup(dir / "job.Usdb"), EDatabaseError);
}

TEST(BackupDatabase, FileLogRowsBelongToTheExactSpelling) {
    TempDir dir;
    BackupDatabase db(dir / "Config" / "job.Udb");
    EXPECT_FALSE(db.LastCopied("/home/ann/Docs/a.txt"));
    db.RecordCopied("/home/ann/Docs/a.txt", 40000.25, 10);
    EXPECT_EQ(db.LastCopied("/home/ann/Docs/a.txt"), (CopiedFile{40000.25, 10}));
    // Case twins are two files on Linux: each keeps a row of its own.
    EXPECT_FALSE(db.LastCopied("/HOME/ann/docs/A.TXT"));
    db.RecordCopied("/home/ann/DOCS/a.txt", 40001.5, 20);
    db.RecordCopied("/home/ann/Docs/a.txt", 40002.0, 30); // the same file: its row is updated
    EXPECT_EQ(db.LastCopied("/home/ann/Docs/a.txt"), (CopiedFile{40002.0, 30}));
    EXPECT_EQ(db.LastCopied("/home/ann/DOCS/a.txt"), (CopiedFile{40001.5, 20}));
    Statement count = db.GetConnection().Prepare(R"(SELECT count(*) FROM "FileLog")");
    ASSERT_TRUE(count.Step());
    EXPECT_EQ(count.Integer(0), 2);
    count.Reset();

    db.GetConnection().Execute(R"(INSERT INTO "FileLog" ("FileName") VALUES ('/no/date'))");
    EXPECT_EQ(db.LastCopied("/no/date"), CopiedFile{}); // a row without date or size: NULLs read as 0 and -1

    db.ResetFileLog();
    EXPECT_FALSE(db.LastCopied("/home/ann/Docs/a.txt"));
}

TEST(BackupDatabase, FolderRowsAreTheFilesDirectlyInsideInTheirExactSpelling) {
    TempDir dir;
    BackupDatabase db(dir / "job.Udb");
    const char* rows[][2] = {
        {"/a/b/one.txt", "1"},   {"/a/b/Two.txt", "2"},     {"/a/b/two.txt", "3"},
        {"/a/b/sub/deep.txt", "4"}, {"/a/b/sub/x/y.txt", "5"}, {"/a/b/SUB/z.txt", "6"},
        {"/a/B/one.txt", "7"},   {"/A/b/other.txt", "8"},   {"/a/b0/n.txt", "9"},
        {"/a/b.x/n.txt", "10"},  {"/a/bb.txt", "11"},       {"/a/b/zz/q.txt", "12"},
        {"/a/b/\xc3\xa9t\xc3\xa9.txt", "13"}, {"/a/b/last", "14"},
    };
    for (const auto& row : rows)
        db.RecordCopied(row[0], std::stod(row[1]), std::stoi(row[1]));
    // A second row of the same spelling (left by another program) loses to the first one.
    db.GetConnection().Execute(R"(INSERT INTO "FileLog" ("FileName", "Update") VALUES ('/a/b/one.txt', 99))");
    db.GetConnection().Execute(R"(INSERT INTO "FileLog" ("FileName") VALUES ('/a/b/undated'))");

    const auto found = db.CopiedInFolder("/a/b/");
    using Rows = std::unordered_map<std::string, CopiedFile>;
    const Rows expected{{"one.txt", {1, 1}}, {"Two.txt", {2, 2}},
                        {"two.txt", {3, 3}}, {"\xc3\xa9t\xc3\xa9.txt", {13, 13}},
                        {"last", {14, 14}},  {"undated", {}}};
    EXPECT_EQ(found, expected);
    for (const auto& [name, row] : expected)
        EXPECT_EQ(db.LastCopied("/a/b/" + name), row) << name;

    EXPECT_EQ(db.CopiedInFolder("/a/b/sub/"), (Rows{{"deep.txt", {4, 4}}}));
    EXPECT_EQ(db.CopiedInFolder("/a/"), (Rows{{"bb.txt", {11, 11}}}));
    EXPECT_TRUE(db.CopiedInFolder("/nowhere/").empty());
    EXPECT_TRUE(db.CopiedInFolder("/a/b").empty()); // not a folder path
}

TEST(BackupDatabase, RowWritesCanBeBatchedAndSurviveReopening) {
    TempDir dir;
    const fs::path file = dir / "job.Udb";
    {
        BackupDatabase db(file);
        Transaction t(db.GetConnection());
        for (int i = 0; i < 1000; ++i)
            db.RecordCopied("/src/f" + std::to_string(i), i, i);
        t.Commit();
    }
    BackupDatabase db(file);
    EXPECT_EQ(db.LastCopied("/src/f999"), (CopiedFile{999.0, 999}));
    EXPECT_EQ(db.CopiedInFolder("/src/").size(), 1000u);
}

TEST(BackupDatabase, RunHistoryReusesTheRowOfAFolder) {
    TempDir dir;
    BackupDatabase db(dir / "job.Udb");
    const int64_t first = db.BeginRun("/Backup/Job/", 40000.0, "Incremental");
    db.SetRunStatus(first, "Finished !");
    const int64_t stamped = db.BeginRun("/Backup/Job/2010-08-16 14-05/", 40001.0, "Time Stamped");
    const int64_t second = db.BeginRun("/backup/JOB/", 40002.0, "Incremental");
    EXPECT_EQ(second, first);
    EXPECT_NE(stamped, first);

    auto history = db.ArchiveHistory();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].ID, stamped); // oldest DateTime first
    EXPECT_EQ(history[1].ArchiveFolder, "/Backup/Job/");
    EXPECT_EQ(history[1].DateTime, 40002.0);
    EXPECT_EQ(history[1].Status, kRunNotCompleted);
    EXPECT_EQ(history[1].Format, "Incremental");

    // A move job leaves the format as it was.
    const int64_t move = db.BeginRun("/Backup/Job/", 40003.0, std::nullopt);
    EXPECT_EQ(move, first);
    db.SetRunStatus(move, "Canceled");
    history = db.ArchiveHistory();
    EXPECT_EQ(history[1].Format, "Incremental");
    EXPECT_EQ(history[1].Status, "Canceled");
    const int64_t fresh = db.BeginRun("/Moves/", 40004.0, std::nullopt);
    EXPECT_EQ(db.ArchiveHistory()[2].ID, fresh);
    EXPECT_EQ(db.ArchiveHistory()[2].Format, "");
}

TEST(BackupDatabase, WrittenArchivesArePerFolderInTheirExactSpelling) {
    TempDir dir;
    BackupDatabase db(dir / "job.Udb");
    EXPECT_TRUE(db.WrittenArchives("/Backup/").empty());
    db.RecordWrittenArchive("/Backup/", "Root.Zip");
    db.RecordWrittenArchive("/Backup/", "Root.Zip"); // once only
    db.RecordWrittenArchive("/Backup/", "C.Zip");
    db.RecordWrittenArchive("/media/b/DISK/", "Root.Zip");
    EXPECT_EQ(db.WrittenArchives("/Backup/"), (std::vector<std::string>{"Root.Zip", "C.Zip"}));
    // Another spelling is another folder and another file on Linux.
    EXPECT_TRUE(db.WrittenArchives("/backup/").empty());
    db.ForgetWrittenArchive("/Backup/", "root.zip");
    db.ForgetWrittenArchive("/Backup/", "C.Zip");
    EXPECT_EQ(db.WrittenArchives("/Backup/"), std::vector<std::string>{"Root.Zip"});
    EXPECT_EQ(db.WrittenArchives("/media/b/DISK/"), std::vector<std::string>{"Root.Zip"});
}

TEST(BackupDatabase, AFileFromBeforeTheArchiveTableStillOpensAndGetsItWhenNeeded) {
    TempDir dir;
    const fs::path file = dir / "old.Udb";
    test::RawSql(file, R"(CREATE TABLE "FileLog" ("ID" INTEGER PRIMARY KEY, "FileName" TEXT, "Update" REAL);
        CREATE TABLE "ArchiveLog" ("ID" INTEGER PRIMARY KEY, "ArchiveFolder" TEXT, "DateTime" REAL,
            "Status" TEXT, "Format" TEXT);
        INSERT INTO "FileLog" ("FileName", "Update") VALUES ('/home/a/x.txt', 40000);)");
    {
        BackupDatabase db(file);
        // Its rows have no size: their dates alone decide, as they did.
        EXPECT_EQ(db.LastCopied("/home/a/x.txt"), (CopiedFile{40000.0, -1}));
        db.RecordCopied("/home/a/y.txt", 40001.0, 7);
        EXPECT_TRUE(db.WrittenArchives("/Backup/").empty());
        db.ForgetWrittenArchive("/Backup/", "Root.Zip");
        db.RecordWrittenArchive("/Backup/", "Root.Zip");
    }
    BackupDatabase reopened(file);
    EXPECT_EQ(reopened.WrittenArchives("/Backup/"), std::vector<std::string>{"Root.Zip"});
    EXPECT_EQ(reopened.LastCopied("/home/a/x.txt"), (CopiedFile{40000.0, -1}));
    EXPECT_EQ(reopened.LastCopied("/home/a/y.txt"), (CopiedFile{40001.0, 7}));
}

TEST(SyncDatabase, LooksUpByEitherSideIgnoringCase) {
    TempDir dir;
    SyncDatabase db(dir / "Work.Usdb");
    const auto a = db.Insert("Reports\\May.doc", "/Docs/", "/home/ann/Docs/", 0);
    EXPECT_GT(a.ID, 0);
    const auto b = db.Insert("Reports\\May.doc", "/Other/", "/home/ann/Other/", 1);

    auto found = db.FindDriveSide("REPORTS\\may.DOC", "/docs/");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->ID, a.ID);
    EXPECT_EQ(found->FolderB, "/home/ann/Docs/");
    EXPECT_EQ(found->ListID, 0);
    EXPECT_EQ(found->DateFolderA, 0.0); // never copied: NULL dates read as 0
    found = db.FindComputerSide("reports\\may.doc", "/HOME/ann/other/");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->ID, b.ID);
    EXPECT_FALSE(db.FindDriveSide("Reports\\May.doc", "/home/ann/Docs/")); // folders are per side
    EXPECT_FALSE(db.FindComputerSide("June.doc", "/home/ann/Docs/"));
}

TEST(SyncDatabase, ListIdsAndDatesOfARun) {
    TempDir dir;
    const fs::path file = dir / "Config" / "Work.Usdb";
    int64_t id = 0;
    {
        SyncDatabase db(file);
        id = db.Insert("a.txt", "/", "/home/ann/", std::nullopt).ID;
        EXPECT_FALSE(db.FindById(id)->ListID);
        db.SetListId(id, 5);
        EXPECT_EQ(db.FindById(id)->ListID, 5);
        db.SetDates(id, 40000.5, 40000.75);
    }
    SyncDatabase db(file);
    auto r = db.FindById(id);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->ListID, 5);
    EXPECT_EQ(r->DateFolderA, 40000.5);
    EXPECT_EQ(r->DateFolderB, 40000.75);
    db.ClearListIds();
    EXPECT_FALSE(db.FindDriveSide("A.TXT", "/")->ListID);
    EXPECT_FALSE(db.FindById(id + 1));
}

TEST(SyncDatabase, OnePassOverAFolderPairsRowsTellsWhichSideEachBelongsTo) {
    TempDir dir;
    SyncDatabase db(dir / "Work.Usdb");
    const int64_t both = db.Insert("a.txt", "/Docs/", "/home/ann/Docs/", std::nullopt).ID;
    const int64_t driveOnly = db.Insert("b.txt", "/DOCS/", "/mnt/old/", std::nullopt).ID;
    db.Insert("c.txt", "/Other/", "/home/ann/Other/", std::nullopt);
    const int64_t computerOnly = db.Insert("d.txt", "/Moved/", "/HOME/ann/docs/", std::nullopt).ID;
    db.SetDates(both, 40000.5, 40000.75);

    std::vector<SyncPairRecord> seen;
    db.EachRecordOfPair("/docs/", "/home/ann/Docs/", [&](const SyncPairRecord& r) { seen.push_back(r); });
    ASSERT_EQ(seen.size(), 3u); // the row of another pair is not read
    EXPECT_EQ(seen[0].ID, both);
    EXPECT_EQ(seen[0].FileName, "a.txt");
    EXPECT_TRUE(seen[0].OnA && seen[0].OnB);
    EXPECT_EQ(seen[0].DateFolderA, 40000.5);
    EXPECT_EQ(seen[0].DateFolderB, 40000.75);
    EXPECT_EQ(seen[1].ID, driveOnly);
    EXPECT_TRUE(seen[1].OnA);
    EXPECT_FALSE(seen[1].OnB);
    EXPECT_EQ(seen[1].DateFolderA, 0.0);
    EXPECT_EQ(seen[2].ID, computerOnly);
    EXPECT_FALSE(seen[2].OnA);
    EXPECT_TRUE(seen[2].OnB);
}

} // namespace
} // namespace drivlet

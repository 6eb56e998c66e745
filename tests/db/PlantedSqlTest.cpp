// Job databases holding SQL the program did not put there (a drive's files are anybody's): refused
// as damaged before anything is written, byte for byte as they were; the program's own files,
// older ones too, still open.
#include "DbTestSupport.h"
#include "core/db/BackupDatabase.h"
#include "core/db/EDatabaseError.h"
#include "core/db/SyncDatabase.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

const std::string kDocsA = "/Docs/";
const std::string kDocsB = "/home/ann/Docs/";

// A job database as runs leave it: every table the program makes, rows in each.
fs::path GenuineSyncFile(const fs::path& file) {
    SyncDatabase db(file);
    const int64_t id = db.Insert("a.txt", kDocsA, kDocsB, 0).ID;
    db.SetDates(id, 40000.5, 40000.5, 10);
    db.SetHeld(kDocsA, kDocsB, 'B', id);
    db.SetMountedFolders(kDocsA, kDocsB, {"Bmnt"});
    return file;
}

fs::path GenuineBackupFile(const fs::path& file) {
    BackupDatabase db(file);
    db.RecordCopied("/home/ann/Docs/a.txt", 40000.5, 10);
    db.SetRunStatus(db.BeginRun("/Backup/", 40000.5, "Incremental"), "Finished");
    db.RecordWrittenArchive("/Backup/", "Root.Zip");
    return file;
}

struct Kind {
    std::string name;
    std::function<fs::path(const fs::path&)> make;
    std::function<void(const fs::path&)> open;
    std::string laterTable; // one that older files of the kind lack
};

const std::vector<Kind> kKinds = {
    {"sync", GenuineSyncFile, [](const fs::path& f) { SyncDatabase db(f); }, "MountedFolders"},
    {"backup", GenuineBackupFile, [](const fs::path& f) { BackupDatabase db(f); }, "WrittenArchive"},
    {"backup on a read-only drive", GenuineBackupFile,
     [](const fs::path& f) { (void)BackupDatabase::ArchiveHistoryUnchanging(f); }, "WrittenArchive"},
};

// The file and its write-ahead log, as they lie on the drive.
std::string Bytes(const fs::path& file) {
    const fs::path log = fs::path(file) += "-wal";
    return ReadFile(file) + "\n-wal:\n" + (fs::exists(log) ? ReadFile(log) : "(none)");
}

void ExpectDamagedAndUnchanged(const fs::path& file, const std::function<void(const fs::path&)>& open) {
    const std::string before = Bytes(file);
    try {
        open(file);
        ADD_FAILURE() << "opened " << file;
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Database \"" + file.string() + "\": is damaged (truncated or overwritten)");
    }
    EXPECT_EQ(Bytes(file), before);
}

TEST(PlantedSql, TriggersViewsAndOtherTablesOrIndexesAreRefusedAsDamagedAndChangeNothing) {
    TempDir dir;
    for (const Kind& kind : kKinds) {
        const std::vector<std::pair<std::string, std::string>> planted = {
            {"trigger on insert",
             R"(CREATE TRIGGER "Wipe" AFTER INSERT ON "FileLog" BEGIN DELETE FROM "FileLog"; END;)"},
            {"trigger on update", R"(CREATE TRIGGER "Grow" BEFORE UPDATE ON "FileLog"
                 BEGIN INSERT INTO "FileLog" ("FileName") VALUES ('/etc/passwd'); END;)"},
            {"view", R"(CREATE VIEW "Everything" AS SELECT * FROM "FileLog";)"},
            {"view in place of a table of the program", "DROP TABLE \"" + kind.laterTable +
                                                            "\"; CREATE VIEW \"" + kind.laterTable +
                                                            "\" AS SELECT 1 AS \"x\";"},
            {"table", R"(CREATE TABLE "Extra" ("Data" TEXT);)"},
            {"index", R"(CREATE INDEX "FileLog_Update" ON "FileLog" ("FileName" DESC);)"},
        };
        for (size_t i = 0; i < planted.size(); ++i) {
            SCOPED_TRACE(kind.name + ", " + planted[i].first);
            const fs::path file = kind.make(dir / (kind.name + std::to_string(i) + ".db"));
            test::RawSql(file, planted[i].second);
            ExpectDamagedAndUnchanged(file, kind.open);
        }
    }
}

TEST(PlantedSql, ATriggerInAWriteAheadLogIsRefusedAndTheLogNotFoldedIn) {
    TempDir dir;
    const fs::path file = GenuineSyncFile(dir / "Job.Usdb");
    test::RawSql(file, R"(CREATE TRIGGER "Wipe" AFTER INSERT ON "FileLog" BEGIN DELETE FROM "FileLog"; END;)",
                 true);
    ASSERT_GT(fs::file_size(fs::path(file) += "-wal"), 0u);
    ExpectDamagedAndUnchanged(file, [](const fs::path& f) { SyncDatabase db(f); });
}

// A link in the file's place could lead to any database of the computer: it is not opened.
TEST(PlantedSql, ALinkInPlaceOfTheFileIsRefusedAndWhatItPointsAtUntouched) {
    TempDir dir;
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const fs::path elsewhere = kind.make(dir / (kind.name + "-computer.db"));
        const std::string before = Bytes(elsewhere);
        const fs::path link = dir / (kind.name + "-link.db");
        fs::create_symlink(elsewhere, link);
        EXPECT_THROW(kind.open(link), EDatabaseError);
        EXPECT_EQ(Bytes(elsewhere), before);
    }
}

TEST(PlantedSql, ATriggerAddedWhileTheFileIsOpenDoesNotRun) {
    TempDir dir;
    SyncDatabase db(GenuineSyncFile(dir / "Job.Usdb"));
    test::RawSql(dir / "Job.Usdb",
                 R"(CREATE TRIGGER "Wipe" AFTER INSERT ON "FileLog" BEGIN DELETE FROM "FileLog"; END;)");
    const int64_t id = db.Insert("b.txt", kDocsA, kDocsB, 1).ID;
    EXPECT_TRUE(db.FindDriveSide("a.txt", kDocsA));
    EXPECT_TRUE(db.FindById(id));
}

TEST(PlantedSql, TheProgramsOwnFilesOpenOldOrNew) {
    TempDir dir;
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const fs::path file = kind.make(dir / (kind.name + ".db"));
        EXPECT_NO_THROW(kind.open(file));
        EXPECT_NO_THROW(kind.open(file));
    }
    // A sync file from before the size column and the two later tables: it gets them, and is
    // still the program's own afterwards.
    const fs::path old = dir / "Old.Usdb";
    test::RawSql(old, R"(CREATE TABLE "FileLog" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "FileName" TEXT,
            "FolderA" TEXT, "FolderB" TEXT, "ListID" INTEGER, "DateFolderA" REAL, "DateFolderB" REAL);
        CREATE INDEX "FileLog_FileName_FolderA" ON "FileLog" ("FileName", "FolderA");
        CREATE INDEX "FileLog_FileName_FolderB" ON "FileLog" ("FileName", "FolderB");
        INSERT INTO "FileLog" ("FileName", "FolderA", "FolderB") VALUES ('a.txt', '/Docs/', '/home/ann/Docs/');)");
    {
        SyncDatabase db(old);
        db.SetHeld(kDocsA, kDocsB, 'A');
    }
    SyncDatabase again(old);
    EXPECT_EQ(again.HeldSide(kDocsA, kDocsB), 'A');
    EXPECT_EQ(again.FindDriveSide("a.txt", kDocsA)->Size, -1);
}

} // namespace
} // namespace drivlet

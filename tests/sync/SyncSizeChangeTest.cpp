// An edit made within the two-second slot of the last copy keeps the file's date: its size tells
// the change, and the record keeps the size the two sides had when they were made equal.
#include "SyncRunSupport.h"
#include "core/db/Connection.h"

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncSizeChangeTest : public SyncRunFixture {
protected:
    // The sync database as a version without the size column left it, with a.txt recorded as
    // synced.
    void MakeOldDatabase() {
        static constexpr std::string_view kOldSql = R"sql(
CREATE TABLE "FileLog" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "FileName" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "FolderA" TEXT NOT NULL DEFAULT '' COLLATE NOCASE, "FolderB" TEXT NOT NULL DEFAULT '' COLLATE NOCASE,
    "ListID" INTEGER, "DateFolderA" REAL, "DateFolderB" REAL);
)sql";
        Connection old = Connection::Open(database, DatabaseSchema{kOldSql, {{"FileLog", {"ID", "FileName"}}}});
        Statement row = old.Prepare(R"(INSERT INTO "FileLog" ("FileName", "FolderA", "FolderB", "DateFolderA",
            "DateFolderB") VALUES ('a.txt', '/Docs/', ?1, ?2, ?2))");
        row.BindText(1, pc + "Docs/").BindDate(2, Day(1)).Run();
    }
};

} // namespace

TEST_F(SyncSizeChangeTest, AnEditKeepingTheDateIsSyncedBothWays) {
    Make(drive + "Docs/a.txt", "first", Day(1));
    Make(pc + "Docs/b.txt", "first", Day(1));
    Bidi();
    ASSERT_EQ(ReadFile(pc + "Docs/a.txt"), "first");
    ASSERT_EQ(ReadFile(drive + "Docs/b.txt"), "first");
    EXPECT_EQ(RecordOf("a.txt")->Size, 5);

    // Overwritten at once: the two-second times read as before.
    Make(pc + "Docs/a.txt", "a longer second version", Day(1));
    Make(drive + "Docs/b.txt", "another longer version", Day(1));
    auto thread = Bidi(TSyncDefaultAction::sdaNewVersion);
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "a longer second version");
    EXPECT_EQ(ReadFile(pc + "Docs/b.txt"), "another longer version");
    EXPECT_EQ(thread->Counters().FilesTotal, 2);
    EXPECT_EQ(RecordOf("a.txt")->Size, 23);

    // Equal again: nothing to do.
    thread = Bidi();
    EXPECT_EQ(thread->Counters().FilesTotal, 0);
}

TEST_F(SyncSizeChangeTest, OneWaySyncCopiesAnEditKeepingTheDate) {
    // The drive is the master of this direction.
    Make(drive + "Docs/a.txt", "first", Day(1));
    Run(TSyncDirection::sdPCToUSB, TSyncDefaultAction::sdaAsk);
    ASSERT_EQ(ReadFile(pc + "Docs/a.txt"), "first");
    Make(drive + "Docs/a.txt", "edited within the slot", Day(1));
    Run(TSyncDirection::sdPCToUSB, TSyncDefaultAction::sdaAsk);
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "edited within the slot");
}

TEST_F(SyncSizeChangeTest, ADatabaseWithoutSizesKeepsWorkingAndGetsThem) {
    Make(drive + "Docs/a.txt", "same", Day(1));
    Make(pc + "Docs/a.txt", "same", Day(1));
    MakeOldDatabase();
    // A row of the older file has no size: its dates alone decide, as they did.
    auto thread = Bidi();
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_EQ(thread->Counters().FilesTotal, 0);
    EXPECT_EQ(RecordOf("a.txt")->Size, -1);

    Make(drive + "Docs/n.txt", "new", Day(2));
    Bidi();
    EXPECT_EQ(RecordOf("n.txt")->Size, 3);
    Make(drive + "Docs/n.txt", "new and longer", Day(2));
    Bidi();
    EXPECT_EQ(ReadFile(pc + "Docs/n.txt"), "new and longer");
}

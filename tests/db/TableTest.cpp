// The table object: walking, finding, inserting, editing, posting and deleting rows.
#include "core/db/Table.h"
#include "core/db/Connection.h"
#include "core/db/EDatabaseError.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace drivlet {
namespace {

using test::TempDir;

const DatabaseSchema kSchema{
    R"(CREATE TABLE IF NOT EXISTS "Log" ("ID" INTEGER PRIMARY KEY AUTOINCREMENT, "FileName" TEXT COLLATE NOCASE,
         "Folder" TEXT COLLATE NOCASE, "Size" INTEGER NOT NULL DEFAULT 7, "When" REAL, "Data" BLOB);)",
    {{"Log", {"ID", "FileName", "Folder", "Size", "When", "Data"}}}};

class TableTest : public ::testing::Test {
protected:
    int64_t Add(const std::string& name, const std::string& folder, int64_t size) {
        Record r = table.NewRecord();
        r.Set("FileName", name);
        r.Set("Folder", folder);
        r.Set("Size", size);
        table.Post(r);
        return r.Integer("ID");
    }

    TempDir dir;
    Connection connection = Connection::Open(dir / "t.db", kSchema);
    Table table{connection, "Log"};
};

TEST_F(TableTest, PostedInsertHasItsIdentityAndDefaults) {
    Record r = table.NewRecord();
    EXPECT_TRUE(r.IsNew());
    r.Set("filename", std::string("a.txt")); // column names ignore case
    table.Post(r);
    EXPECT_FALSE(r.IsNew());
    EXPECT_GT(r.Integer("ID"), 0);
    EXPECT_EQ(r.RowId(), r.Integer("ID"));
    EXPECT_EQ(r.Integer("Size"), 7);
    EXPECT_TRUE(r.IsNull("When"));
    EXPECT_EQ(r.Date("When"), 0.0);
    EXPECT_FALSE(r.Modified());
    EXPECT_THROW(r.Set("NoSuchColumn", int64_t{1}), std::out_of_range);
}

TEST_F(TableTest, FindsByOneOrTwoKeysIgnoringCase) {
    const int64_t first = Add("Report.DOC", "/Docs/", 1);
    Add("report.doc", "/Other/", 2);
    Add("Other.doc", "/Docs/", 3);
    auto r = table.Find("FileName", std::string("REPORT.doc"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Integer("ID"), first); // the first in row order
    r = table.Find("FileName", std::string("REPORT.DOC"), "Folder", std::string("/other/"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Integer("Size"), 2);
    EXPECT_FALSE(table.Find("FileName", std::string("Report.DOC"), "Folder", std::string("/Nowhere/")));
    EXPECT_FALSE(table.Find("FileName", std::string("Report")));
}

TEST_F(TableTest, EditAndPostWritesOnlyWhatChanged) {
    const int64_t id = Add("a", "/f/", 1);
    Record mine = *table.FindByRowId(id);
    // Meanwhile another connection changes another field of the same row.
    Connection other = Connection::Open(dir / "t.db", kSchema);
    other.Execute(R"(UPDATE "Log" SET "Folder" = '/moved/')");
    mine.Set("Size", int64_t{5} << 33);
    mine.Set("Data", std::vector<uint8_t>{1, 2, 3});
    table.Post(mine);
    EXPECT_EQ(mine.Text("Folder"), "/moved/");
    EXPECT_EQ(mine.Integer("Size"), int64_t{5} << 33);
    Table seen(other, "Log");
    const Record back = *seen.FindByRowId(id);
    EXPECT_EQ(back.Blob("Data"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(back.Integer("Size"), int64_t{5} << 33);
}

TEST_F(TableTest, WalkSelectedRowsAndUpdateThem) {
    for (int i = 0; i < 6; ++i)
        Add("f" + std::to_string(i), "/", i);
    for (Record& r : table.Select(R"("Size" >= ?1)", {int64_t{3}})) {
        r.Set("When", 40000.0 + r.Integer("Size"));
        table.Post(r);
    }
    const auto rows = table.Rows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_TRUE(rows[2].IsNull("When"));
    EXPECT_EQ(rows[3].Date("When"), 40003.0);
    EXPECT_EQ(rows[5].Date("When"), 40005.0);
}

TEST_F(TableTest, SortedViewAndDelete) {
    Add("b", "/", 2);
    Add("c", "/", 1);
    Add("a", "/", 3);
    auto sorted = table.Rows("Size");
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(sorted[0].Text("FileName"), "c");
    EXPECT_EQ(sorted[2].Text("FileName"), "a");
    table.Delete(sorted[1]);
    sorted = table.Rows("FileName");
    ASSERT_EQ(sorted.size(), 2u);
    EXPECT_EQ(sorted[0].Text("FileName"), "a");
    EXPECT_EQ(sorted[1].Text("FileName"), "c");
}

TEST_F(TableTest, UnknownTableIsAnError) {
    EXPECT_THROW(Table(connection, "Nope"), EDatabaseError);
}

} // namespace
} // namespace drivlet

// Opening, creating and refusing database files; transactions; typed binding and reading.
#include "core/db/Connection.h"
#include "DbTestSupport.h"
#include "core/db/EDatabaseError.h"
#include "core/db/ProgramDatabase.h"
#include "core/db/Transaction.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const DatabaseSchema kSchema{
    R"(CREATE TABLE IF NOT EXISTS "T" ("ID" INTEGER PRIMARY KEY, "Name" TEXT COLLATE NOCASE,
                                  "Size" INTEGER, "When" REAL, "Bytes" BLOB);)",
    {{"T", {"ID", "Name", "Size", "When", "Bytes"}}}};

// Opening `file` must fail with a message naming it and containing `expected`, and leave the file
// byte for byte as it was, with no journal files beside it.
void ExpectRefused(const fs::path& file, const std::string& expected) {
    const std::string before = ReadFile(file);
    try {
        ProgramDatabase db(file);
        ADD_FAILURE() << "opened " << file;
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        EXPECT_EQ(e.File(), file);
    }
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_FALSE(fs::exists(file.string() + "-wal"));
    EXPECT_FALSE(fs::exists(file.string() + "-shm"));
    EXPECT_FALSE(fs::exists(file.string() + "-journal"));
}

// A real program database of several pages, closed (so its WAL is folded back into the file).
std::string RealDatabaseBytes(const TempDir& dir) {
    const fs::path file = dir / "real.udb";
    {
        ProgramDatabase db(file);
        Transaction t(db.GetConnection());
        for (int i = 0; i < 2000; ++i)
            db.LogDeletedFile("/some/fairly/long/path/name/file" + std::to_string(i), i);
        t.Commit();
    }
    EXPECT_FALSE(fs::exists(file.string() + "-wal"));
    return ReadFile(file);
}

TEST(DatabaseFile, MissingFileIsCreatedWithItsFolderAndSchema) {
    TempDir dir;
    const fs::path file = dir / "deep" / "er" / "ProgramData.udb";
    {
        ProgramDatabase db(file);
        EXPECT_EQ(db.DeletedFilesSize(), 0);
        EXPECT_TRUE(db.AllSchedules().empty());
    }
    EXPECT_TRUE(fs::is_regular_file(file));
    ProgramDatabase again(file); // reopening a file of ours checks it and accepts it
    EXPECT_EQ(again.DeletedFilesSize(), 0);
}

TEST(DatabaseFile, EmptyFileIsTreatedAsMissing) {
    TempDir dir;
    const fs::path file = dir / "ProgramData.udb";
    WriteFile(file, "");
    ProgramDatabase db(file);
    db.LogDeletedFile("a", 1);
    EXPECT_EQ(db.DeletedFilesSize(), 1);
}

TEST(DatabaseFile, DamagedFilesAreRefusedAndLeftAsTheyWere) {
    TempDir dir;
    std::mt19937 random(42);
    std::string noise(64 * 1024, '\0');
    for (auto& c : noise)
        c = static_cast<char>(random());
    WriteFile(dir / "random.udb", noise);
    ExpectRefused(dir / "random.udb", "is not a database");

    WriteFile(dir / "text.udb", "Drivlet job list\nnot a database at all\n");
    ExpectRefused(dir / "text.udb", "is not a database");

    const std::string real = RealDatabaseBytes(dir);
    ASSERT_GT(real.size(), 8 * 4096u);
    WriteFile(dir / "half.udb", real.substr(0, real.size() / 2 / 4096 * 4096)); // whole pages lost
    ExpectRefused(dir / "half.udb", "is damaged");
    WriteFile(dir / "cut.udb", real.substr(0, real.size() - 1000)); // cut inside a page
    ExpectRefused(dir / "cut.udb", "truncated");
    WriteFile(dir / "header.udb", real.substr(0, 60)); // not even a whole header
    ExpectRefused(dir / "header.udb", "is not a database");

    // A sound database belonging to something else.
    test::RawSql(dir / "other.db", "CREATE TABLE Contacts (Name TEXT, Phone TEXT);"
                                   "INSERT INTO Contacts VALUES ('Ann', '123');");
    ExpectRefused(dir / "other.db", "is damaged (truncated or overwritten)");

    // One of the tables, but without a column the program uses.
    test::RawSql(dir / "old.udb",
                 "CREATE TABLE ScheduleRun (ID INTEGER PRIMARY KEY, FileName TEXT, Mode INTEGER);"
                 "CREATE TABLE DeleteDataLog (FileName TEXT, FileSize INTEGER);");
    ExpectRefused(dir / "old.udb", "table ScheduleRun has no column NextRunTime");
}

TEST(DatabaseFile, PagesOverwrittenInsideAreReportedAsDamaged) {
    TempDir dir;
    std::string real = RealDatabaseBytes(dir);
    // Scribble over a data page in the middle; the size still looks right.
    for (size_t i = 5 * 4096 + 8; i < 6 * 4096; ++i)
        real[i] = static_cast<char>(0xA5);
    WriteFile(dir / "scribbled.udb", real);
    ExpectRefused(dir / "scribbled.udb", "is damaged");
}

TEST(DatabaseFile, AFolderInPlaceOfTheFileIsAClearError) {
    TempDir dir;
    fs::create_directories(dir / "ProgramData.udb");
    EXPECT_THROW(ProgramDatabase db(dir / "ProgramData.udb"), EDatabaseError);
}

TEST(DatabaseFile, ThreadsCreatingTheSameFileAtOnceAllSucceed) {
    TempDir dir;
    for (int round = 0; round < 20; ++round) {
        const fs::path file = dir / ("race" + std::to_string(round) + ".udb");
        std::vector<std::thread> threads;
        std::atomic<int> failures{0};
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                try {
                    ProgramDatabase db(file);
                    db.LogDeletedFile("x", 1);
                } catch (const std::exception& e) {
                    ++failures;
                    ADD_FAILURE() << e.what();
                }
            });
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(failures.load(), 0);
        EXPECT_EQ(ProgramDatabase(file).DeletedFilesSize(), 4);
    }
}

TEST(Transaction, AWriterWaitsForAnotherConnectionsTransaction) {
    TempDir dir;
    Connection holder = Connection::Open(dir / "t.db", kSchema);
    std::atomic<bool> began{false};
    std::thread other([&] {
        Transaction t(holder);
        holder.Execute(R"(INSERT INTO "T" ("Name") VALUES ('first'))");
        began = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        t.Commit();
    });
    while (!began)
        std::this_thread::yield();
    Connection writer = Connection::Open(dir / "t.db", kSchema);
    // Both a plain statement and an explicit transaction wait for the lock instead of failing.
    writer.Execute(R"(INSERT INTO "T" ("Name") VALUES ('second'))");
    {
        Transaction t(writer);
        writer.Execute(R"(INSERT INTO "T" ("Name") VALUES ('third'))");
        t.Commit();
    }
    other.join();
    Statement s =
        writer.Prepare(R"(SELECT group_concat("Name") FROM (SELECT "Name" FROM "T" ORDER BY "ID"))");
    ASSERT_TRUE(s.Step());
    EXPECT_EQ(s.Text(0), "first,second,third");
}

TEST(Transaction, RollsBackUnlessCommitted) {
    TempDir dir;
    Connection c = Connection::Open(dir / "t.db", kSchema);
    {
        Transaction t(c);
        c.Execute(R"(INSERT INTO "T" ("Name") VALUES ('lost'))");
        EXPECT_TRUE(c.InTransaction());
    }
    EXPECT_FALSE(c.InTransaction());
    try {
        Transaction t(c);
        c.Execute(R"(INSERT INTO "T" ("Name") VALUES ('lost too'))");
        throw std::runtime_error("failure half way");
    } catch (const std::runtime_error&) {
    }
    {
        Transaction t(c);
        c.Execute(R"(INSERT INTO "T" ("Name") VALUES ('kept'))");
        t.Commit();
    }
    Connection other = Connection::Open(dir / "t.db", kSchema);
    Statement s = other.Prepare(R"(SELECT group_concat("Name") FROM "T")");
    ASSERT_TRUE(s.Step());
    EXPECT_EQ(s.Text(0), "kept");
}

TEST(Transaction, AnInnerTransactionJoinsTheOuterOne) {
    TempDir dir;
    Connection c = Connection::Open(dir / "t.db", kSchema);
    {
        Transaction outer(c);
        {
            Transaction inner(c);
            c.Execute(R"(INSERT INTO "T" ("Name") VALUES ('inner'))");
            inner.Commit(); // the outer one decides
        }
        EXPECT_TRUE(c.InTransaction());
    }
    Statement s = c.Prepare(R"(SELECT count(*) FROM "T")");
    ASSERT_TRUE(s.Step());
    EXPECT_EQ(s.Integer(0), 0);
}

TEST(Statement, BindsAndReadsEveryType) {
    TempDir dir;
    Connection c = Connection::Open(dir / "t.db", kSchema);
    const std::vector<uint8_t> bytes{0, 1, 2, 0xFF, 0};
    const int64_t big = (int64_t{1} << 40) + 7;
    Statement insert =
        c.Prepare(R"(INSERT INTO "T" ("Name", "Size", "When", "Bytes") VALUES (?1, ?2, ?3, ?4))");
    insert.BindText(1, "O'Brien's \"file\"; DROP TABLE T;")
        .BindInteger(2, big)
        .BindDate(3, 40406.5876)
        .BindBlob(4, bytes);
    insert.Run();
    const int64_t first = c.LastInsertId();
    // Re-binding a statement that has run starts it afresh.
    insert.BindText(1, "")
        .BindNull(2)
        .BindDate(3, std::optional<TDateTime>{})
        .BindBlob(4, std::vector<uint8_t>{});
    insert.Run();

    Statement read = c.Prepare(R"(SELECT "Name", "Size", "When", "Bytes" FROM "T" WHERE "ID" = ?1)");
    read.BindInteger(1, first);
    ASSERT_TRUE(read.Step());
    EXPECT_EQ(read.Text(0), "O'Brien's \"file\"; DROP TABLE T;");
    EXPECT_EQ(read.Integer(1), big);
    EXPECT_DOUBLE_EQ(read.Date(2), 40406.5876);
    EXPECT_EQ(read.Blob(3), bytes);
    EXPECT_FALSE(read.Step());

    read.BindInteger(1, c.LastInsertId());
    ASSERT_TRUE(read.Step());
    EXPECT_FALSE(read.IsNull(0));
    EXPECT_TRUE(read.IsNull(1));
    EXPECT_TRUE(read.IsNull(2));
    EXPECT_EQ(read.Date(2), 0.0); // a NULL date reads as 0
    EXPECT_FALSE(read.OptionalDate(2));
    EXPECT_FALSE(read.IsNull(3)); // an empty blob is not NULL
    EXPECT_TRUE(read.Blob(3).empty());
    EXPECT_EQ(read.ColumnIndex("when"), 2);
}

TEST(Statement, ErrorsNameTheFile) {
    TempDir dir;
    Connection c = Connection::Open(dir / "t.db", kSchema);
    try {
        c.Execute("INSERT INTO Missing VALUES (1)");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find((dir / "t.db").string()), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("Missing"), std::string::npos);
    }
}

} // namespace
} // namespace drivlet

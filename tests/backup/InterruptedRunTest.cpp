// A run that ended between its copies and their FileLog rows (killed, the drive pulled): the next
// run that copies without overwriting takes a target equal in size and time to its source as
// done, instead of failing on it for ever.
#include "BackupFixture.h"

using namespace drivlet;
using namespace drivlet::test;

namespace {

class InterruptedRunTest : public BackupFixture {
protected:
    const std::string single = root + "notes/todo.txt";

    std::string Mirror(const std::string& path) const { return dest + path.substr(1); }
    void RunOnlyNew() {
        auto job = MakeJob(TArchiveMode::amOnlyNew, dest);
        job->SetFileList({single});
        Run(*job);
    }
};

TEST_F(InterruptedRunTest, CopiesWhoseRowsWereLostCountAsDone) {
    MakeTree();
    Make(single, "single file");
    RunOnlyNew();
    ASSERT_EQ(Logs("Copy File").size(), 4u);
    // The copies are there, their rows were never written.
    BackupDatabase(database).ResetFileLog();
    Make(source + "new.txt", "fresh");
    clock.Advance(kHour);

    RunOnlyNew();
    const auto copies = Logs("Copy File");
    ASSERT_EQ(copies.size(), 5u);
    for (const auto& e : copies) {
        EXPECT_FALSE(e.isError) << e.fileName << ": " << e.status;
        EXPECT_EQ(e.status, "Done") << e.fileName;
        EXPECT_EQ(LastCopied(e.fileName), kFirstRun + kHour) << e.fileName;
    }
    EXPECT_EQ(ReadFile(Mirror(source + "new.txt")), "fresh");
    EXPECT_EQ(LastStatus(), "Finished !");

    // And from then on they are skipped as recorded.
    clock.Advance(kHour);
    RunOnlyNew();
    EXPECT_TRUE(Logs("Copy File").empty());
}

TEST_F(InterruptedRunTest, ATargetDifferingInTimeOrSizeIsStillRefusedAndKept) {
    Make(source + "same-size.txt", "12345", kFileTime);
    Make(Mirror(source + "same-size.txt"), "abcde", kFileTime + kHour);
    Make(source + "same-time.txt", "12345", kFileTime);
    Make(Mirror(source + "same-time.txt"), "abcdef", kFileTime);
    RunMode(TArchiveMode::amOnlyNew, dest);
    const auto copies = Logs("Copy File");
    ASSERT_EQ(copies.size(), 2u);
    for (const auto& e : copies) {
        EXPECT_TRUE(e.isError) << e.fileName;
        EXPECT_EQ(e.status, "File exists");
        EXPECT_FALSE(LastCopied(e.fileName).has_value());
    }
    EXPECT_EQ(ReadFile(Mirror(source + "same-size.txt")), "abcde");
    EXPECT_EQ(ReadFile(Mirror(source + "same-time.txt")), "abcdef");
}

TEST_F(InterruptedRunTest, ATimeStampedRunIntoAHalfWrittenFolderFinishesIt) {
    MakeTree();
    const std::string stamped = drive + "Backup 2024-03-01 09-00/";
    RunMode(TArchiveMode::amTimeStamped, stamped);
    RunMode(TArchiveMode::amTimeStamped, stamped);
    const auto copies = Logs("Copy File");
    ASSERT_EQ(copies.size(), 3u);
    for (const auto& e : copies)
        EXPECT_EQ(e.status, "Done") << e.fileName;
}

} // namespace

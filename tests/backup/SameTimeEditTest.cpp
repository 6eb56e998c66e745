// A file overwritten within the two-second slot of the run that copied it keeps its time: its new
// size is what tells the incremental runs, folder copy and zip alike, to take it again.
#include "ZipFixture.h"

using namespace drivlet;
using namespace drivlet::test;

namespace {

class SameTimeEditTest : public ZipFixture {
protected:
    const std::string single = root + "home/alice/notes.txt";

    void MakeFiles() {
        MakeTree();
        Make(single, "note");
    }
    // Overwritten with longer text at once: the time reads as the run's start, no later.
    void EditWithinTheSlot() {
        Make(source + "a.txt", "alpha, a longer second edition", kFirstRun);
        Make(single, "note, longer now", kFirstRun);
        clock.Advance(kHour);
    }
};

} // namespace

TEST_F(SameTimeEditTest, IncrementalFolderCopyTakesTheEditAgain) {
    MakeFiles();
    const auto run = [&] {
        auto job = MakeJob(TArchiveMode::amIncremental, dest);
        job->SetFileList({single});
        Run(*job);
    };
    run();
    ASSERT_EQ(Logs("Copy File").size(), 4u);
    EXPECT_EQ(BackupDatabase(database).LastCopied(source + "a.txt"), (CopiedFile{kFirstRun, 5}));

    EditWithinTheSlot();
    run();
    EXPECT_EQ(ReadFile(dest + source.substr(1) + "a.txt"), "alpha, a longer second edition");
    EXPECT_EQ(ReadFile(dest + single.substr(1)), "note, longer now");
    EXPECT_EQ(Logs("Copy File").size(), 2u); // the unchanged ones stay as they are
    EXPECT_EQ(BackupDatabase(database).LastCopied(source + "a.txt"), (CopiedFile{kFirstRun + kHour, 30}));

    clock.Advance(kHour);
    run();
    EXPECT_TRUE(Logs("Copy File").empty());
}

TEST_F(SameTimeEditTest, IncrementalZipTakesTheEditAgain) {
    MakeFiles();
    const auto run = [&] {
        auto job = MakeZipJob(TArchiveMode::amIncremental, dest);
        job->SetFileList({single});
        RunJob(*job);
    };
    run();
    ASSERT_EQ(Logs("Zip File").size(), 4u);

    EditWithinTheSlot();
    run();
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha, a longer second edition");
    EXPECT_EQ(ReadEntry(archive, EntryOf(single)), "note, longer now");
    EXPECT_EQ(Logs("Zip File").size(), 2u);
}

TEST_F(SameTimeEditTest, TimeStampedIncrementalZipTakesTheEditAgain) {
    MakeTree();
    RunZip(TArchiveMode::amTimeStampedIncremental, dest);
    ASSERT_EQ(Logs("Zip File").size(), 3u);
    EditWithinTheSlot();
    const std::string second = root + "STICK/Second/";
    RunZip(TArchiveMode::amTimeStampedIncremental, second);
    const auto added = Logs("Zip File");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].fileName, source + "a.txt");
    EXPECT_EQ(ReadEntry(second + "Root.Zip", EntryOf(source + "a.txt")), "alpha, a longer second edition");
}

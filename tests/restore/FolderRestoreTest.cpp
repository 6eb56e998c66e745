// The folder restore on a backup made by the folder copy: default and custom places, single
// files, excluded folders, and chosen paths that would lead out of the backup.
#include "RestoreFixture.h"

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class FolderRestoreTest : public RestoreFixture {
protected:
    void SetUp() override {
        MakeTreeWithScript();
        RunMode(TArchiveMode::amIncremental, dest);
        Damage();
        clock.Advance(2 * kHour);
    }
    const std::string backedUp = dest + EntryOf(source); // the source folder inside the backup
};

TEST_F(FolderRestoreTest, TheDefaultLocationIsTheFoldersOwnPlace) {
    auto job = MakeRestore<TRestoreFolderThread>(dest);
    job->SetFolderList({backedUp});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_EQ(files.FileTime(source + "a.txt"), kFileTime);
    EXPECT_EQ(LastStatus(), " Finished !");
    EXPECT_EQ(Logs("Copy File").size(), 4u);
    // A restore writes no run history and no FileLog rows.
    EXPECT_EQ(History().size(), 1u);
    EXPECT_EQ(LastCopied(source + "a.txt"), kFirstRun);
    EXPECT_TRUE(storeRows.empty());
}

TEST_F(FolderRestoreTest, ACustomLocationKeepsTheWholeMappedPath) {
    const std::string old = root + "Old";
    auto job = MakeRestore<TRestoreFolderThread>(dest, old);
    job->SetFolderList({backedUp + "sub/"});
    RunJob(*job);
    const std::string placed = old + "/" + EntryOf(source);
    EXPECT_EQ(TreeBelow(placed), (std::vector<std::string>{"sub", "sub/b.txt", "sub/deep", "sub/deep/c.txt"}));
    EXPECT_EQ(ReadFile(source + "a.txt"), "ruined");
}

TEST_F(FolderRestoreTest, SingleFilesAreChosenRelativeToTheBackup) {
    auto job = MakeRestore<TRestoreFolderThread>(dest);
    job->SetFileList({EntryOf(source) + "sub/b.txt", "../outside.txt", EntryOf(source) + "gone.txt"});
    Make(root + "STICK/outside.txt", "must not be copied");
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(source + "a.txt"), "ruined");
    const auto lines = Logs("Copy File");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(lines[0].isError);
    EXPECT_EQ(lines[1].fileName, "../outside.txt");
    EXPECT_TRUE(lines[1].isError);
    // A chosen file the backup does not hold is not passed over in silence.
    EXPECT_EQ(lines[2].fileName, dest + EntryOf(source) + "gone.txt");
    EXPECT_TRUE(lines[2].isError);
    EXPECT_EQ(lines[2].status, "Nothing in this backup matches it");
}

TEST_F(FolderRestoreTest, AnExcludedFolderOfTheBackupIsLeftOut) {
    auto job = MakeRestore<TRestoreFolderThread>(dest, root + "Old/");
    job->SetFolderList({backedUp});
    job->SetExcludeList({backedUp + "sub/deep/"});
    RunJob(*job);
    const std::string placed = root + "Old/" + EntryOf(source);
    EXPECT_EQ(TreeBelow(placed), (std::vector<std::string>{"a.txt", "run.sh", "sub", "sub/b.txt"}));
}

} // namespace

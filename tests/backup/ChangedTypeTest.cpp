// A file of the source replaced by a folder of the same name, or the reverse, between two
// backups: the folder copy makes way for the new kind (into the deleted-files store when that is
// on) or says why it does not, and a zip archive never keeps the old kind beside the new.
#include "ZipFixture.h"

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class ChangedTypeTest : public ZipFixture {
protected:
    const std::string name = source + "x";
    std::string Mirror(const std::string& path) const { return dest + EntryOf(path); }

    // x as a file first; after a backup in `mode`, a folder x with a file in it.
    void FileThenFolder(TArchiveMode mode, bool moveToDeleted = false) {
        Make(name, "old file");
        RunMode(mode, dest, moveToDeleted);
        fs::remove(name);
        Make(name + "/a.txt", "in the folder");
        clock.Advance(2 * kHour);
        RunMode(mode, dest, moveToDeleted);
    }
    // x as a folder first; after a backup, a file x.
    void FolderThenFile(bool moveToDeleted) {
        Make(name + "/a.txt", "in the folder");
        RunMode(TArchiveMode::amIncremental, dest, moveToDeleted);
        fs::remove_all(name);
        Make(name, "now a file", kFileTime + kHour);
        clock.Advance(2 * kHour);
        RunMode(TArchiveMode::amIncremental, dest, moveToDeleted);
    }
    // The contents of every file below the store.
    std::vector<std::string> Stored() const {
        std::vector<std::string> out;
        if (!fs::exists(store)) return out;
        for (const auto& e : fs::recursive_directory_iterator(store))
            if (e.is_regular_file()) out.push_back(ReadFile(e.path()));
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<std::string> Failures() const {
        std::vector<std::string> out;
        for (const LogEntryEvent& e : events->logs)
            if (e.isError) out.push_back(e.action + "|" + e.fileName + "|" + e.status);
        return out;
    }
};

TEST_F(ChangedTypeTest, AFileReplacedByAFolderGoesIntoTheStoreAndTheFolderIsCopied) {
    FileThenFolder(TArchiveMode::amIncremental, true);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(Mirror(name + "/a.txt")), "in the folder");
    EXPECT_EQ(Stored(), std::vector<std::string>{"old file"});
    EXPECT_EQ(Logs("Move To Deleted Files").size(), 1u);
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(ChangedTypeTest, WithoutTheStoreTheOldCopyIsReplacedAndTheLogSaysSo) {
    FileThenFolder(TArchiveMode::amIncremental);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(Mirror(name + "/a.txt")), "in the folder");
    const auto deleted = Logs("Delete File");
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].fileName, Mirror(name));
    // The next run has nothing left to mend.
    clock.Advance(2 * kHour);
    RunMode(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    EXPECT_TRUE(events->logs.empty());
}

TEST_F(ChangedTypeTest, ARunThatNeverOverwritesLeavesTheOldFileAndSaysWhy) {
    FileThenFolder(TArchiveMode::amOnlyNew);
    EXPECT_EQ(Failures(), std::vector<std::string>{
                              "Copy Folder|" + name + "/|Left alone: the backup holds a file at this folder's "
                              "name and this run never overwrites, so the folder is not backed up"});
    EXPECT_EQ(ReadFile(Mirror(name)), "old file");
}

TEST_F(ChangedTypeTest, AFolderReplacedByAFileGoesIntoTheStoreAndTheFileIsCopied) {
    FolderThenFile(true);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(Mirror(name)), "now a file");
    EXPECT_EQ(Stored(), std::vector<std::string>{"in the folder"});
}

TEST_F(ChangedTypeTest, WithoutTheStoreAFolderOfCopiesStaysAndTheFileIsNamedAsNotBackedUp) {
    FolderThenFile(false);
    EXPECT_EQ(Failures(), std::vector<std::string>{
                              "Copy File|" + name + "|Left alone: the backup holds a folder of earlier copies at "
                              "this file's name, which would be lost without the deleted-files store, so the "
                              "file is not backed up"});
    EXPECT_EQ(ReadFile(Mirror(name + "/a.txt")), "in the folder");
    EXPECT_FALSE(LastCopied(name));
}

TEST_F(ChangedTypeTest, AZipArchiveKeepsOnlyTheFolderThatReplacedAFile) {
    Make(name, "old file");
    RunZip(TArchiveMode::amIncremental, dest);
    fs::remove(name);
    Make(name + "/a.txt", "in the folder");
    clock.Advance(2 * kHour);
    RunZip(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    const auto entries = Entries(archive);
    EXPECT_EQ(entries.count(EntryOf(name)), 0u);
    EXPECT_EQ(ReadEntry(archive, EntryOf(name) + "/a.txt"), "in the folder");
    const auto removed = Logs("Remove From Zip");
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].fileName, archive + ": " + EntryOf(name));
}

TEST_F(ChangedTypeTest, AZipArchiveKeepsOnlyTheFileThatReplacedAFolder) {
    Make(name + "/a.txt", "in the folder");
    Make(name + "/deeper/b.txt", "deeper");
    RunZip(TArchiveMode::amIncremental, dest);
    fs::remove_all(name);
    Make(name, "now a file", kFileTime + kHour);
    clock.Advance(2 * kHour);
    RunZip(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    const auto entries = Entries(archive);
    EXPECT_EQ(ReadEntry(archive, EntryOf(name)), "now a file");
    EXPECT_EQ(entries.count(EntryOf(name) + "/a.txt"), 0u);
    EXPECT_EQ(entries.count(EntryOf(name) + "/deeper/b.txt"), 0u);
    EXPECT_EQ(Logs("Remove From Zip").size(), 2u);
}

} // namespace

// A completely-new backup whose archive folder is a drive's root (or holds the drive's Config
// folder) is refused before anything is deleted, for folder copies and zips; a zip backup deletes
// only the archives it wrote itself. Mounted drives are tmpfs volumes, skipped where refused.
#include "ZipFixture.h"

#include "core/drives/DriveRegistry.h"
#include "support/TmpfsMount.h"

#include <algorithm>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class DriveRootTest : public ZipFixture {
protected:
    // What the user keeps on the drive besides the backup, and the drive's own records.
    void FillDrive(const std::string& at) {
        Make(at + "Photos/2023/beach.jpg", "the only copy");
        Make(at + "holiday.zip", "the user's own archive");
        Make(at + "Root.Zip", "the user's file of that name");
        Make(DriveConfigFile(at).string(), "drive record");
        Make(at + "Config/Docs.Ubk", "job record");
    }
    void ExpectDriveUntouched(const std::string& at) {
        EXPECT_EQ(ReadFile(at + "Photos/2023/beach.jpg"), "the only copy");
        EXPECT_EQ(ReadFile(at + "holiday.zip"), "the user's own archive");
        EXPECT_EQ(ReadFile(at + "Root.Zip"), "the user's file of that name");
        EXPECT_EQ(ReadFile(DriveConfigFile(at)), "drive record");
        EXPECT_EQ(ReadFile(at + "Config/Docs.Ubk"), "job record");
        EXPECT_TRUE(storeRows.empty());
    }
    // The run was refused with one thread error naming the folder, copied nothing and did not
    // call itself finished.
    void ExpectRefused(const std::string& folder) {
        ASSERT_EQ(events->errors.size(), 1u) << folder;
        EXPECT_NE(events->errors[0].text.find(folder), std::string::npos) << events->errors[0].text;
        EXPECT_TRUE(Logs("Copy File").empty());
        EXPECT_TRUE(Logs("Zip File").empty());
        const auto history = History();
        ASSERT_FALSE(history.empty());
        EXPECT_EQ(history.back().Status, "Not Completed");
    }
};

TEST_F(DriveRootTest, ACopyIntoTheJobsDriveOrAboveItOrItsConfigIsRefused) {
    MakeTree();
    FillDrive(drive);
    for (const std::string& folder : {drive, root, drive + "Config/"}) {
        RunMode(TArchiveMode::amCompletelyNew, folder, /*moveToDeleted=*/true);
        ExpectRefused(folder);
        ExpectDriveUntouched(drive);
        EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
        EXPECT_FALSE(Exists(folder + source.substr(1)));
    }
}

TEST_F(DriveRootTest, ACopyIntoTheJobsDriveIsRefusedWithoutTheDrivesRecordToo) {
    MakeTree();
    FillDrive(drive);
    fs::remove(DriveConfigFile(drive));
    RunMode(TArchiveMode::amCompletelyNew, drive);
    ExpectRefused(drive);
    EXPECT_EQ(ReadFile(drive + "Photos/2023/beach.jpg"), "the only copy");
    EXPECT_EQ(ReadFile(drive + "Config/Docs.Ubk"), "job record");
}

TEST_F(DriveRootTest, AMountedDrivesRootIsRefusedForCopiesAndZips) {
    TmpfsMount stick(drive, "8m");
    DRIVLET_REQUIRE_MOUNT(stick);
    MakeTree();
    FillDrive(drive);
    RunMode(TArchiveMode::amCompletelyNew, drive, /*moveToDeleted=*/true);
    ExpectRefused(drive);
    ExpectDriveUntouched(drive);

    RunZip(TArchiveMode::amCompletelyNew, drive);
    ExpectRefused(drive);
    ExpectDriveUntouched(drive);
}

TEST_F(DriveRootTest, AnotherVolumesRootIsRefusedThoughTheJobLivesElsewhere) {
    const std::string disk = root + "media/alice/DISK/";
    TmpfsMount volume(disk, "8m");
    DRIVLET_REQUIRE_MOUNT(volume);
    MakeTree();
    Make(disk + "Films/film.mkv", "a film");
    RunMode(TArchiveMode::amCompletelyNew, disk, /*moveToDeleted=*/true);
    ExpectRefused(disk);
    EXPECT_EQ(ReadFile(disk + "Films/film.mkv"), "a film");
    // Below the root the same volume is an ordinary backup folder.
    RunMode(TArchiveMode::amCompletelyNew, disk + "Backup/");
    EXPECT_TRUE(events->errors.empty());
    EXPECT_EQ(ReadFile(disk + "Backup/" + source.substr(1) + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(disk + "Films/film.mkv"), "a film");
}

TEST_F(DriveRootTest, AZipDeletesOnlyTheArchivesItWroteItself) {
    MakeTree();
    Make(dest + "holiday.zip", "the user's own archive");
    Make(dest + "D.Zip", "looks like ours, is not");
    RunZip(TArchiveMode::amCompletelyNew, dest);
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_EQ(Entries(archive).size(), 3u);

    fs::remove(source + "sub/b.txt");
    clock.Advance(kHour);
    RunZip(TArchiveMode::amCompletelyNew, dest);
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_TRUE(events->errors.empty());
    EXPECT_EQ(ReadFile(dest + "holiday.zip"), "the user's own archive");
    EXPECT_EQ(ReadFile(dest + "D.Zip"), "looks like ours, is not");
    // Our archive was deleted and written again: what left the sources left it too.
    const auto entries = Entries(archive);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count(EntryOf(source + "sub/b.txt")), 0u);
}

TEST_F(DriveRootTest, AnArchiveOfOurNameThatWasThereBeforeIsNeverDeleted) {
    MakeTree();
    // The user's own zip happens to have the name the backup uses.
    const std::string mine = Make(root + "mine.txt", "the user's entry");
    {
        fs::create_directories(dest);
        ZipWriter writer;
        ASSERT_TRUE(writer.Open(archive));
        ASSERT_TRUE(writer.AddFile(mine, "mine.txt"));
        ASSERT_TRUE(writer.Close());
    }
    RunZip(TArchiveMode::amIncremental, dest);
    clock.Advance(kHour);
    RunZip(TArchiveMode::amCompletelyNew, dest);
    EXPECT_EQ(ReadEntry(archive, "mine.txt"), "the user's entry");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha");
}

} // namespace

// A stick whose backup folder is a link to the user's documents: the run neither empties nor
// fills them, and says which link it did not follow.
TEST_F(DriveRootTest, ABackupFolderLinkedOffTheDriveIsNeitherEmptiedNorFilled) {
    MakeTree();
    const std::string documents = root + "home/alice/Documents/";
    Make(documents + "precious.txt", "tax papers");
    fs::create_directories(drive + "Config");
    fs::create_directory_symlink(documents, drive + "Backup");
    const auto expectDocumentsUntouched = [&] {
        EXPECT_EQ(ReadFile(documents + "precious.txt"), "tax papers");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(documents))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"precious.txt"});
    };
    const auto namesTheLink = [&] {
        const std::string named = "Link leads off the drive: " + drive + "Backup";
        bool found = false;
        for (const auto& e : events->logs)
            found = found || (e.isError && e.status.find(named) != std::string::npos);
        for (const auto& e : events->errors)
            found = found || e.text.find(named) != std::string::npos;
        return found;
    };
    RunMode(TArchiveMode::amCompletelyNew, dest, /*moveToDeleted=*/false);
    expectDocumentsUntouched();
    EXPECT_TRUE(namesTheLink());
    EXPECT_TRUE(Logs("Delete File").empty());

    RunZip(TArchiveMode::amCompletelyNew, dest);
    expectDocumentsUntouched();
    EXPECT_TRUE(namesTheLink());
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
}

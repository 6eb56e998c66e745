// Restores where the backup and the computer disagree about whether a name is a file or a
// folder: an archive that holds both (as older backups wrote), a folder of the user's where the
// backup has a file, and a file where the backup has a folder. None of them fails the restore.
#include "RestoreFixture.h"

#include <zip.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class ChangedTypeRestoreTest : public RestoreFixture {
protected:
    std::vector<std::string> Failures() const {
        std::vector<std::string> out;
        for (const LogEntryEvent& e : events->logs)
            if (e.isError) out.push_back(e.action + "|" + e.fileName + "|" + e.status);
        return out;
    }
    std::vector<std::string> Stored() const {
        std::vector<std::string> out;
        if (!fs::exists(store)) return out;
        for (const auto& e : fs::recursive_directory_iterator(store))
            if (e.is_regular_file()) out.push_back(ReadFile(e.path()));
        std::sort(out.begin(), out.end());
        return out;
    }
    // A folder backup of x as a file, then the user's folder x in its place.
    void FileInBackupFolderAtHome(bool moveToDeleted) {
        Make(source + "x", "backed-up file");
        RunMode(TArchiveMode::amIncremental, dest);
        fs::remove(source + "x");
        Make(source + "x/mine.txt", "the user's new file");
        auto job = MakeRestore<TRestoreFolderThread>(dest, {}, moveToDeleted);
        job->SetFolderList({dest + EntryOf(source)});
        RunJob(*job);
    }
};

TEST_F(ChangedTypeRestoreTest, AnArchiveHoldingAFileAndAFolderOfOneNameRestoresWithoutFailing) {
    const std::string backup = root + "Old/";
    fs::create_directories(backup);
    int error = 0;
    zip_t* z = zip_open((backup + "Root.Zip").c_str(), ZIP_CREATE, &error);
    ASSERT_NE(z, nullptr);
    const std::string file = "once a file";
    const std::string inside = "now in a folder";
    ASSERT_GE(zip_file_add(z, "x", zip_source_buffer(z, file.data(), file.size(), 0), 0), 0);
    ASSERT_GE(zip_file_add(z, "x/a.txt", zip_source_buffer(z, inside.data(), inside.size(), 0), 0), 0);
    ASSERT_EQ(zip_close(z), 0);
    Record("/x");
    Record("/x/a.txt");

    const std::string out = root + "Out/";
    auto job = MakeRestore<TRestoreZipThread>(backup, out);
    job->SetFolderList({backup + "Root.Zip"});
    RunJob(*job);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(out + "x/a.txt"), inside);
    EXPECT_EQ(LastStatus(), " Finished !");
}

TEST_F(ChangedTypeRestoreTest, AUsersFolderAtABackedUpFilesNameStaysAndTheLineSaysWhy) {
    FileInBackupFolderAtHome(true);
    EXPECT_EQ(Failures(), std::vector<std::string>{
                              "Copy File|" + dest + EntryOf(source) + "x|Left alone: a folder stands at the "
                              "file's name and is not the backup's to replace, so the file is not restored"});
    EXPECT_EQ(ReadFile(source + "x/mine.txt"), "the user's new file");
    EXPECT_TRUE(Stored().empty());
}

TEST_F(ChangedTypeRestoreTest, AFileAtABackedUpFoldersNameMakesWayForTheFolder) {
    Make(source + "x/a.txt", "in the folder");
    RunZip(TArchiveMode::amIncremental, dest);
    RunMode(TArchiveMode::amIncremental, root + "Plain/");
    fs::remove_all(source + "x");
    Make(source + "x", "the user's file");

    auto zipped = MakeRestore<TRestoreZipThread>(dest, {}, true);
    zipped->SetFolderList({dest + "Root.Zip"});
    RunJob(*zipped);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(source + "x/a.txt"), "in the folder");
    EXPECT_EQ(Stored(), std::vector<std::string>{"the user's file"});

    fs::remove_all(source + "x");
    Make(source + "x", "the user's file again");
    auto plain = MakeRestore<TRestoreFolderThread>(root + "Plain/");
    plain->SetFolderList({root + "Plain/" + EntryOf(source)});
    RunJob(*plain);
    EXPECT_EQ(Failures(), std::vector<std::string>{});
    EXPECT_EQ(ReadFile(source + "x/a.txt"), "in the folder");
}

} // namespace

// Links on a drive never lead the file service off it: a service anchored at a drive refuses
// every path whose way goes through a link pointing elsewhere (absolute or with ".."), naming the
// link, and changes nothing outside; links that stay on the drive still work.
#include "files/FileTestSupport.h"
#include "platform/linux/DriveAnchor.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class DriveLinks : public test::FileServiceTest {
protected:
    const fs::path home = dir / "home";
    const fs::path documents = home / "Documents";
    const std::string drive = (dir / "STICK").string() + "/";
    std::unique_ptr<IFileSystem> stick;

    void SetUp() override {
        fs::create_directories(documents);
        fs::create_directories(drive + "real");
        WriteFile(documents / "precious.txt", "tax papers");
        WriteFile(home / "source.txt", "from the computer");
        // The crafted stick: one absolute link, one relative one climbing out, one leaf link,
        // and one link that stays on the drive.
        fs::create_directory_symlink(documents, drive + "Backups");
        fs::create_directory_symlink("../home", drive + "Up");
        fs::create_symlink(documents / "precious.txt", drive + "notes.txt");
        fs::create_directory_symlink("real", drive + "alias");
        stick = files.AnchoredAt(drive);
        ASSERT_NE(stick, nullptr);
    }

    static void ExpectNamesLink(const FileStatus& status, const std::string& link) {
        EXPECT_FALSE(status.ok());
        EXPECT_NE(status.message().find("Link leads off the drive: " + link), std::string::npos)
            << status.message();
    }
    void ExpectHomeUntouched() const {
        EXPECT_EQ(ReadFile(documents / "precious.txt"), "tax papers");
        EXPECT_EQ(test::NamesIn(documents), std::vector<std::string>{"precious.txt"});
    }
};

TEST_F(DriveLinks, WritesAndDeletionsThroughALinkOffTheDriveAreRefusedNamingIt) {
    for (const std::string& link : {drive + "Backups", drive + "Up"}) {
        const std::string inside = link == drive + "Up" ? link + "/Documents" : link;
        SCOPED_TRACE(inside);
        ExpectNamesLink(stick->DeleteFile(inside + "/precious.txt"), link);
        ExpectNamesLink(stick->CopyFile(home / "source.txt", inside + "/copy.txt", CopyMode::Overwrite),
                        link);
        ExpectNamesLink(stick->MoveFile(home / "source.txt", inside + "/moved.txt", CopyMode::Overwrite),
                        link);
        ExpectNamesLink(stick->CreateFolders(inside + "/new/deeper"), link);
        ExpectNamesLink(stick->SetFileTime(inside + "/precious.txt", 0), link);
        EXPECT_FALSE(stick->SetAttributes(inside + "/precious.txt", fa::ReadOnly));
        ExpectNamesLink(stick->ListFolder(inside, [](const FolderEntry&) { return true; }), link);
        FileStatus locked;
        EXPECT_EQ(stick->TryLock(inside + "/job.lock", locked), nullptr);
        ExpectNamesLink(locked, link);
        ExpectNamesLink(stick->Reach(inside + "/archive.zip"), link);
        EXPECT_EQ(stick->SystemPath(inside + "/archive.zip"), "");
        EXPECT_EQ(stick->FileTime(inside + "/precious.txt"), 0);
        EXPECT_EQ(stick->FileSize(inside + "/precious.txt"), -1);
        ExpectHomeUntouched();
        EXPECT_EQ(ReadFile(home / "source.txt"), "from the computer");
    }
    // A path that climbs out by itself is refused as well.
    EXPECT_FALSE(
        stick->CopyFile(home / "source.txt", drive + "../home/Documents/x.txt", CopyMode::Overwrite).ok());
    ExpectHomeUntouched();
}

TEST_F(DriveLinks, ALinkAtTheEndIsNeitherReadNorWrittenThrough) {
    // Read: a restore or a sync from the drive would carry the computer's file elsewhere.
    const fs::path target = home / "restored.txt";
    ExpectNamesLink(stick->CopyFile(drive + "notes.txt", target, CopyMode::Overwrite), drive + "notes.txt");
    EXPECT_FALSE(fs::exists(target));
    ExpectNamesLink(stick->SetFileTime(drive + "notes.txt", 0), drive + "notes.txt");
    EXPECT_FALSE(stick->SetAttributes(drive + "notes.txt", fa::ReadOnly));
    struct stat st {};
    ASSERT_EQ(::stat((documents / "precious.txt").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    EXPECT_EQ(stick->FileTime(drive + "notes.txt"), 0);
    // Written: the link is replaced by the copy, and deleted as a link.
    ASSERT_TRUE(stick->CopyFile(home / "source.txt", drive + "notes.txt", CopyMode::Overwrite).ok());
    EXPECT_EQ(ReadFile(drive + "notes.txt"), "from the computer");
    EXPECT_FALSE(fs::is_symlink(drive + "notes.txt"));
    fs::create_symlink(documents / "precious.txt", drive + "again.txt");
    ASSERT_TRUE(stick->DeleteFile(drive + "again.txt").ok());
    ExpectHomeUntouched();
}

TEST_F(DriveLinks, LinksThatStayOnTheDriveAndPlainPathsWork) {
    ASSERT_TRUE(stick->CreateFolders(drive + "alias/a/b").ok());
    ASSERT_TRUE(stick->CopyFile(home / "source.txt", drive + "alias/a/b/c.txt", CopyMode::FailIfExists).ok());
    EXPECT_EQ(ReadFile(drive + "real/a/b/c.txt"), "from the computer");
    EXPECT_EQ(stick->FileSize(drive + "alias/a/b/c.txt"), 17);
    ASSERT_TRUE(stick->CopyFile(drive + "alias/a/b/c.txt", home / "back.txt", CopyMode::FailIfExists).ok());
    EXPECT_EQ(ReadFile(home / "back.txt"), "from the computer");
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(stick->ReadFolder(drive + "real/a/b", entries).ok());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "c.txt");
    EXPECT_TRUE(stick->Reach(drive + "alias/a/b/c.txt").ok());
    EXPECT_NE(stick->SystemPath(drive + "real/a/b/c.txt"), "");
    FileStatus locked;
    {
        auto lock = stick->TryLock(drive + "real/job.lock", locked);
        ASSERT_NE(lock, nullptr) << locked.message();
        EXPECT_TRUE(fs::exists(drive + "real/job.lock"));
    }
    EXPECT_FALSE(fs::exists(drive + "real/job.lock"));
    ASSERT_TRUE(stick->MoveFile(drive + "real/a/b/c.txt", drive + "real/c.txt", CopyMode::FailIfExists).ok());
    ASSERT_TRUE(stick->DeleteFile(drive + "real/c.txt").ok());
    ASSERT_TRUE(stick->RemoveFolder(drive + "real/a/b").ok());
    EXPECT_GT(stick->GetDiskSpace(drive + "real/not/yet/made").totalBytes, 0);
    EXPECT_TRUE(stick->CanWriteIn(drive + "real"));
    EXPECT_FALSE(stick->CanWriteIn(drive + "Backups"));
    ExpectHomeUntouched();
}

// Where the kernel cannot resolve beneath a handle, the walk refuses every link and every climb.
TEST_F(DriveLinks, TheWalkWithoutTheKernelsHelpRefusesEveryLinkAndClimb) {
    Fd root(::open(drive.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(root);
    WriteFile(drive + "real/deep/file.txt", "on the drive");
    const auto walk = [&](const std::string& relative, int flags) {
        errno = 0;
        Fd fd(WalkBeneath(root.get(), relative, flags | O_CLOEXEC));
        return fd ? 0 : errno;
    };
    EXPECT_EQ(walk("real/deep/file.txt", O_RDONLY), 0);
    EXPECT_EQ(walk("real/deep", O_PATH | O_DIRECTORY), 0);
    EXPECT_EQ(walk("", O_PATH | O_DIRECTORY), 0);
    EXPECT_EQ(walk("real/missing.txt", O_RDONLY), ENOENT);
    for (const std::string& refused :
         {"Backups/precious.txt", "Up/Documents", "notes.txt", "alias/deep", "real/../../home", ".."}) {
        EXPECT_EQ(walk(refused, O_RDONLY), EXDEV) << refused;
        EXPECT_EQ(walk(refused, O_PATH), EXDEV) << refused;
    }
}

} // namespace
} // namespace drivlet

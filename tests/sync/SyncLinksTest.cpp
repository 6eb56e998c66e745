// Whole sync runs where a sub-folder of one side became a symbolic link, to a folder outside the
// tree or to nothing, or a file became a FIFO: what is behind the name is left alone on both
// sides, with a line.
#include "SyncRunSupport.h"

#include <sys/stat.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncLinksTest : public SyncRunFixture {
protected:
    // keep.txt and Sub/x.txt equal on both sides and recorded.
    void SetUp() override {
        Make(drive + "Docs/keep.txt", "keep", Day(1));
        Make(drive + "Docs/Sub/x.txt", "x", Day(1));
        Bidi();
        ASSERT_EQ(ReadFile(pc + "Docs/Sub/x.txt"), "x");
        ASSERT_TRUE(hooked.logs.size() == 2 && hooked.errors.empty());
    }

    // Sub of the side at `root` becomes a link to `target`.
    static void LinkInPlaceOfSub(const std::string& root, const fs::path& target) {
        fs::remove_all(root + "Docs/Sub");
        fs::create_directory_symlink(target, root + "Docs/Sub");
    }

    // A folder outside both trees with a changed x.txt and a file the other side never had.
    fs::path Elsewhere(const std::string& name) {
        const fs::path folder = dir / name;
        Make((folder / "x.txt").string(), "x elsewhere", Day(3));
        Make((folder / "y.txt").string(), "y elsewhere", Day(3));
        return folder;
    }

    // The run left the other side's Sub as it was, touched nothing behind the link, and said why.
    void ExpectLeftAlone(const std::string& linkSide, const std::string& otherSide, const fs::path& target) {
        EXPECT_TRUE(hooked.errors.empty());
        EXPECT_EQ(ReadFile(otherSide + "Docs/Sub/x.txt"), "x");
        EXPECT_FALSE(Exists(otherSide + "Docs/Sub/y.txt"));
        EXPECT_EQ(ReadFile(otherSide + "Docs/keep.txt"), "keep");
        EXPECT_FALSE(Exists(target / "z.txt"));
        ASSERT_EQ(hooked.logs.size(), 1u);
        EXPECT_TRUE(hooked.logs[0].isError);
        EXPECT_TRUE(hooked.logs[0].fileName.starts_with(linkSide + "Docs/Sub")) << hooked.logs[0].fileName;
        EXPECT_NE(hooked.logs[0].status.find("Left alone"), std::string::npos);
        EXPECT_EQ(LastStatus(), "Finished !");
    }
};

} // namespace

TEST_F(SyncLinksTest, AComputerSubFolderLinkedOutsideTheTreeIsLeftAloneOnBothSides) {
    const fs::path target = Elsewhere("elsewhere");
    LinkInPlaceOfSub(pc, target);
    Make(drive + "Docs/Sub/z.txt", "new on the drive", Day(2)); // must not land behind the link
    auto thread = Bidi();
    ExpectLeftAlone(pc, drive, target);
    EXPECT_EQ(ReadFile(target / "x.txt"), "x elsewhere");
    EXPECT_EQ(thread->Counters().FilesTotal, 0);
    EXPECT_EQ(hooked.logs[0].fileName, pc + "Docs/Sub/");
}

TEST_F(SyncLinksTest, ADriveSubFolderLinkedOutsideTheTreeIsLeftAloneOnBothSides) {
    const fs::path target = Elsewhere("drive-elsewhere");
    LinkInPlaceOfSub(drive, target);
    Make(pc + "Docs/Sub/z.txt", "new on the computer", Day(2));
    Bidi();
    ExpectLeftAlone(drive, pc, target);
    EXPECT_EQ(ReadFile(target / "x.txt"), "x elsewhere");
    EXPECT_EQ(ReadFile(pc + "Docs/Sub/z.txt"), "new on the computer");
}

TEST_F(SyncLinksTest, ALinkToAFolderThatIsNotThereIsLeftAlone) {
    LinkInPlaceOfSub(pc, dir / "not-mounted");
    Bidi();
    ExpectLeftAlone(pc, drive, dir / "not-mounted");
    EXPECT_EQ(hooked.logs[0].fileName, pc + "Docs/Sub");
    // A drive file of the link's name is left alone too.
    fs::remove_all(drive + "Docs/Sub");
    Make(drive + "Docs/Sub", "a file now", Day(4));
    Bidi();
    EXPECT_EQ(ReadFile(drive + "Docs/Sub"), "a file now");
    EXPECT_TRUE(fs::is_symlink(pc + "Docs/Sub"));
    // No copy was even tried over the link.
    ASSERT_EQ(hooked.logs.size(), 1u);
    EXPECT_EQ(hooked.logs[0].fileName, pc + "Docs/Sub");
}

TEST_F(SyncLinksTest, AFifoInPlaceOfARecordedFileIsLeftAloneOnBothSides) {
    fs::remove(pc + "Docs/keep.txt");
    ASSERT_EQ(::mkfifo((pc + "Docs/keep.txt").c_str(), 0644), 0);
    Bidi();
    EXPECT_TRUE(hooked.errors.empty());
    EXPECT_EQ(ReadFile(drive + "Docs/keep.txt"), "keep");
    EXPECT_TRUE(fs::is_fifo(pc + "Docs/keep.txt"));
    ASSERT_EQ(hooked.logs.size(), 1u);
    EXPECT_TRUE(hooked.logs[0].isError);
    EXPECT_EQ(hooked.logs[0].fileName, pc + "Docs/keep.txt");
    EXPECT_EQ(hooked.logs[0].status,
              "Left alone : a FIFO is not a regular file, nothing of this name is synced on either side");
}

// The job's own folder on the drive is a link to the user's documents: both sides stay as they
// were, and the line names the link.
TEST_F(SyncLinksTest, ADriveSyncFolderLinkedOffTheDriveIsNeitherReadNorWritten) {
    const fs::path documents = dir / "home" / "Documents";
    Make((documents / "precious.txt").string(), "tax papers", Day(1));
    Make(pc + "Docs/new.txt", "new on the computer", Day(2));
    fs::rename(drive + "Docs", dir / "old-docs");
    fs::create_directory_symlink(documents, drive + "Docs");
    for (const TSyncDirection direction :
         {TSyncDirection::sdBidi, TSyncDirection::sdPCToUSB, TSyncDirection::sdUSBToPC}) {
        Run(direction, TSyncDefaultAction::sdaNewVersion);
        EXPECT_EQ(ReadFile(documents / "precious.txt"), "tax papers");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(documents))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"precious.txt"});
        EXPECT_EQ(ReadFile(pc + "Docs/keep.txt"), "keep");
        EXPECT_EQ(ReadFile(pc + "Docs/Sub/x.txt"), "x");
        EXPECT_FALSE(Exists(pc + "Docs/precious.txt"));
        bool named = false;
        for (const auto& line : hooked.logs)
            named =
                named || line.status.find("Link leads off the drive: " + drive + "Docs") != std::string::npos;
        for (const auto& error : hooked.errors)
            named =
                named || error.text.find("Link leads off the drive: " + drive + "Docs") != std::string::npos;
        EXPECT_TRUE(named);
    }
}

// A name that is a file on one side and a folder on the other: neither can be copied over the
// other without losing it, so both are left as they are, with a log line naming both, until the
// user keeps one of them.
#include "SyncRunSupport.h"

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncTypeClashTest : public SyncRunFixture {
protected:
    std::vector<LogEntryEvent> Clashes() const {
        std::vector<LogEntryEvent> found;
        for (const LogEntryEvent& log : hooked.logs)
            if (log.status.find("of the same name on the USB drive") != std::string::npos)
                found.push_back(log);
        return found;
    }
    int ChangedDuringTheSync() const {
        int n = 0;
        for (const LogEntryEvent& log : hooked.logs)
            n += log.status.find("changed during the sync") != std::string::npos;
        return n;
    }
};

} // namespace

TEST_F(SyncTypeClashTest, AFileOnTheDriveAndAFolderOnTheComputerAreLeftAloneEveryRun) {
    Make(drive + "Docs/x", "a file on the drive", Day(1));
    Make(pc + "Docs/x/inside.txt", "in the computer's folder", Day(1));
    Make(drive + "Docs/other.txt", "other", Day(1));
    for (int run = 0; run < 2; ++run) {
        auto thread = Bidi();
        EXPECT_EQ(ReadFile(drive + "Docs/x"), "a file on the drive");
        EXPECT_EQ(ReadFile(pc + "Docs/x/inside.txt"), "in the computer's folder");
        EXPECT_EQ(ChangedDuringTheSync(), 0);
        const auto clashes = Clashes();
        ASSERT_EQ(clashes.size(), 1u) << run;
        EXPECT_EQ(clashes[0].fileName, pc + "Docs/x/");
        EXPECT_TRUE(clashes[0].isError);
        EXPECT_NE(clashes[0].status.find("a folder here"), std::string::npos);
        EXPECT_NE(clashes[0].status.find(drive + "Docs/x"), std::string::npos);
        EXPECT_EQ(Pair(*thread, "x"), nullptr);
        EXPECT_EQ(Pair(*thread, "inside.txt"), nullptr);
    }
    // The rest of the pair is synced as usual.
    EXPECT_EQ(ReadFile(pc + "Docs/other.txt"), "other");

    // Settled: the drive's file moved away, the folder follows.
    fs::rename(drive + "Docs/x", drive + "Docs/x.old");
    Bidi();
    EXPECT_TRUE(Clashes().empty());
    EXPECT_EQ(ReadFile(drive + "Docs/x/inside.txt"), "in the computer's folder");
    EXPECT_EQ(ReadFile(pc + "Docs/x.old"), "a file on the drive");
}

TEST_F(SyncTypeClashTest, AFolderOnTheDriveAndAFileOnTheComputerAreLeftAloneInEitherDirection) {
    Make(drive + "Docs/y/deep/inside.txt", "in the drive's folder", Day(1));
    Make(pc + "Docs/y", "a file on the computer", Day(1));
    for (auto direction : {TSyncDirection::sdUSBToPC, TSyncDirection::sdPCToUSB, TSyncDirection::sdBidi}) {
        auto thread = Run(direction, TSyncDefaultAction::sdaNewVersion);
        EXPECT_EQ(ReadFile(pc + "Docs/y"), "a file on the computer");
        EXPECT_EQ(ReadFile(drive + "Docs/y/deep/inside.txt"), "in the drive's folder");
        EXPECT_EQ(thread->GetFilePairs().Count(), 0u);
        const auto clashes = Clashes();
        ASSERT_EQ(clashes.size(), 1u);
        EXPECT_EQ(clashes[0].fileName, pc + "Docs/y");
        EXPECT_NE(clashes[0].status.find("a file here"), std::string::npos);
    }
}

TEST_F(SyncTypeClashTest, AFileReplacedByAFolderAfterASyncLosesNothing) {
    Make(drive + "Docs/report", "the synced report", Day(1));
    Bidi();
    ASSERT_EQ(ReadFile(pc + "Docs/report"), "the synced report");
    fs::remove(pc + "Docs/report");
    Make(pc + "Docs/report/chapter1.txt", "chapter", Day(2));
    Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, WithStore());
    EXPECT_EQ(ReadFile(drive + "Docs/report"), "the synced report");
    EXPECT_EQ(ReadFile(pc + "Docs/report/chapter1.txt"), "chapter");
    EXPECT_EQ(Clashes().size(), 1u);
    EXPECT_TRUE(storeRows.empty());
}

TEST_F(SyncTypeClashTest, AFilePairWithAFolderOnOneSideIsLeftAlone) {
    Make(drive + "Notes/n.txt", "note on the drive", Day(1));
    Make(pc + "Home/n.txt/inside.txt", "a folder on the computer", Day(1));
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
        t.FileItems.AddItem("/Notes/n.txt", pc + "Home/n.txt", false);
    });
    EXPECT_EQ(ReadFile(drive + "Notes/n.txt"), "note on the drive");
    EXPECT_EQ(ReadFile(pc + "Home/n.txt/inside.txt"), "a folder on the computer");
    EXPECT_EQ(ChangedDuringTheSync(), 0);
    const auto clashes = Clashes();
    ASSERT_EQ(clashes.size(), 1u);
    EXPECT_EQ(clashes[0].fileName, pc + "Home/n.txt/");
}

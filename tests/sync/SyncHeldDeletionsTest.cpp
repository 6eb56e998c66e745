// Whole sync runs over a folder pair one side of which lost every file recorded there: new files
// and changes travel, the deletions wait for the user's word, run after run, and a missing root
// still skips the pair.
#include "SyncRunSupport.h"
#include "support/TmpfsMount.h"

#include <set>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncHeldDeletionsTest : public SyncRunFixture {
protected:
    // a.txt and b.txt equal on both sides and recorded.
    void SyncedOnce() {
        Make(drive + "Docs/a.txt", "a", Day(1));
        Make(pc + "Docs/b.txt", "b", Day(1));
        Bidi();
        ASSERT_EQ(LastStatus(), "Finished !");
        ASSERT_TRUE(Exists(pc + "Docs/a.txt"));
        ASSERT_TRUE(Exists(drive + "Docs/b.txt"));
    }

    // The files of the held log lines, with a check of their shape.
    std::set<std::string> HeldLines(const std::string& folder) const {
        std::set<std::string> held;
        for (const LogEntryEvent& e : hooked.logs) {
            if (e.status.find("Held back") == std::string::npos) continue;
            EXPECT_TRUE(e.isError) << e.fileName;
            EXPECT_EQ(e.action, "Delete File");
            EXPECT_NE(e.status.find(folder), std::string::npos) << e.status;
            EXPECT_NE(e.status.find("allowed"), std::string::npos) << e.status;
            held.insert(e.fileName);
        }
        return held;
    }

    std::optional<char> HeldSide() {
        SyncDatabase db(database);
        return db.HeldSide("/Docs/", pc + "Docs/");
    }
};

} // namespace

TEST_F(SyncHeldDeletionsTest, EverythingDeletedOnTheComputerHoldsTheDeletionsWhileNewFilesTravel) {
    SyncedOnce();
    const auto before = RecordOf("a.txt");
    fs::remove(pc + "Docs/a.txt");
    fs::remove(pc + "Docs/b.txt");
    Make(pc + "Docs/from-pc.txt", "p", Day(2));
    Make(drive + "Docs/from-drive.txt", "d", Day(2));
    auto thread = Bidi();

    EXPECT_TRUE(hooked.errors.empty());
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "a");
    EXPECT_EQ(ReadFile(drive + "Docs/b.txt"), "b");
    EXPECT_EQ(ReadFile(drive + "Docs/from-pc.txt"), "p");
    EXPECT_EQ(ReadFile(pc + "Docs/from-drive.txt"), "d");
    EXPECT_FALSE(Exists(pc + "Docs/a.txt")); // not undone by a copy back either
    ASSERT_EQ(prompt.deletionQuestions.size(), 1u);
    EXPECT_EQ(prompt.deletionQuestions[0].folders, std::vector<std::string>{pc + "Docs/"});
    EXPECT_EQ(prompt.deletionQuestions[0].count, 2u);
    EXPECT_EQ(HeldLines(pc + "Docs/"), (std::set<std::string>{drive + "Docs/a.txt", drive + "Docs/b.txt"}));
    EXPECT_EQ(thread->Counters().FilesTotal, 2);
    EXPECT_EQ(LastStatus(), "Finished !");
    const auto after = RecordOf("a.txt");
    ASSERT_TRUE(before && after);
    EXPECT_EQ(after->DateFolderA, before->DateFolderA);
    EXPECT_EQ(after->DateFolderB, before->DateFolderB);

    // The computer now holds a synced file again, yet the same deletions are held again.
    prompt.deletionQuestions.clear();
    Bidi();
    ASSERT_EQ(prompt.deletionQuestions.size(), 1u);
    EXPECT_EQ(prompt.deletionQuestions[0].count, 2u);
    EXPECT_EQ(HeldLines(pc + "Docs/").size(), 2u);
    EXPECT_TRUE(Exists(drive + "Docs/a.txt"));
    EXPECT_EQ(HeldSide(), 'B');

    // Allowed: carried out, and the pair is over its emptied state.
    prompt.allowDeletions = true;
    Bidi();
    EXPECT_FALSE(Exists(drive + "Docs/a.txt"));
    EXPECT_FALSE(Exists(drive + "Docs/b.txt"));
    EXPECT_TRUE(Exists(drive + "Docs/from-drive.txt"));
    EXPECT_TRUE(HeldLines(pc + "Docs/").empty());
    EXPECT_FALSE(HeldSide());
    prompt.deletionQuestions.clear();
    prompt.allowDeletions = false;
    Bidi();
    EXPECT_TRUE(prompt.deletionQuestions.empty());
    EXPECT_TRUE(hooked.logs.empty());
}

// The folder holds its files again, but one of them was deleted meanwhile: the hold is over, and
// that deletion is an ordinary one, said and carried out at once.
TEST_F(SyncHeldDeletionsTest, TheHoldEndsOnceTheFolderHoldsItsFilesAgainEvenWithOneDeleted) {
    SyncedOnce();
    fs::rename(pc + "Docs/a.txt", dir / "a.txt");
    fs::rename(pc + "Docs/b.txt", dir / "b.txt");
    Bidi();
    ASSERT_EQ(HeldSide(), 'B');
    ASSERT_EQ(HeldLines(pc + "Docs/").size(), 2u);

    fs::rename(dir / "a.txt", pc + "Docs/a.txt");
    prompt.deletionQuestions.clear();
    Bidi();
    EXPECT_FALSE(HeldSide());
    EXPECT_TRUE(HeldLines(pc + "Docs/").empty());
    EXPECT_TRUE(prompt.deletionQuestions.empty());
    EXPECT_FALSE(Exists(drive + "Docs/b.txt"));
    EXPECT_TRUE(Exists(drive + "Docs/a.txt"));
    EXPECT_EQ(LastStatus(), "Finished !");
}

// pc/Docs/Photos is a volume of its own; synced, then not mounted at the next run: its files only
// look deleted, so the drive's copies are held back like those of an emptied root, until the
// volume is back or the deletions are allowed.
TEST_F(SyncHeldDeletionsTest, AVolumeMountedInsideTheFolderAndNotMountedNowHoldsItsDeletions) {
    Make(pc + "Docs/letter.txt", "l", Day(1));
    Make(pc + "Docs/old.txt", "o", Day(1));
    {
        TmpfsMount photos(pc + "Docs/Photos", "4m");
        DRIVLET_REQUIRE_MOUNT(photos);
        Make(pc + "Docs/Photos/cat.jpg", "cat", Day(1));
        Make(pc + "Docs/Photos/dog.jpg", "dog", Day(1));
        Bidi();
        ASSERT_EQ(ReadFile(drive + "Docs/Photos/cat.jpg"), "cat");
    }
    // Not mounted: the folder is empty.
    fs::remove(pc + "Docs/old.txt");
    Bidi();
    EXPECT_EQ(ReadFile(drive + "Docs/Photos/cat.jpg"), "cat");
    EXPECT_EQ(ReadFile(drive + "Docs/Photos/dog.jpg"), "dog");
    EXPECT_FALSE(Exists(drive + "Docs/old.txt")) << "a deletion outside the volume is carried out";
    EXPECT_TRUE(Exists(drive + "Docs/letter.txt"));
    EXPECT_EQ(HeldLines(pc + "Docs/Photos/"),
              (std::set<std::string>{drive + "Docs/Photos/cat.jpg", drive + "Docs/Photos/dog.jpg"}));
    ASSERT_EQ(prompt.deletionQuestions.size(), 1u);
    EXPECT_EQ(prompt.deletionQuestions[0].folders, std::vector<std::string>{pc + "Docs/Photos/"});
    EXPECT_FALSE(HeldSide()) << "the root itself is not emptied";

    // Held at the next run too, until allowed.
    prompt.deletionQuestions.clear();
    Bidi();
    EXPECT_EQ(HeldLines(pc + "Docs/Photos/").size(), 2u);
    prompt.allowDeletions = true;
    Bidi();
    EXPECT_FALSE(Exists(drive + "Docs/Photos/cat.jpg"));
    prompt.allowDeletions = false;
    prompt.deletionQuestions.clear();
    Bidi();
    EXPECT_TRUE(prompt.deletionQuestions.empty());
    EXPECT_TRUE(hooked.logs.empty());
}

TEST_F(SyncHeldDeletionsTest, EverythingMovedIntoANewSubFolderCopiesTheNewPlaceAndHoldsTheOld) {
    SyncedOnce();
    fs::create_directories(pc + "Docs/2024");
    fs::rename(pc + "Docs/a.txt", pc + "Docs/2024/a.txt");
    fs::rename(pc + "Docs/b.txt", pc + "Docs/2024/b.txt");
    Bidi();
    EXPECT_EQ(ReadFile(drive + "Docs/2024/a.txt"), "a");
    EXPECT_EQ(ReadFile(drive + "Docs/2024/b.txt"), "b");
    EXPECT_TRUE(Exists(drive + "Docs/a.txt"));
    EXPECT_TRUE(Exists(drive + "Docs/b.txt"));
    EXPECT_FALSE(Exists(pc + "Docs/a.txt"));
    ASSERT_EQ(prompt.deletionQuestions.size(), 1u);
    EXPECT_EQ(prompt.deletionQuestions[0].count, 2u);
    EXPECT_EQ(HeldLines(pc + "Docs/"), (std::set<std::string>{drive + "Docs/a.txt", drive + "Docs/b.txt"}));

    prompt.allowDeletions = true;
    Bidi();
    EXPECT_FALSE(Exists(drive + "Docs/a.txt"));
    EXPECT_FALSE(Exists(drive + "Docs/b.txt"));
    EXPECT_TRUE(Exists(drive + "Docs/2024/a.txt"));
    EXPECT_TRUE(Exists(pc + "Docs/2024/b.txt"));
}

TEST_F(SyncHeldDeletionsTest, EverythingDeletedOnTheDriveHoldsTheComputersDeletionsWithoutAPrompt) {
    SyncedOnce();
    fs::remove(drive + "Docs/a.txt");
    fs::remove(drive + "Docs/b.txt");
    // Nobody to ask: the answer is No.
    Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
        t.SetConflictPrompt(nullptr);
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    EXPECT_TRUE(Exists(pc + "Docs/a.txt"));
    EXPECT_TRUE(Exists(pc + "Docs/b.txt"));
    EXPECT_EQ(HeldLines(drive + "Docs/"), (std::set<std::string>{pc + "Docs/a.txt", pc + "Docs/b.txt"}));
    EXPECT_EQ(HeldSide(), 'A');
}

TEST_F(SyncHeldDeletionsTest, FilesBackInPlaceEndTheHoldAndLaterDeletionsAreOrdinary) {
    SyncedOnce();
    fs::rename(pc + "Docs/a.txt", dir / "a.txt");
    fs::rename(pc + "Docs/b.txt", dir / "b.txt");
    Bidi();
    ASSERT_EQ(HeldSide(), 'B');
    fs::rename(dir / "a.txt", pc + "Docs/a.txt");
    fs::rename(dir / "b.txt", pc + "Docs/b.txt");
    Bidi();
    EXPECT_FALSE(HeldSide());

    prompt.deletionQuestions.clear();
    fs::remove(pc + "Docs/a.txt");
    Bidi();
    EXPECT_TRUE(prompt.deletionQuestions.empty());
    EXPECT_FALSE(Exists(drive + "Docs/a.txt"));
    EXPECT_TRUE(Exists(drive + "Docs/b.txt"));
}

TEST_F(SyncHeldDeletionsTest, AMissingRootStillSkipsThePair) {
    SyncedOnce();
    Make(drive + "Docs/new.txt", "n", Day(2));
    fs::remove_all(pc + "Docs");
    Bidi();
    ASSERT_EQ(hooked.errors.size(), 1u);
    EXPECT_NE(hooked.errors[0].text.find("pair skipped : " + pc + "Docs/"), std::string::npos);
    EXPECT_EQ(hooked.errors[0].kind, ThreadErrorKind::FolderUnreadable);
    EXPECT_TRUE(prompt.deletionQuestions.empty());
    EXPECT_TRUE(Exists(drive + "Docs/a.txt"));
    EXPECT_FALSE(Exists(pc + "Docs/new.txt"));
}

TEST_F(SyncHeldDeletionsTest, ADryRunTouchesNothingAndRecordsNoHold) {
    SyncedOnce();
    fs::remove(pc + "Docs/a.txt");
    fs::remove(pc + "Docs/b.txt");
    Make(drive + "Docs/new.txt", "n", Day(2));
    for (const bool allowed : {false, true}) {
        prompt.allowDeletions = allowed;
        auto thread =
            Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
                t.SetDryRun(true);
                t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
            });
        EXPECT_TRUE(hooked.errors.empty());
        const TFilePair* a = Pair(*thread, "a.txt");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->FileAction, allowed ? TFileAction::faDelete : TFileAction::faSkip);
        const TFilePair* added = Pair(*thread, "new.txt");
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(added->FileAction, TFileAction::faCopyAB);
        EXPECT_TRUE(Exists(drive + "Docs/a.txt"));
        EXPECT_FALSE(Exists(pc + "Docs/new.txt"));
        EXPECT_FALSE(HeldSide());
    }
}

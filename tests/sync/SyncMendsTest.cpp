// What keeps a run from losing files: deletions carried over only when the other side is
// unchanged, changes copied back, records that forget a carried-out deletion, files that change
// during the run left alone, failed and canceled copies that record nothing.
#include "SyncRunSupport.h"

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncMendsTest : public SyncRunFixture {
protected:
    // a.txt and b.txt equal on both sides and recorded.
    void SyncedOnce() {
        Make(drive + "Docs/a.txt", "a", Day(1));
        Make(drive + "Docs/b.txt", "b", Day(1));
        Bidi();
        ASSERT_EQ(LastStatus(), "Finished !");
        ASSERT_EQ(ReadFile(pc + "Docs/a.txt"), "a");
    }
    int LogsWith(const std::string& status) const {
        int n = 0;
        for (const LogEntryEvent& log : hooked.logs) n += log.status.find(status) != std::string::npos;
        return n;
    }
};

} // namespace

TEST_F(SyncMendsTest, DeletionOnOneSideIsCarriedOverWhenTheOtherIsUnchanged) {
    SyncedOnce();
    fs::remove(pc + "Docs/a.txt");
    fs::remove(drive + "Docs/b.txt");
    auto thread = Bidi(TSyncDefaultAction::sdaAsk);
    EXPECT_FALSE(Exists(drive + "Docs/a.txt"));
    EXPECT_FALSE(Exists(pc + "Docs/b.txt"));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(thread->Counters().FilesTotal, 2);
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(SyncMendsTest, ChangeWinsOverADeletionOnTheOtherSide) {
    SyncedOnce();
    int day = 3;
    const auto editAndDelete = [&] {
        fs::remove(pc + "Docs/a.txt");
        Make(drive + "Docs/a.txt", "edited on the drive", Day(day));
        fs::remove(drive + "Docs/b.txt");
        Make(pc + "Docs/b.txt", "edited on the computer", Day(day));
        ++day;
    };
    // Even the rules that prefer one side do not turn the other side's deletion into a loss.
    for (auto rule : {TSyncDefaultAction::sdaUSBVersion, TSyncDefaultAction::sdaPCVersion,
                      TSyncDefaultAction::sdaNewVersion}) {
        editAndDelete();
        Bidi(rule);
        EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "edited on the drive");
        EXPECT_EQ(ReadFile(drive + "Docs/b.txt"), "edited on the computer");
    }
    // Under "Ask" the user sees them, with the copy back proposed.
    editAndDelete();
    prompt.answer = TConflictResolution::UseComputer; // deletes nothing for a.txt
    Bidi(TSyncDefaultAction::sdaAsk);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].size(), 2u);
    EXPECT_EQ(prompt.offered["a.txt"], TFileAction::faCopyAB);
    EXPECT_EQ(prompt.offered["b.txt"], TFileAction::faCopyBA);
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "edited on the drive");
    EXPECT_FALSE(Exists(pc + "Docs/a.txt"));
    EXPECT_EQ(ReadFile(drive + "Docs/b.txt"), "edited on the computer");
}

TEST_F(SyncMendsTest, OneWayDirectionsDoNotDeleteAChangedFile) {
    SyncedOnce();
    fs::remove(drive + "Docs/a.txt");
    Make(pc + "Docs/a.txt", "edited", Day(3));
    Run(TSyncDirection::sdPCToUSB, TSyncDefaultAction::sdaAsk);
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "edited");
    fs::remove(pc + "Docs/b.txt");
    Make(drive + "Docs/b.txt", "edited", Day(3));
    Run(TSyncDirection::sdUSBToPC, TSyncDefaultAction::sdaAsk);
    EXPECT_EQ(ReadFile(drive + "Docs/b.txt"), "edited");
}

TEST_F(SyncMendsTest, AFileMadeAfterACarriedOutDeletionIsNew) {
    SyncedOnce();
    fs::remove(pc + "Docs/a.txt");
    Bidi();
    ASSERT_FALSE(Exists(drive + "Docs/a.txt"));
    const auto record = RecordOf("a.txt");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->DateFolderA, 0);
    EXPECT_EQ(record->DateFolderB, 0);
    // The same name again, with the very date the old file had.
    Make(drive + "Docs/a.txt", "a again", Day(1));
    Bidi();
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "a again");
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "a again");
}

TEST_F(SyncMendsTest, AFileChangedDuringTheRunIsLeftAloneAndComesBack) {
    SyncedOnce();
    fs::remove(drive + "Docs/a.txt");                      // a.txt: to be deleted on the computer
    Make(drive + "Docs/b.txt", "edited on the drive", Day(3)); // b.txt: to be copied over
    hooked.onStatusText = "Processing Data....";
    hooked.hook = [&] {
        Make(pc + "Docs/a.txt", "edited meanwhile", Day(4));
        Make(pc + "Docs/b.txt", "also edited meanwhile", Day(4));
    };
    auto thread = Bidi();
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "edited meanwhile");
    EXPECT_EQ(ReadFile(pc + "Docs/b.txt"), "also edited meanwhile");
    EXPECT_EQ(LogsWith("changed during the sync"), 2);
    EXPECT_TRUE(hooked.logs[0].isError);
    EXPECT_EQ(RecordOf("b.txt")->DateFolderA, Day(1));

    // Next run: a.txt changed on the computer, deleted on the drive, so it goes back.
    Bidi();
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "edited meanwhile");
    EXPECT_EQ(ReadFile(drive + "Docs/b.txt"), "also edited meanwhile");
}

TEST_F(SyncMendsTest, AFileAppearingWhereACopyGoesIsLeftAlone) {
    Make(drive + "Docs/a.txt", "drive", Day(1));
    hooked.onStatusText = "Processing Data....";
    hooked.hook = [&] { Make(pc + "Docs/a.txt", "made meanwhile", Day(2)); };
    Bidi();
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "made meanwhile");
    EXPECT_EQ(LogsWith("changed during the sync"), 1);
}

TEST_F(SyncMendsTest, AFailedCopyKeepsBothFilesRecordsNothingAndIsNotTakenForADeletion) {
    Make(drive + "Docs/only.txt", "only on the drive", Day(1));
    Make(drive + "Docs/both.txt", "drive", Day(3));
    Make(pc + "Docs/both.txt", "pc", Day(2));
    LowSpaceFileSystem full(files, {0}); // every copy meets "low disk space", answered Skip
    Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, {}, &full);
    EXPECT_EQ(ReadFile(pc + "Docs/both.txt"), "pc");
    EXPECT_EQ(ReadFile(drive + "Docs/both.txt"), "drive");
    EXPECT_FALSE(Exists(pc + "Docs/only.txt"));
    EXPECT_EQ(hooked.logs.size(), 2u);
    for (const LogEntryEvent& log : hooked.logs) EXPECT_TRUE(log.isError);
    EXPECT_EQ(RecordOf("both.txt")->DateFolderA, 0);
    EXPECT_EQ(RecordOf("only.txt")->DateFolderB, 0);

    // The drive-only file has a record now, but it never reached the computer: copied, not deleted.
    Bidi();
    EXPECT_EQ(ReadFile(drive + "Docs/only.txt"), "only on the drive");
    EXPECT_EQ(ReadFile(pc + "Docs/only.txt"), "only on the drive");
    EXPECT_EQ(ReadFile(pc + "Docs/both.txt"), "drive");
}

TEST_F(SyncMendsTest, AbortAtLowDiskSpaceCancelsTheRestOfTheRun) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    Make(drive + "Docs/b.txt", "b", Day(1));
    hooked.answers = {LowDiskAnswer::Abort};
    LowSpaceFileSystem full(files, {0});
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, {}, &full);
    EXPECT_EQ(hooked.logs.size(), 1u);
    EXPECT_FALSE(Exists(pc + "Docs/a.txt"));
    EXPECT_FALSE(Exists(pc + "Docs/b.txt"));
    EXPECT_EQ(LastStatus(), "Canceled");
    EXPECT_EQ(thread->Counters().FilesDone, 1);
}

TEST_F(SyncMendsTest, TheLosingSideOfAConflictGoesToTheDeletedFilesStore) {
    SyncedOnce();
    Make(drive + "Docs/a.txt", "older edit on the drive", Day(3));
    Make(pc + "Docs/a.txt", "newer edit on the computer", Day(4));
    Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, WithStore());
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "newer edit on the computer");
    ASSERT_EQ(storeRows.size(), 1u);
    bool kept = false;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "deleted"))
        kept |= entry.is_regular_file() && ReadFile(entry.path()) == "older edit on the drive";
    EXPECT_TRUE(kept);
}

// Whole sync runs on real folders: the first run over equal files under each conflict rule,
// changes on one side under each direction, letter case, "<Root>", file mode, the conflict
// prompt, the dry run and a job database holding SQL of somebody else's.
#include "SyncRunSupport.h"
#include "db/DbTestSupport.h"

#include <stdexcept>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncRunTest : public SyncRunFixture {
protected:
    // a.txt newer on the computer, b.txt newer on the drive, c.txt of the same date.
    void SameNamesOnBothSides() {
        Make(drive + "Docs/a.txt", "drive a", Day(1));
        Make(pc + "Docs/a.txt", "pc a", Day(2));
        Make(drive + "Docs/b.txt", "drive b", Day(3));
        Make(pc + "Docs/b.txt", "pc b", Day(2));
        Make(drive + "Docs/c.txt", "drive c", Day(4));
        Make(pc + "Docs/c.txt", "pc c", Day(4));
    }
    // Everything equal on both sides and recorded.
    void SyncedOnce() {
        Make(drive + "Docs/a.txt", "a", Day(1));
        Make(pc + "Docs/b.txt", "b", Day(1));
        Bidi();
        ASSERT_EQ(LastStatus(), "Finished !");
        ASSERT_TRUE(Exists(pc + "Docs/a.txt"));
        ASSERT_TRUE(Exists(drive + "Docs/b.txt"));
    }
};

} // namespace

TEST_F(SyncRunTest, FirstRunWithNewestVersionCopiesTheNewerSideAndTheComputerOnTies) {
    SameNamesOnBothSides();
    auto thread = Bidi();
    EXPECT_TRUE(hooked.errors.empty());
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "pc a");
    EXPECT_EQ(ReadFile(pc + "Docs/b.txt"), "drive b");
    EXPECT_EQ(ReadFile(drive + "Docs/c.txt"), "pc c");
    EXPECT_EQ(thread->Counters().FilesTotal, 3);
    EXPECT_EQ(thread->Counters().FilesDone, 3);
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_TRUE(prompt.shown.empty());
    const auto record = RecordOf("b.txt");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->DateFolderA, Day(3));
    EXPECT_EQ(record->DateFolderB, Day(3));

    auto again = Bidi();
    EXPECT_EQ(again->GetFilePairs().Count(), 0u);
    EXPECT_TRUE(hooked.logs.empty());
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(SyncRunTest, FirstRunUnderAskPutsEveryPairOnBothSidesBeforeTheUser) {
    SameNamesOnBothSides();
    Make(drive + "Docs/only.txt", "o", Day(1));
    auto thread = Bidi(TSyncDefaultAction::sdaAsk);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].size(), 3u);
    EXPECT_EQ(prompt.offered, (std::map<std::string, TFileAction>{{"a.txt", TFileAction::faCopyBA},
                                                                  {"b.txt", TFileAction::faCopyAB},
                                                                  {"c.txt", TFileAction::faCopyBA}}));
    // OK without a change: the newer-wins actions stand.
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "pc a");
    EXPECT_EQ(ReadFile(pc + "Docs/b.txt"), "drive b");
    EXPECT_EQ(ReadFile(pc + "Docs/only.txt"), "o");
    EXPECT_EQ(LastStatus(), "Finished !");
    bool processed = false;
    for (const StatusEvent& s : hooked.statuses)
        processed |= s.text == "Processing User Action";
    EXPECT_TRUE(processed);
}

TEST_F(SyncRunTest, TheFixedRulesOnAFirstRun) {
    SameNamesOnBothSides();
    Bidi(TSyncDefaultAction::sdaNothing);
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive a");
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "pc a");
    EXPECT_EQ(RecordOf("a.txt")->DateFolderA, 0); // nothing recorded: offered again next time

    Bidi(TSyncDefaultAction::sdaPCVersion);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        EXPECT_EQ(ReadFile(pc + "Docs/" + name), ReadFile(drive + "Docs/" + name));
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "drive a");
}

TEST_F(SyncRunTest, ComputerVersionRuleOverwritesADriveChange) {
    SyncedOnce();
    Make(drive + "Docs/a.txt", "edited on the drive", Day(5));
    Bidi(TSyncDefaultAction::sdaUSBVersion);
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "a");
}

TEST_F(SyncRunTest, ChangeOnOneSideWithDoNothingStaysAndIsOfferedAgain) {
    SyncedOnce();
    Make(drive + "Docs/a.txt", "edited", Day(5));
    for (int run = 0; run < 2; ++run) {
        auto thread = Bidi(TSyncDefaultAction::sdaNothing);
        EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "a");
        ASSERT_EQ(thread->GetFilePairs().Count(), 1u) << run;
        EXPECT_EQ(thread->GetFilePairs()[0].FileAction, TFileAction::faSkip);
        EXPECT_EQ(thread->Counters().FilesTotal, 0);
    }
    // With the newest version it travels.
    Bidi();
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "edited");
}

TEST_F(SyncRunTest, OnlyToComputerMirrorsTheDrive) {
    SyncedOnce();
    Make(pc + "Docs/stray.txt", "never seen", Day(2));
    Make(drive + "Docs/sub/deep/new.txt", "new", Day(2));
    Make(pc + "Docs/b.txt", "edited on the computer", Day(6));
    Run(TSyncDirection::sdPCToUSB, TSyncDefaultAction::sdaAsk);
    EXPECT_FALSE(Exists(pc + "Docs/stray.txt"));
    EXPECT_EQ(ReadFile(pc + "Docs/sub/deep/new.txt"), "new");
    EXPECT_EQ(ReadFile(pc + "Docs/b.txt"), "b"); // the master's file over the change
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(SyncRunTest, OnlyToUsbDriveMirrorsTheComputer) {
    SyncedOnce();
    Make(drive + "Docs/stray.txt", "never seen", Day(2));
    Make(pc + "Docs/sub/new.txt", "new", Day(2));
    Make(drive + "Docs/a.txt", "edited on the drive", Day(6));
    Run(TSyncDirection::sdUSBToPC, TSyncDefaultAction::sdaAsk);
    EXPECT_FALSE(Exists(drive + "Docs/stray.txt"));
    EXPECT_EQ(ReadFile(drive + "Docs/sub/new.txt"), "new");
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "a");
}

TEST_F(SyncRunTest, NamesDifferingInLetterCaseAreOnePair) {
    Make(drive + "Docs/REPORT.DOC", "drive", Day(1));
    Make(pc + "Docs/report.doc", "pc", Day(2));
    auto thread = Bidi();
    ASSERT_EQ(thread->GetFilePairs().Count(), 1u);
    EXPECT_EQ(ReadFile(drive + "Docs/REPORT.DOC"), "pc");
    EXPECT_FALSE(Exists(drive + "Docs/report.doc"));
    EXPECT_EQ(Bidi()->GetFilePairs().Count(), 0u);
}

TEST_F(SyncRunTest, RootPairSyncsTheWholeDriveButNotItsDatabase) {
    Make(drive + "top.txt", "t", Day(1));
    Make(drive + "Photos/p.jpg", "p", Day(1));
    Make(pc + "Stick/back.txt", "b", Day(1));
    const auto root = [&](TSyncFolderThread& t) { t.FolderItems.AddItem("<Root>", pc + "Stick", true); };
    Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, root);
    EXPECT_TRUE(hooked.errors.empty());
    EXPECT_EQ(ReadFile(pc + "Stick/top.txt"), "t");
    EXPECT_EQ(ReadFile(pc + "Stick/Photos/p.jpg"), "p");
    EXPECT_EQ(ReadFile(drive + "back.txt"), "b");
    EXPECT_FALSE(Exists(pc + "Stick/Config/Job.Usdb"));
    const auto record = RecordOf("top.txt", "/");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->DateFolderA, Day(1));
    auto again = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, root);
    EXPECT_EQ(again->GetFilePairs().Count(), 0u);
}

TEST_F(SyncRunTest, AWholeDriveSyncNeverTouchesTheDrivesConfigFolder) {
    Make(drive + "Config/Docs.Ubk", "job", Day(1));
    Make(drive + "Config/Drive Config.cfg", "drive", Day(1));
    Make(drive + "top.txt", "t", Day(1));
    Make(pc + "Stick/Config/Old.Ubk", "stale copy", Day(3));
    const auto root = [&](TSyncFolderThread& t) { t.FolderItems.AddItem("<Root>", pc + "Stick", true); };
    // The computer is the master: everything the drive has beyond it would be deleted.
    Run(TSyncDirection::sdUSBToPC, TSyncDefaultAction::sdaNewVersion, root);
    EXPECT_EQ(ReadFile(drive + "Config/Docs.Ubk"), "job");
    EXPECT_EQ(ReadFile(drive + "Config/Drive Config.cfg"), "drive");
    EXPECT_FALSE(Exists(drive + "Config/Old.Ubk"));
    EXPECT_FALSE(Exists(drive + "top.txt"));
    Run(TSyncDirection::sdPCToUSB, TSyncDefaultAction::sdaNewVersion, root);
    EXPECT_EQ(ReadFile(pc + "Stick/Config/Old.Ubk"), "stale copy");
}

TEST_F(SyncRunTest, FileModeCopiesWhatExistsAndLeavesMissingFilesAlone) {
    Make(drive + "Notes/n.txt", "note", Day(1));
    fs::create_directories(pc + "Home");
    Make(pc + "Home/todo.txt", "todo", Day(1));
    const auto pairs = [&](TSyncFolderThread& t) {
        t.FileItems.AddItem("/Notes/n.txt", pc + "Home/n.txt", false);
        t.FileItems.AddItem("/Notes/todo.txt", pc + "Home/todo.txt", false);
        t.FileItems.AddItem("/Notes/gone.txt", pc + "Home/gone.txt", false);
    };
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaAsk, pairs);
    EXPECT_TRUE(hooked.errors.empty());
    EXPECT_EQ(thread->GetFilePairs().Count(), 2u);
    EXPECT_EQ(ReadFile(pc + "Home/n.txt"), "note");
    EXPECT_EQ(ReadFile(drive + "Notes/todo.txt"), "todo");
    EXPECT_FALSE(Exists(pc + "Home/gone.txt"));
    EXPECT_FALSE(RecordOf("gone.txt", "/Notes/"));
    EXPECT_TRUE(prompt.shown.empty());

    // Deleted on the computer since: carried over to the drive.
    fs::remove(pc + "Home/n.txt");
    Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaAsk, pairs);
    EXPECT_FALSE(Exists(drive + "Notes/n.txt"));
    EXPECT_EQ(ReadFile(drive + "Notes/todo.txt"), "todo");
}

TEST_F(SyncRunTest, CancelInThePromptTouchesNothing) {
    SameNamesOnBothSides();
    Make(drive + "Docs/only.txt", "o", Day(1));
    prompt.answer.reset();
    auto thread = Bidi(TSyncDefaultAction::sdaAsk);
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive a");
    EXPECT_EQ(ReadFile(pc + "Docs/b.txt"), "pc b");
    EXPECT_FALSE(Exists(pc + "Docs/only.txt"));
    EXPECT_TRUE(hooked.logs.empty());
    ASSERT_GE(hooked.statuses.size(), 2u);
    EXPECT_EQ(hooked.statuses[hooked.statuses.size() - 2].text, "Canceled :(");
    EXPECT_EQ(LastStatus(), "Canceled");
    EXPECT_EQ(RecordOf("only.txt")->DateFolderA, 0);
}

TEST_F(SyncRunTest, WithoutAPromptAnAskingRunIsCanceled) {
    SameNamesOnBothSides();
    Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaAsk, [&](TSyncFolderThread& t) {
        t.SetConflictPrompt(nullptr);
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive a");
    ASSERT_EQ(hooked.errors.size(), 1u);
    EXPECT_EQ(LastStatus(), "Canceled");
}

TEST_F(SyncRunTest, DoNothingInThePromptSkipsAndAsksAgainNextRun) {
    SameNamesOnBothSides();
    prompt.answer = TConflictResolution::DoNothing;
    auto thread = Bidi(TSyncDefaultAction::sdaAsk);
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive a");
    EXPECT_EQ(thread->Counters().FilesDone, 0);
    EXPECT_EQ(thread->Counters().FilesTotal, 0);
    prompt.answer = TConflictResolution::UseDrive;
    Bidi(TSyncDefaultAction::sdaAsk);
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].size(), 3u);
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "drive a");
}

TEST_F(SyncRunTest, AFailingPromptEndsTheRunWithAThreadError) {
    SameNamesOnBothSides();
    prompt.whileAsked = [] { throw std::runtime_error("window gone"); };
    Bidi(TSyncDefaultAction::sdaAsk);
    ASSERT_EQ(hooked.errors.size(), 1u);
    EXPECT_EQ(hooked.errors[0].text, std::string(kThreadErrorPrefix) + "window gone");
    EXPECT_EQ(hooked.errors[0].code, -1);
    EXPECT_NE(LastStatus(), "Finished !");
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive a");
}

TEST_F(SyncRunTest, DryRunDecidesButTouchesNoFileAndCreatesNoDatabase) {
    SameNamesOnBothSides();
    Make(pc + "Docs/only.txt", "o", Day(1));
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaAsk, [&](TSyncFolderThread& t) {
        t.SetDryRun(true);
        t.SetConflictPrompt(nullptr);
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    EXPECT_FALSE(Exists(database));
    EXPECT_FALSE(Exists(drive + "Docs/only.txt"));
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive a");
    EXPECT_TRUE(hooked.errors.empty());
    EXPECT_EQ(LastStatus(), "Finished !");
    const TFilePair* only = Pair(*thread, "only.txt");
    ASSERT_TRUE(only);
    EXPECT_EQ(only->FileAction, TFileAction::faCopyBA);
    EXPECT_EQ(only->FileA.FileName, drive + "Docs/only.txt");
    EXPECT_EQ(Pair(*thread, "b.txt")->FileAction, TFileAction::faCopyAB);
    EXPECT_TRUE(Pair(*thread, "b.txt")->Ask);
}

TEST_F(SyncRunTest, DryRunLeavesAnExistingDatabaseAsItWas) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    Make(drive + "Docs/b.txt", "b", Day(1)); // so that one deletion is no emptied folder
    Bidi();
    const std::string before = ReadFile(database);
    const int64_t rows = RowCount();
    Make(drive + "Docs/new.txt", "n", Day(2));
    fs::remove(pc + "Docs/a.txt");
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
        t.SetDryRun(true);
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    EXPECT_EQ(ReadFile(database), before);
    EXPECT_FALSE(Exists(database + "-wal") && fs::file_size(database + "-wal") > 0);
    EXPECT_EQ(RowCount(), rows);
    EXPECT_TRUE(Exists(drive + "Docs/a.txt"));
    EXPECT_FALSE(Exists(pc + "Docs/new.txt"));
    ASSERT_TRUE(Pair(*thread, "a.txt") && Pair(*thread, "new.txt"));
    EXPECT_EQ(Pair(*thread, "a.txt")->FileAction, TFileAction::faDelete);
    EXPECT_EQ(Pair(*thread, "new.txt")->FileAction, TFileAction::faCopyAB);
    EXPECT_EQ(FileActionName(Pair(*thread, "new.txt")->FileAction), "Copy to computer");
}

TEST_F(SyncRunTest, CancelBetweenPairsLeavesTheRestAndCountsWhatWasDone) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        Make(drive + "Docs/" + name, name, Day(1));
    TSyncFolderThread* running = nullptr;
    hooked.onStatusText = "File : ";
    hooked.hook = [&] { running->Terminate(); };
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
        running = &t;
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    int copied = 0;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        copied += Exists(pc + "Docs/" + name);
    EXPECT_LE(copied, 1);
    EXPECT_EQ(hooked.logs.size(), 1u);
    EXPECT_EQ(thread->Counters().FilesTotal, 4);
    EXPECT_EQ(thread->Counters().FilesDone, 1);
    EXPECT_EQ(LastStatus(), "Canceled");
    // What was not done comes at the next run.
    Bidi();
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        EXPECT_EQ(ReadFile(pc + "Docs/" + name), name);
}

TEST_F(SyncRunTest, CancelDuringTheScanTouchesNothing) {
    SameNamesOnBothSides();
    Make(drive + "Docs/only.txt", "o", Day(1));
    TSyncFolderThread* running = nullptr;
    hooked.onStatusText = " Searching...";
    hooked.hook = [&] { running->Terminate(); };
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
        running = &t;
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    EXPECT_FALSE(Exists(pc + "Docs/only.txt"));
    EXPECT_EQ(ReadFile(pc + "Docs/b.txt"), "pc b");
    EXPECT_TRUE(hooked.logs.empty());
    EXPECT_TRUE(prompt.shown.empty());
    ASSERT_GE(hooked.statuses.size(), 2u);
    EXPECT_EQ(hooked.statuses[hooked.statuses.size() - 2].text, "Canceled :(");
    EXPECT_EQ(LastStatus(), "Canceled");
}

TEST_F(SyncRunTest, TotalsCountCopiesAndDeletionsWithTheirSizes) {
    Make(drive + "Docs/keep.txt", "k", Day(1));
    Make(drive + "Docs/gone.txt", "12345", Day(1));
    Bidi();
    Make(drive + "Docs/new.txt", "123", Day(2));
    std::filesystem::remove(pc + "Docs/gone.txt");
    Make(pc + "Docs/keep.txt", "edited", Day(3));
    auto thread = Bidi();
    const ThreadCounters c = thread->Counters();
    EXPECT_EQ(c.FilesTotal, 3);
    EXPECT_EQ(c.FilesDone, 3);
    EXPECT_EQ(c.BytesDone, 3 + 6);
    EXPECT_EQ(c.BytesTotal, 3 + 6); // a deletion leaves the byte total once it is done
    EXPECT_FALSE(Exists(drive + "Docs/gone.txt"));
    EXPECT_EQ(ReadFile(drive + "Docs/keep.txt"), "edited");
}

TEST_F(SyncRunTest, AJobDatabaseWithAPlantedTriggerIsReportedDamagedAndNothingIsSynced) {
    SyncedOnce();
    // It would empty the record of every file at the run's first write.
    RawSql(database, R"(CREATE TRIGGER "Wipe" AFTER UPDATE ON "FileLog" BEGIN DELETE FROM "FileLog"; END;)");
    const std::string before = ReadFile(database);
    Make(drive + "Docs/new.txt", "n", Day(2));
    Bidi();
    ASSERT_EQ(hooked.errors.size(), 1u);
    EXPECT_EQ(hooked.errors[0].text, std::string(kThreadErrorPrefix) + "Database \"" + database +
                                         "\": is damaged (truncated or overwritten)");
    EXPECT_NE(LastStatus(), "Finished !");
    EXPECT_FALSE(Exists(pc + "Docs/new.txt"));
    EXPECT_EQ(ReadFile(database), before);
}

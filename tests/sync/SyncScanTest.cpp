// The scan on real folders: pairing through the database across runs, case-insensitive matching,
// "<Root>", the drive under another mount path, file mode, the filter and cancelling.
#include "SyncTestSupport.h"
#include "core/records/TSyncData.h"
#include "core/text/CaseFold.h"

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

TEST_F(SyncScanFixture, FirstRunPairsBothSidesAndTheNextRunFindsTheRecords) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    Make(drive + "Docs/sub/b.txt", "bb", Day(2));
    Make(drive + "Docs/d.txt", "d", Day(3));
    Make(pc + "Docs/a.txt", "a", Day(1));
    Make(pc + "Docs/sub/b.txt", "bbb", Day(4));
    Make(pc + "Docs/c.txt", "c", Day(5));

    auto first = ScanFolders("/Docs", pc + "Docs");
    EXPECT_TRUE(events.errors.empty());
    auto pairs = ByName(*first);
    ASSERT_EQ(pairs.size(), 4u);
    const TFilePair& b = pairs["b.txt"];
    EXPECT_EQ(b.FileA.FileName, drive + "Docs/sub/b.txt");
    EXPECT_EQ(b.FileB.FileName, pc + "Docs/sub/b.txt");
    EXPECT_EQ(b.FileA.FileSize, 2);
    EXPECT_EQ(b.FileB.FileSize, 3);
    EXPECT_EQ(b.FileA.FileDateTime, Day(2));
    EXPECT_EQ(b.FileB.FileDateTime, Day(4));
    // Both sides seen in one run: the drive-side walk made the record the computer side finds.
    EXPECT_FALSE(b.New);
    EXPECT_EQ(b.FileA.OLDFileDateTime, 0);
    EXPECT_EQ(b.FileB.OLDFileDateTime, 0);
    EXPECT_TRUE(pairs["d.txt"].New);
    EXPECT_FALSE(pairs["d.txt"].FileB.Present());
    EXPECT_TRUE(pairs["c.txt"].New);
    EXPECT_FALSE(pairs["c.txt"].FileA.Present());
    for (const auto& [name, pair] : pairs) {
        EXPECT_EQ(pair.FileAction, TFileAction::faCopyAB) << name;
        EXPECT_FALSE(pair.Ask) << name;
    }

    const int64_t bRecord = b.RecordID;
    const TFilePair a = pairs["a.txt"];
    first.reset();
    {
        SyncDatabase db(database);
        const auto row = db.FindById(bRecord);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->FileName, "sub/b.txt");
        EXPECT_EQ(row->FolderA, "/Docs/");
        EXPECT_EQ(row->FolderB, pc + "Docs/");
        EXPECT_FALSE(row->ListID);
    }
    EXPECT_EQ(RowCount(), 4);
    RecordSynced(a);

    auto second = ScanFolders("/Docs", pc + "Docs");
    pairs = ByName(*second);
    ASSERT_EQ(pairs.size(), 4u);
    for (const auto& [name, pair] : pairs)
        EXPECT_FALSE(pair.New) << name;
    EXPECT_EQ(pairs["a.txt"].RecordID, a.RecordID);
    EXPECT_EQ(pairs["a.txt"].FileA.OLDFileDateTime, Day(1));
    EXPECT_EQ(pairs["a.txt"].FileB.OLDFileDateTime, Day(1));
    EXPECT_EQ(pairs["b.txt"].RecordID, bRecord);
    second.reset();
    EXPECT_EQ(RowCount(), 4);
}

TEST_F(SyncScanFixture, NamesMatchWhateverTheirLetterCase) {
    Make(drive + "Docs/REPORT.DOC", "x", Day(1));
    Make(pc + "Docs/report.doc", "x", Day(2));
    auto thread = ScanFolders("/Docs/", pc + "Docs/");
    EXPECT_TRUE(events.errors.empty());
    ASSERT_EQ(thread->GetFilePairs().Count(), 1u);
    const TFilePair& pair = thread->GetFilePairs()[0];
    EXPECT_EQ(pair.FileA.FileName, drive + "Docs/REPORT.DOC");
    EXPECT_EQ(pair.FileB.FileName, pc + "Docs/report.doc");
    EXPECT_FALSE(pair.New);
}

TEST_F(SyncScanFixture, RootPairWalksTheWholeDriveButNotItsConfigFolder) {
    Make(drive + "top.txt", "t", Day(1));
    Make(drive + "Config/Job.usy", "job", Day(1));
    Make(drive + "Music/song.mp3", "s", Day(2));
    fs::create_directories(pc + "Stick");
    auto thread = ScanFolders("<Root>", pc + "Stick");
    auto pairs = ByName(*thread);
    EXPECT_EQ(pairs.size(), 2u);
    EXPECT_TRUE(pairs.contains("top.txt"));
    EXPECT_TRUE(pairs.contains("song.mp3"));
    EXPECT_FALSE(pairs.contains("Job.usy"));
    for (const auto& [name, pair] : pairs)
        EXPECT_EQ(name.rfind("Job.Usdb", 0), std::string::npos) << name;
    const int64_t id = pairs["song.mp3"].RecordID;
    thread.reset();
    SyncDatabase db(database);
    const auto row = db.FindById(id);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->FolderA, "/");
    EXPECT_EQ(row->FileName, "Music/song.mp3");
}

TEST_F(SyncScanFixture, DriveUnderAnotherMountPathFindsItsRecords) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    Make(pc + "Docs/a.txt", "a", Day(1));
    auto first = ScanFolders("/Docs/", pc + "Docs/");
    const TFilePair pair = first->GetFilePairs()[0];
    first.reset();
    RecordSynced(pair);

    const std::string moved = (dir / "media" / "STICK1").string() + "/";
    fs::create_directories(moved);
    fs::rename(drive, moved);
    drive = moved;
    database = drive + "Config/Job.Usdb";
    auto second = ScanFolders("/Docs/", pc + "Docs/");
    ExpectFoundAgain(*second, pair, Day(1));
    second.reset();
    EXPECT_EQ(RowCount(), 1);
}

TEST_F(SyncScanFixture, FileModeWithFilesMissing) {
    const std::string a1 = Make(drive + "Notes/one.txt", "1", Day(1));
    const std::string b1 = Make(pc + "Home/one.txt", "1", Day(1));
    Make(pc + "Home/two.txt", "2", Day(2));
    fs::create_directories(drive + "Notes");
    const auto set = [&](ScanThread& t) {
        t.FileItems.AddItem("/Notes/one.txt", pc + "Home/one.txt", false);
        t.FileItems.AddItem("/Notes/two.txt", pc + "Home/two.txt", false);
        t.FileItems.AddItem("/Notes/three.txt", pc + "Home/three.txt", false);
    };
    auto first = Scan(set);
    auto pairs = ByName(*first);
    ASSERT_EQ(pairs.size(), 2u); // nothing of "three", missing on both sides
    EXPECT_EQ(pairs["one.txt"].FileA.FileName, a1);
    EXPECT_EQ(pairs["one.txt"].FileB.FileName, b1);
    EXPECT_FALSE(pairs["one.txt"].New);
    EXPECT_EQ(pairs["one.txt"].FileB.FileSize, 1);
    EXPECT_EQ(pairs["one.txt"].FileB.FileDateTime, Day(1));
    EXPECT_TRUE(pairs["two.txt"].New);
    EXPECT_FALSE(pairs["two.txt"].FileA.Present());
    const TFilePair one = pairs["one.txt"];
    first.reset();
    EXPECT_EQ(RowCount(), 2);
    {
        SyncDatabase db(database);
        const auto row = db.FindById(one.RecordID);
        EXPECT_EQ(row->FileName, "one.txt");
        EXPECT_EQ(row->FolderA, "/Notes/");
        EXPECT_EQ(row->FolderB, pc + "Home/");
    }
    RecordSynced(one);

    fs::remove(a1); // deleted on the drive since the last sync
    auto second = Scan(set);
    pairs = ByName(*second);
    EXPECT_TRUE(events.errors.empty());
    ASSERT_TRUE(pairs.contains("one.txt"));
    EXPECT_FALSE(pairs["one.txt"].FileA.Present());
    EXPECT_FALSE(pairs["one.txt"].New);
    EXPECT_EQ(pairs["one.txt"].FileB.OLDFileDateTime, Day(1));
    second.reset();
    EXPECT_EQ(RowCount(), 2);
}

TEST_F(SyncScanFixture, FilteredFilesAreNotLookedUpAndSubFoldersAreWalked) {
    Make(drive + "Docs/keep.txt", "k", Day(1));
    Make(drive + "Docs/tmp/skip.tmp", "s", Day(1));
    Make(pc + "Docs/tmp/other.tmp", "o", Day(1));
    Make(pc + "Docs/tmp/deep.txt", "d", Day(1));
    auto thread = Scan([&](ScanThread& t) {
        TFileFilter filter;
        filter.ExcludeFileExtList.Add(".tmp");
        t.SetFileFilter(filter);
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    auto pairs = ByName(*thread);
    EXPECT_EQ(pairs.size(), 2u);
    EXPECT_TRUE(pairs.contains("keep.txt"));
    EXPECT_TRUE(pairs.contains("deep.txt"));
    thread.reset();
    EXPECT_EQ(RowCount(), 2);
}

TEST_F(SyncScanFixture, StatusTextsOfAScanAndOfACancel) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    fs::create_directories(pc + "Docs");
    auto thread = ScanFolders("/Docs/", pc + "Docs/");
    std::vector<std::string> texts;
    for (const StatusEvent& e : events.statuses)
        texts.push_back(e.text);
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Prepareing... ");
    EXPECT_EQ(texts[1], "Searching... ");
    EXPECT_EQ(texts[2], " Searching..." + drive + "Docs/");
    EXPECT_EQ(texts[3], " Searching..." + pc + "Docs/");
    for (const StatusEvent& e : events.statuses)
        EXPECT_EQ(e.percent, -1);

    auto canceled = Scan([&](ScanThread& t) {
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
        t.Terminate();
    });
    EXPECT_EQ(canceled->GetFilePairs().Count(), 0u);
    ASSERT_FALSE(events.statuses.empty());
    EXPECT_EQ(events.statuses.back().text, "Canceled :(");
}

TEST_F(SyncScanFixture, ConfigureTakesTheJobsListsAndSettings) {
    TSyncData job;
    job.FolderAList.Add("<Root>");
    job.FolderBList.Add(pc + "Stick");
    job.FileAList.Add("/a.txt");
    job.FileBList.Add(pc + "a.txt");
    job.SyncDirection = TSyncDirection::sdUSBToPC;
    job.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    ScanThread thread(ThreadServices{files, clock});
    thread.Configure(job);
    ASSERT_EQ(thread.FolderItems.Count(), 1u);
    EXPECT_EQ(thread.FolderItems[0].PathA, "/");
    EXPECT_EQ(thread.FolderItems[0].PathB, pc + "Stick/");
    ASSERT_EQ(thread.FileItems.Count(), 1u);
    EXPECT_EQ(thread.FileItems[0].PathA, "/a.txt");
    EXPECT_EQ(thread.SyncDirection, TSyncDirection::sdUSBToPC);
    EXPECT_EQ(thread.SyncDefaultAction, TSyncDefaultAction::sdaNewVersion);
}

TEST_F(SyncScanFixture, AFilePairInsideAFolderPairJoinsThatPairsFiles) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    Make(pc + "Docs/a.txt", "a", Day(2));
    Make(drive + "Docs/b.txt", "b", Day(1));
    auto thread = Scan([&](ScanThread& t) {
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
        t.FileItems.AddItem("/Docs/a.txt", pc + "Docs/a.txt", false);
    });
    EXPECT_TRUE(events.errors.empty());
    auto pairs = ByName(*thread);
    ASSERT_EQ(thread->GetFilePairs().Count(), 2u); // a.txt once, not once per item
    EXPECT_EQ(pairs["a.txt"].FileA.FileName, drive + "Docs/a.txt");
    EXPECT_EQ(pairs["a.txt"].FileB.FileName, pc + "Docs/a.txt");
    EXPECT_EQ(pairs["a.txt"].FileB.FileDateTime, Day(2));
    thread.reset();
    EXPECT_EQ(RowCount(), 2);
}

TEST_F(SyncScanFixture, AWideDeepTreeIsPairedFileByFileOnBothSides) {
    // Enough folders for both listers of each side to take some, with files on one side only
    // and case-different spellings across the sides.
    int both = 0, driveOnly = 0, computerOnly = 0;
    for (int g = 0; g < 6; ++g)
        for (int f = 0; f < 8; ++f)
            for (int n = 0; n < 5; ++n) {
                const std::string folder = "Docs/g" + std::to_string(g) + "/f" + std::to_string(f) + "/";
                const std::string name = "file" + std::to_string(n) + ".txt";
                if (n == 0) {
                    Make(drive + folder + name, "d", Day(1));
                    ++driveOnly;
                } else if (n == 1) {
                    Make(pc + folder + name, "c", Day(1));
                    ++computerOnly;
                } else {
                    Make(drive + folder + name, "x", Day(1));
                    const std::string upper =
                        "Docs/G" + std::to_string(g) + "/F" + std::to_string(f) + "/FILE4.TXT";
                    Make(pc + (n == 4 ? upper : folder + name), "x", Day(1));
                    ++both;
                }
            }
    auto thread = ScanFolders("/Docs/", pc + "Docs/");
    EXPECT_TRUE(events.errors.empty());
    int paired = 0, onDrive = 0, onComputer = 0;
    for (const TFilePair& pair : thread->GetFilePairs()) {
        if (pair.FileA.Present() && pair.FileB.Present()) {
            ++paired;
            EXPECT_EQ(LowerCase(pair.FileA.FileName.substr(drive.size())),
                      LowerCase(pair.FileB.FileName.substr(pc.size())));
        } else if (pair.FileA.Present()) {
            ++onDrive;
        } else {
            ++onComputer;
        }
    }
    EXPECT_EQ(paired, both);
    EXPECT_EQ(onDrive, driveOnly);
    EXPECT_EQ(onComputer, computerOnly);
    thread.reset();
    EXPECT_EQ(RowCount(), both + driveOnly + computerOnly);
}

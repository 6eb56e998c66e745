// What keeps a scan from turning a missing folder into deletions, and from pairing two computer
// files whose names differ only in letter case with one drive file.
#include "SyncTestSupport.h"

#include <set>
#include <stdexcept>

#include <sys/stat.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncSafetyTest : public SyncScanFixture {
protected:
    // Two folder pairs synced once: every file present on both sides with recorded dates.
    void SyncedOnce() {
        for (const std::string name : {"Docs/a.txt", "Docs/b.txt", "Music/m.mp3"}) {
            Make(drive + name, name, Day(1));
            Make(pc + name, name, Day(1));
        }
        auto thread = ScanTwoPairs();
        ASSERT_EQ(thread->GetFilePairs().Count(), 3u);
        const TFileCollection pairs = thread->GetFilePairs();
        thread.reset();
        for (const TFilePair& pair : pairs)
            RecordSynced(pair);
    }

    std::unique_ptr<ScanThread> ScanTwoPairs(IThreadEvents* sink = nullptr,
                                             const IFileSystem* fileSystem = nullptr) {
        return Scan(
            [&](ScanThread& t) {
                if (sink) t.SetEvents(sink);
                t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
                t.FolderItems.AddItem("/Music/", pc + "Music/", true);
            },
            {}, fileSystem);
    }

    static bool HasPairUnder(const ScanThread& thread, const std::string& folder) {
        for (const TFilePair& pair : thread.GetFilePairs())
            if (pair.FileA.FileName.starts_with(folder) || pair.FileB.FileName.starts_with(folder))
                return true;
        return false;
    }
};

} // namespace

TEST_F(SyncSafetyTest, MissingComputerRootSkipsOnlyThatPairAndNamesIt) {
    SyncedOnce();
    Make(drive + "Docs/new.txt", "n", Day(2));
    fs::remove_all(pc + "Docs");
    auto thread = ScanTwoPairs();
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_NE(events.errors[0].text.find(pc + "Docs/"), std::string::npos) << events.errors[0].text;
    EXPECT_EQ(events.errors[0].code, -1);
    EXPECT_FALSE(HasPairUnder(*thread, drive + "Docs/"));
    EXPECT_TRUE(HasPairUnder(*thread, pc + "Music/"));
    thread.reset();
    // The drive-only file left no row that would later make it look deleted on the computer.
    EXPECT_EQ(RowCount(), 3);
}

TEST_F(SyncSafetyTest, RenamedDriveFolderSkipsThePair) {
    SyncedOnce();
    fs::rename(drive + "Music", drive + "Music.old");
    auto thread = ScanTwoPairs();
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_NE(events.errors[0].text.find(drive + "Music/"), std::string::npos) << events.errors[0].text;
    EXPECT_FALSE(HasPairUnder(*thread, pc + "Music/"));
    EXPECT_TRUE(HasPairUnder(*thread, pc + "Docs/"));
}

TEST_F(SyncSafetyTest, RootWithEveryRecordedFileGoneMarksItsPairsAsEmptied) {
    SyncedOnce();
    fs::remove(pc + "Docs/a.txt");
    fs::remove(pc + "Docs/b.txt");
    Make(pc + "Docs/unrelated.txt", "u", Day(3)); // a new file says nothing about the old ones
    auto thread = ScanTwoPairs();
    EXPECT_TRUE(events.errors.empty());
    ASSERT_EQ(thread->EmptiedSides.size(), 1u);
    EXPECT_EQ(thread->EmptiedSides[0].side, 'B');
    EXPECT_EQ(thread->EmptiedSides[0].folder, pc + "Docs/");
    // The pair's files are all there for the decision step, each marked; the other pair is not.
    auto pairs = ByName(*thread);
    ASSERT_EQ(pairs.size(), 4u);
    for (const std::string name : {"a.txt", "b.txt", "unrelated.txt"})
        EXPECT_EQ(pairs[name].Emptied, 0) << name;
    EXPECT_FALSE(pairs["a.txt"].FileB.Present());
    EXPECT_EQ(pairs["m.mp3"].Emptied, -1);

    // The same on the drive side.
    Make(pc + "Docs/a.txt", "a", Day(1));
    fs::remove(pc + "Docs/unrelated.txt");
    fs::remove(drive + "Music/m.mp3");
    thread = ScanTwoPairs();
    EXPECT_TRUE(events.errors.empty());
    ASSERT_EQ(thread->EmptiedSides.size(), 1u);
    EXPECT_EQ(thread->EmptiedSides[0].side, 'A');
    EXPECT_EQ(thread->EmptiedSides[0].folder, drive + "Music/");
    EXPECT_EQ(ByName(*thread)["m.mp3"].Emptied, 0);
}

TEST_F(SyncSafetyTest, OneRecordedFileGoneIsAnOrdinaryDeletion) {
    SyncedOnce();
    fs::remove(pc + "Docs/a.txt");
    auto thread = ScanTwoPairs();
    EXPECT_TRUE(events.errors.empty());
    auto pairs = ByName(*thread);
    ASSERT_TRUE(pairs.contains("a.txt"));
    EXPECT_TRUE(pairs["a.txt"].FileA.Present());
    EXPECT_FALSE(pairs["a.txt"].FileB.Present());
    EXPECT_FALSE(pairs["a.txt"].New);
    EXPECT_EQ(pairs["a.txt"].FileA.OLDFileDateTime, Day(1));
}

TEST_F(SyncSafetyTest, EmptyComputerFolderAtTheFirstRunIsNoFault) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    fs::create_directories(pc + "Docs");
    fs::create_directories(drive + "Music");
    fs::create_directories(pc + "Music");
    for (int run = 0; run < 2; ++run) {
        auto thread = ScanTwoPairs();
        EXPECT_TRUE(events.errors.empty()) << "run " << run;
        EXPECT_EQ(thread->GetFilePairs().Count(), 1u);
    }
}

TEST_F(SyncSafetyTest, ComputerNamesDifferingOnlyInCaseAreLeftAlone) {
    Make(drive + "Docs/NOTE.TXT", "drive", Day(1));
    Make(pc + "Docs/Note.txt", "one", Day(2));
    Make(pc + "Docs/note.txt", "two", Day(3));
    Make(pc + "Docs/Plan.txt", "p1", Day(2));
    Make(pc + "Docs/plan.TXT", "p2", Day(3));              // no drive partner
    Make(pc + "Docs/\xc3\x89t\xc3\xa9.txt", "e1", Day(2)); // "Été.txt" and "été.txt": twins too
    Make(pc + "Docs/\xc3\xa9t\xc3\xa9.txt", "e2", Day(3));
    Make(pc + "Docs/\xc3\x89T\xc3\x89"
              "2.txt",
         "f1", Day(2)); // "ÉTÉ2.txt" and "éte2.txt": not twins
    Make(pc + "Docs/\xc3\xa9te2.txt", "f2", Day(3));
    Make(drive + "Docs/other.txt", "o", Day(1));
    Make(pc + "Docs/other.txt", "o", Day(1));
    fs::create_directories(drive + "Music");
    fs::create_directories(pc + "Music");
    auto thread = ScanTwoPairs();
    auto pairs = ByName(*thread);
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_TRUE(pairs.contains("other.txt"));
    EXPECT_TRUE(pairs.contains("\xc3\x89T\xc3\x89"
                               "2.txt"));
    EXPECT_TRUE(pairs.contains("\xc3\xa9te2.txt"));

    std::set<std::string> logged;
    for (const LogEntryEvent& e : events.logs) {
        EXPECT_TRUE(e.isError);
        logged.insert(e.fileName);
    }
    EXPECT_EQ(logged, (std::set<std::string>{pc + "Docs/Note.txt", pc + "Docs/note.txt", pc + "Docs/Plan.txt",
                                             pc + "Docs/plan.TXT", pc + "Docs/\xc3\x89t\xc3\xa9.txt",
                                             pc + "Docs/\xc3\xa9t\xc3\xa9.txt"}));
    thread.reset();
    EXPECT_EQ(ReadFile(pc + "Docs/Note.txt"), "one");
    EXPECT_EQ(ReadFile(pc + "Docs/note.txt"), "two");
    // Rows for NOTE.TXT (from the drive walk), other.txt and the two near-twins; none for twins.
    EXPECT_EQ(RowCount(), 4);
}

TEST_F(SyncSafetyTest, TwinsUnderFoldersDifferingInCaseAreLeftAlone) {
    Make(drive + "Docs/Sub/x.txt", "d", Day(1));
    Make(pc + "Docs/Sub/x.txt", "one", Day(2));
    Make(pc + "Docs/sub/x.txt", "two", Day(3));
    Make(pc + "Docs/sub/y.txt", "y", Day(3));
    fs::create_directories(drive + "Music");
    fs::create_directories(pc + "Music");
    auto thread = ScanTwoPairs();
    auto pairs = ByName(*thread);
    EXPECT_FALSE(pairs.contains("x.txt"));
    EXPECT_TRUE(pairs.contains("y.txt"));
    std::set<std::string> logged;
    for (const LogEntryEvent& e : events.logs)
        logged.insert(e.fileName);
    EXPECT_EQ(logged, (std::set<std::string>{pc + "Docs/Sub/x.txt", pc + "Docs/sub/x.txt"}));
}

TEST_F(SyncSafetyTest, FilePairWithAMissingFolderIsSkipped) {
    Make(drive + "Notes/one.txt", "1", Day(1));
    auto thread =
        Scan([&](ScanThread& t) { t.FileItems.AddItem("/Notes/one.txt", pc + "Gone/one.txt", false); });
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_NE(events.errors[0].text.find(pc + "Gone/"), std::string::npos);
    EXPECT_EQ(thread->GetFilePairs().Count(), 0u);
    thread.reset();
    EXPECT_EQ(RowCount(), 0);
}

TEST_F(SyncSafetyTest, FilePairWithAFifoOnOneSideIsLeftAloneOnBoth) {
    Make(drive + "Notes/one.txt", "1", Day(1));
    fs::create_directories(pc + "Notes");
    ASSERT_EQ(::mkfifo((pc + "Notes/one.txt").c_str(), 0644), 0);
    auto thread =
        Scan([&](ScanThread& t) { t.FileItems.AddItem("/Notes/one.txt", pc + "Notes/one.txt", false); });
    EXPECT_TRUE(events.errors.empty());
    EXPECT_EQ(thread->GetFilePairs().Count(), 0u);
    ASSERT_EQ(events.logs.size(), 1u);
    EXPECT_TRUE(events.logs[0].isError);
    EXPECT_EQ(events.logs[0].fileName, pc + "Notes/one.txt");
}

namespace {

// Cancels the run when the walk reaches a given folder.
class CancelAt final : public RecordingEvents {
public:
    std::string text;
    TThreadBase* thread = nullptr;
    void OnStatus(const TThreadBase& sender, const StatusEvent& e) override {
        RecordingEvents::OnStatus(sender, e);
        if (e.text == text && thread) thread->Terminate();
    }
};

} // namespace

TEST_F(SyncSafetyTest, ACancelInsideAPairDropsThatPair) {
    SyncedOnce();
    CancelAt sink;
    sink.text = " Searching..." + pc + "Docs/";
    auto thread = std::make_unique<ScanThread>(ThreadServices{files, clock});
    sink.thread = thread.get();
    thread->SetEvents(&sink);
    thread->SetDatabaseFile(database);
    thread->FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    thread->Start();
    thread->WaitFor();
    // The drive side was walked, the computer side was not: no half pair may look deleted.
    EXPECT_EQ(thread->GetFilePairs().Count(), 0u);
    EXPECT_EQ(sink.statuses.back().text, "Canceled :(");
}

namespace {

// A status handler that fails when the walk reaches a given folder: a fault deep in the walk.
class FailAt final : public RecordingEvents {
public:
    std::string text;
    void OnStatus(const TThreadBase& sender, const StatusEvent& e) override {
        RecordingEvents::OnStatus(sender, e);
        if (e.text == text) throw std::runtime_error("listing failed");
    }
};

} // namespace

TEST_F(SyncSafetyTest, AFaultInsideAPairDropsItsPairsAndRows) {
    Make(drive + "Docs/a.txt", "a", Day(1));
    Make(pc + "Docs/a.txt", "a", Day(1));
    Make(drive + "Music/m.mp3", "m", Day(1));
    Make(pc + "Music/sub/n.mp3", "n", Day(1));
    FailAt sink;
    sink.text = " Searching..." + pc + "Music/sub/";
    auto thread = ScanTwoPairs(&sink);
    ASSERT_EQ(sink.errors.size(), 1u);
    EXPECT_EQ(sink.errors[0].text, std::string(kThreadErrorPrefix) + "listing failed");
    auto pairs = ByName(*thread);
    EXPECT_EQ(pairs.size(), 1u);
    EXPECT_TRUE(pairs.contains("a.txt"));
    thread.reset();
    EXPECT_EQ(RowCount(), 1); // the Docs row stays, the Music rows are rolled back
}

namespace {

// A file service whose listing of one folder fails: as an unreadable folder fails, or with an
// exception, as running out of memory would.
class FaultyFolder final : public ForwardingFileSystem {
public:
    FaultyFolder(const IFileSystem& real, std::string folder, bool throws = false)
        : ForwardingFileSystem(real), folder_(std::move(folder)), throws_(throws) {}
    FileStatus ListFolder(const std::filesystem::path& f, const FolderVisitor& v,
                          ListDetail d = ListDetail::Full) const override {
        if (f.string() != folder_) return ForwardingFileSystem::ListFolder(f, v, d);
        if (throws_) throw std::runtime_error("no memory for the listing");
        return FileStatus::FromErrno(EACCES);
    }

private:
    std::string folder_;
    bool throws_;
};

} // namespace

TEST_F(SyncSafetyTest, UnreadableSubFolderLeavesItsFilesAloneOnBothSides) {
    for (const std::string name : {"Docs/keep.txt", "Docs/Sub/x.txt", "Docs/Sub/deeper/y.txt"}) {
        Make(drive + name, name, Day(1));
        Make(pc + name, name, Day(1));
    }
    fs::create_directories(drive + "Music");
    fs::create_directories(pc + "Music");
    for (const std::string side : {"computer", "drive"}) {
        const std::string root = side == "drive" ? drive : pc;
        const FaultyFolder fileSystem(files, root + "Docs/Sub/");
        auto thread = ScanTwoPairs(nullptr, &fileSystem);
        ASSERT_EQ(events.errors.size(), 1u) << side;
        EXPECT_NE(events.errors[0].text.find(root + "Docs/Sub/"), std::string::npos) << events.errors[0].text;
        auto pairs = ByName(*thread);
        EXPECT_EQ(pairs.size(), 1u) << side;
        EXPECT_TRUE(pairs.contains("keep.txt")) << side;
    }
}

TEST_F(SyncSafetyTest, AFaultOfAListingThreadDropsThatPairAndEndsTheScan) {
    SyncedOnce();
    Make(drive + "Music/sub/n.mp3", "n", Day(1));
    Make(pc + "Music/sub/n.mp3", "n", Day(1));
    for (const std::string side : {"drive", "computer"}) {
        const FaultyFolder fileSystem(files, (side == "drive" ? drive : pc) + "Music/sub/", true);
        auto thread = ScanTwoPairs(nullptr, &fileSystem);
        ASSERT_EQ(events.errors.size(), 1u) << side;
        EXPECT_EQ(events.errors[0].text, std::string(kThreadErrorPrefix) + "no memory for the listing")
            << side;
        // The Docs pair was scanned first; nothing of the Music pair may look deleted.
        EXPECT_TRUE(HasPairUnder(*thread, drive + "Docs/")) << side;
        EXPECT_FALSE(HasPairUnder(*thread, drive + "Music/")) << side;
        EXPECT_FALSE(HasPairUnder(*thread, pc + "Music/")) << side;
    }
}

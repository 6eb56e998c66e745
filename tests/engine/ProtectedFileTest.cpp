// The protected copy and delete on real files: overwrite rules, time carry-over, the store and
// its log rows, the low-disk prompt, the folder delete and cancelling a copy in flight.
#include "EngineTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kRunStart = EncodeDateTime({2010, 8, 16, 14, 5, 0, 0});
const TDateTime kOld = EncodeDateTime({2009, 1, 1, 10, 0, 0, 0});
const TDateTime kNew = EncodeDateTime({2009, 6, 1, 10, 0, 0, 0});

class ProtectedFileTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kRunStart};
    RecordingEvents events;
    std::vector<DeletedRow> rows;
    std::string store = (dir / "Store").string() + "/";

    std::unique_ptr<ProbeThread> MakeThread(bool moveToDeleted, const IFileSystem* fileSystem = nullptr) {
        auto t = std::make_unique<ProbeThread>(ThreadServices{fileSystem ? *fileSystem : files, clock});
        t->SetEvents(&events);
        t->SetDeletedStore({moveToDeleted, store}, LogInto(rows));
        return t;
    }

    std::string Make(const std::string& name, const std::string& content, TDateTime time) {
        const fs::path p = dir / name;
        fs::create_directories(p.parent_path());
        WriteFile(p, content);
        files.SetFileTime(p, time);
        return p.string();
    }

    std::string Stored(const std::string& path) const {
        return store + " 2010-08-16 14-05/" + path.substr(1);
    }
};

TEST_F(ProtectedFileTest, FailIfExistsLeavesTheTargetAndItsTime) {
    const std::string src = Make("src/a.txt", "new", kNew);
    const std::string dst = Make("dst/a.txt", "old", kOld);
    bool result = true;
    MakeThread(false)->RunBody([&](ProbeThread& t) { result = t.FileOps().Copy(src, dst, true, false); });
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadFile(dst), "old");
    EXPECT_EQ(files.FileTime(dst), kOld);
}

TEST_F(ProtectedFileTest, CopyCreatesFoldersAndCarriesTheTimeOver) {
    const std::string src = Make("src/a.txt", "content", kNew);
    const std::string fresh = (dir / "dst/deep/er/a.txt").string();
    const std::string existing = Make("dst/b.txt", "old", kOld);
    bool first = false, second = false;
    MakeThread(false)->RunBody([&](ProbeThread& t) {
        first = t.FileOps().Copy(src, fresh, true, false);
        second = t.FileOps().Copy(src, existing, false, false);
    });
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(ReadFile(fresh), "content");
    EXPECT_EQ(ReadFile(existing), "content");
    EXPECT_EQ(files.FileTime(fresh), kNew);
    EXPECT_EQ(files.FileTime(existing), kNew);
    ASSERT_FALSE(events.progress.empty());
    EXPECT_EQ(events.progress.back().action, "Copying File: a.txt");
    EXPECT_EQ(events.progress.back().percent, 100.0);
}

TEST_F(ProtectedFileTest, CopiesKeepTheSourceTimeExactly) {
    const std::string src = Make("src/odd.txt", "odd", kNew);
    // An odd second with a fraction: nothing of it may be cut to the two-second form.
    const auto exact =
        fs::last_write_time(src) + std::chrono::seconds(1) + std::chrono::nanoseconds(123456789);
    fs::last_write_time(src, exact);
    const std::string fresh = (dir / "dst/fresh.txt").string();
    const std::string replaced = Make("dst/replaced.txt", "old", kOld);
    MakeThread(false)->RunBody([&](ProbeThread& t) {
        EXPECT_TRUE(t.FileOps().Copy(src, fresh, true, false));
        EXPECT_TRUE(t.FileOps().Copy(src, replaced, false, false));
    });
    EXPECT_EQ(fs::last_write_time(fresh), exact);
    EXPECT_EQ(fs::last_write_time(replaced), exact);
    EXPECT_EQ(files.FileTime(replaced), files.FileTime(src));
}

TEST_F(ProtectedFileTest, ReadOnlyTargetIsReplacedAndEmptyFileHasZeroPercent) {
    const std::string src = Make("src/empty", "", kNew);
    const std::string dst = Make("dst/empty", "old", kOld);
    files.SetAttributes(dst, fa::ReadOnly);
    bool result = false;
    MakeThread(false)->RunBody([&](ProbeThread& t) { result = t.FileOps().Copy(src, dst, false, false); });
    EXPECT_TRUE(result);
    EXPECT_EQ(ReadFile(dst), "");
    for (const FileProgressEvent& e : events.progress)
        EXPECT_EQ(e.percent, 0.0);
}

// A file system that will not replace a read-only file (as some drives' do), or none at all.
class ReadOnlyGuard final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    bool refuseAll = false;
    mutable int copies = 0;
    FileStatus CopyFile(const fs::path& s, const fs::path& t, CopyMode m,
                        const CopyProgress& pr = {}) const override {
        ++copies;
        const auto attributes = GetAttributes(t);
        if (refuseAll || (attributes && (*attributes & fa::ReadOnly))) return FileStatus::FromErrno(EACCES);
        return ForwardingFileSystem::CopyFile(s, t, m, pr);
    }
};

TEST_F(ProtectedFileTest, ARefusedReadOnlyTargetIsUnlockedForTheCopyOrLockedAgain) {
    const std::string src = Make("src/a.txt", "new", kNew);
    const std::string dst = Make("dst/a.txt", "old", kOld);
    files.SetAttributes(dst, fa::ReadOnly);
    ReadOnlyGuard guard(files);
    bool result = false;
    MakeThread(false, &guard)->RunBody([&](ProbeThread& t) {
        result = t.FileOps().Copy(src, dst, false, false);
    });
    EXPECT_TRUE(result);
    EXPECT_EQ(guard.copies, 2);
    EXPECT_EQ(ReadFile(dst), "new");
    EXPECT_EQ(files.GetAttributes(dst).value_or(fa::ReadOnly) & fa::ReadOnly, 0u); // the source's

    files.SetAttributes(dst, fa::ReadOnly);
    guard.refuseAll = true;
    MakeThread(false, &guard)->RunBody([&](ProbeThread& t) {
        result = t.FileOps().Copy(src, dst, false, false);
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadFile(dst), "new");
    EXPECT_EQ(files.GetAttributes(dst).value_or(0) & fa::ReadOnly, fa::ReadOnly);
}

TEST_F(ProtectedFileTest, DeleteSourceTurnsTheCopyIntoAMove) {
    const std::string src = Make("src/a.txt", "moving", kNew);
    const std::string dst = (dir / "dst/a.txt").string();
    bool result = false;
    MakeThread(false)->RunBody([&](ProbeThread& t) { result = t.FileOps().Copy(src, dst, false, true); });
    EXPECT_TRUE(result);
    EXPECT_FALSE(fs::exists(src));
    EXPECT_EQ(ReadFile(dst), "moving");
}

TEST_F(ProtectedFileTest, SyncThreadDivertsANewerTargetIntoTheStore) {
    const std::string src = Make("src/a.txt", "older", kOld);
    const std::string dst = Make("dst/it's.txt", "newer", kNew);
    bool result = false;
    MakeThread(true)->RunBody([&](ProbeThread& t) { result = t.FileOps().Copy(src, dst, false, false); });
    EXPECT_TRUE(result);
    EXPECT_EQ(ReadFile(dst), "older");
    ASSERT_TRUE(fs::exists(Stored(dst)));
    EXPECT_EQ(ReadFile(Stored(dst)), "newer");
    ASSERT_EQ(rows.size(), 1u);
    // Relative to the store folder, so it begins with the blank and the stamp; the quote is
    // passed as it is (quoting is the database's business).
    EXPECT_EQ(rows[0].fileName, " 2010-08-16 14-05" + dst);
    EXPECT_EQ(rows[0].size, 5);
}

TEST_F(ProtectedFileTest, TwoDiversionsInOneMinuteKeepBothVersions) {
    const std::string first = Make("docs/a.txt", "first", kOld);
    MakeThread(true)->RunBody([&](ProbeThread& t) { (void)t.FileOps().Delete(first); });
    Make("docs/a.txt", "second", kOld);
    files.SetAttributes(first, fa::ReadOnly);
    const std::string src = Make("src/a.txt", "third", EncodeDateTime({2008, 1, 1, 0, 0, 0, 0}));
    MakeThread(true)->RunBody([&](ProbeThread& t) { (void)t.FileOps().Copy(src, first, false, false); });
    const std::string numbered = store + " 2010-08-16 14-05" + (dir / "docs/a (2).txt").string();
    EXPECT_EQ(ReadFile(Stored(first)), "first");
    EXPECT_EQ(ReadFile(numbered), "second");
    EXPECT_EQ(ReadFile(first), "third");
    // The diverted file keeps the attributes it had in place.
    EXPECT_EQ(files.GetAttributes(numbered).value_or(0) & fa::ReadOnly, fa::ReadOnly);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].fileName, " 2010-08-16 14-05" + (dir / "docs/a (2).txt").string());
}

TEST_F(ProtectedFileTest, StoreSettingWithoutSlashStampsASiblingFolder) {
    // The row is relative to the folder part of the setting, so here it begins with its name.
    store = (dir / "Store").string();
    const std::string src = Make("src/a.txt", "older", kOld);
    const std::string dst = Make("dst/a.txt", "newer", kNew);
    MakeThread(true)->RunBody([&](ProbeThread& t) { (void)t.FileOps().Copy(src, dst, false, false); });
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fileName, "Store 2010-08-16 14-05" + dst);
    EXPECT_EQ(ReadFile(store + " 2010-08-16 14-05" + dst), "newer");
}

TEST_F(ProtectedFileTest, BackupThreadAndStoreOffNeverDivert) {
    for (const bool backupKind : {true, false}) {
        const std::string src = Make("src/a.txt", "older", kOld);
        const std::string dst = Make("dst/a.txt", "newer", kNew);
        auto t = MakeThread(backupKind); // the store is on only for the backup kind
        t->divertsNewerTargets = !backupKind;
        bool result = false;
        t->RunBody([&](ProbeThread& th) { result = th.FileOps().Copy(src, dst, false, false); });
        EXPECT_TRUE(result);
        EXPECT_EQ(ReadFile(dst), "older");
        EXPECT_FALSE(fs::exists(store));
        EXPECT_TRUE(rows.empty());
    }
}

TEST_F(ProtectedFileTest, AnOlderTargetIsOverwrittenWithoutDiversion) {
    const std::string src = Make("src/a.txt", "newer", kNew);
    const std::string dst = Make("dst/a.txt", "older", kOld);
    MakeThread(true)->RunBody([&](ProbeThread& t) { (void)t.FileOps().Copy(src, dst, false, false); });
    EXPECT_EQ(ReadFile(dst), "newer");
    EXPECT_TRUE(rows.empty());
}

TEST_F(ProtectedFileTest, DeleteWithAndWithoutTheStore) {
    const std::string kept = Make("docs/kept.txt", "keep me", kOld);
    const std::string gone = Make("docs/gone.txt", "bye", kOld);
    bool stored = false, deleted = false, missing = true;
    MakeThread(true)->RunBody([&](ProbeThread& t) { stored = t.FileOps().Delete(kept); });
    MakeThread(false)->RunBody([&](ProbeThread& t) {
        deleted = t.FileOps().Delete(gone);
        missing = t.FileOps().Delete(gone);
        EXPECT_EQ(t.FileOps().LastError().code(), ENOENT);
    });
    EXPECT_TRUE(stored);
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_EQ(ReadFile(Stored(kept)), "keep me");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].size, 7);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_EQ(events.progress.back().action, "Deleting File: gone.txt");
}

TEST_F(ProtectedFileTest, DeleteFolderLeavesExcludedFilesAndTheirFolders) {
    Make("tree/a.txt", "a", kOld);
    Make("tree/keep.bak", "k", kOld);
    Make("tree/sub/b.txt", "b", kOld);
    Make("tree/sub/deeper/c.bak", "c", kOld);
    Make("tree/empty/d.txt", "d", kOld);
    Make("tree/skip/e.txt", "e", kOld); // an excluded folder
    auto t = MakeThread(false);
    TFileFilter filter;
    filter.ExcludeFileExtList.Add(".bak");
    t->SetFileFilter(filter);
    t->RunBody([&](ProbeThread& th) { th.FileOps().DeleteFolder((dir / "tree").string()); });
    EXPECT_TRUE(fs::exists(dir / "tree/keep.bak"));
    EXPECT_TRUE(fs::exists(dir / "tree/sub/deeper/c.bak"));
    EXPECT_TRUE(fs::exists(dir / "tree/skip/e.txt"));
    EXPECT_FALSE(fs::exists(dir / "tree/a.txt"));
    EXPECT_FALSE(fs::exists(dir / "tree/sub/b.txt"));
    EXPECT_FALSE(fs::exists(dir / "tree/empty"));
    ASSERT_EQ(events.logs.size(), 3u);
    for (const LogEntryEvent& e : events.logs) {
        EXPECT_EQ(e.action, "Delete File");
        EXPECT_EQ(e.status, "Done");
        EXPECT_FALSE(e.isError);
    }
    EXPECT_NE(std::find_if(events.statuses.begin(), events.statuses.end(),
                           [&](const StatusEvent& s) {
                               return s.text == "Deleteing File : " + (dir / "tree/a.txt").string();
                           }),
              events.statuses.end());
}

TEST_F(ProtectedFileTest, DeleteFolderMovesIntoTheStoreAndRemovesTheFolder) {
    const std::string a = Make("tree/sub/a.txt", "a", kOld);
    MakeThread(true)->RunBody([&](ProbeThread& t) { t.FileOps().DeleteFolder((dir / "tree/").string()); });
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_EQ(ReadFile(Stored(a)), "a");
}

class LowDiskTest : public ProtectedFileTest {
protected:
    std::string src = Make("src/big.bin", std::string(1000, 'x'), kNew);
    std::string dst = Make("dst/big.bin", "old", kOld);
    bool terminated = false;
    int spaceQueries = 0;

    // The overwriting copy of src onto dst with scripted free space and answers.
    bool CopyWith(std::vector<int64_t> free, std::deque<LowDiskAnswer> answers) {
        LowSpaceFileSystem tight(files, std::move(free));
        events.answers = std::move(answers);
        auto t = MakeThread(false, &tight);
        bool result = false;
        t->RunBody([&](ProbeThread& th) { result = th.FileOps().Copy(src, dst, false, false); });
        terminated = t->Terminated();
        spaceQueries = tight.SpaceQueries();
        return result;
    }
};

TEST_F(LowDiskTest, SkipGivesUpTheOneFile) {
    EXPECT_FALSE(CopyWith({10}, {LowDiskAnswer::Skip}));
    EXPECT_FALSE(terminated);
    EXPECT_EQ(ReadFile(dst), "old");
    ASSERT_EQ(events.questions.size(), 1u);
    const LowDiskQuestion& q = events.questions[0];
    EXPECT_EQ(q.caption, "Drivlet");
    EXPECT_EQ(q.title, "Low Disk Space");
    EXPECT_EQ(q.message,
              "You are running low on disk space on the drive of the folder \"" + (dir / "dst").string() +
                  "/\".Free up Space on drive or enter a new drive and try again.\n\nFile Name: " + dst +
                  "\nFile Size: 1000 bytes\nAvailable On Disk: 10 bytes");
}

TEST_F(LowDiskTest, AReadOnlyTargetGivenUpStaysReadOnlyAndAKnownSizeIsWhatIsAsked) {
    files.SetAttributes(dst, fa::ReadOnly);
    LowSpaceFileSystem tight(files, {1500});
    auto t = MakeThread(false, &tight);
    bool result = true;
    // The size the caller listed a moment ago stands for the source's.
    t->RunBody([&](ProbeThread& th) { result = th.FileOps().Copy(src, dst, false, false, 2000); });
    EXPECT_FALSE(result);
    EXPECT_EQ(ReadFile(dst), "old");
    EXPECT_EQ(files.GetAttributes(dst).value_or(0) & fa::ReadOnly, fa::ReadOnly);
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_NE(events.questions[0].message.find("File Size: 1.95 Kb"), std::string::npos)
        << events.questions[0].message;
}

TEST_F(LowDiskTest, AbortTerminatesTheThread) {
    EXPECT_FALSE(CopyWith({10}, {LowDiskAnswer::Abort}));
    EXPECT_TRUE(terminated);
    EXPECT_EQ(ReadFile(dst), "old");
}

TEST_F(LowDiskTest, RetryReadsTheFreeSpaceAgain) {
    EXPECT_TRUE(CopyWith({10, 500, int64_t(1) << 40}, {LowDiskAnswer::Retry, LowDiskAnswer::Retry}));
    EXPECT_EQ(events.questions.size(), 2u);
    EXPECT_EQ(spaceQueries, 3);
    EXPECT_EQ(ReadFile(dst), std::string(1000, 'x'));
}

TEST_F(LowDiskTest, UnknownFreeSpaceAsksNothing) {
    EXPECT_TRUE(CopyWith({-1}, {}));
    EXPECT_TRUE(events.questions.empty());
}

TEST_F(LowDiskTest, TheStoreIsCheckedBeforeAFileIsDivertedIntoIt) {
    LowSpaceFileSystem tight(files, {1});
    auto t = MakeThread(true, &tight);
    bool result = true;
    t->RunBody([&](ProbeThread& th) { result = th.FileOps().Delete(src); });
    EXPECT_FALSE(result); // skipped by the sink's default answer
    EXPECT_TRUE(fs::exists(src));
    EXPECT_TRUE(rows.empty());
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_NE(events.questions[0].message.find("File Name: " + Stored(src)), std::string::npos);
}

TEST(CancelCopy, StopsALongCopyAndKeepsTheOldTarget) {
    TempDir dir;
    LinuxFileSystemOptions options;
    options.chunkBytes = 64 * 1024;
    LinuxFileSystem files(options);
    ManualClock clock;
    RecordingEvents events;
    const fs::path src = dir / "big.bin", dst = dir / "out/big.bin";
    WriteFile(src, std::string(8 << 20, 'b'));
    fs::create_directories(dst.parent_path());
    WriteFile(dst, "old target");
    ProbeThread thread({files, clock});
    thread.SetEvents(&events);
    events.onProgress = [&](const FileProgressEvent& e) {
        if (e.percent > 10) thread.Terminate();
    };
    bool result = true;
    int code = 0;
    thread.RunBody([&](ProbeThread& t) {
        result = t.FileOps().Copy(src.string(), dst.string(), false, false);
        code = t.FileOps().LastError().code();
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(code, ECANCELED);
    EXPECT_EQ(ReadFile(dst), "old target");
    EXPECT_LT(events.progress.back().percent, 50.0);
    EXPECT_EQ(fs::directory_iterator(dst.parent_path()) == fs::directory_iterator(), false);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dst.parent_path()))
        ++entries;
    EXPECT_EQ(entries, 1); // no partial copy left beside it
}

} // namespace

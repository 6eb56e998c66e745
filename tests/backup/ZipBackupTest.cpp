// The zip backup on real trees: one Root.Zip with entry names relative to "/", replacing changed
// entries, time-stamped runs, completely-new, moves that delete only after the archive is
// written, encryption, a cancelled or failed write that keeps the old archive.
#include "ZipFixture.h"

#include "core/engine/backup/ZipLayout.h"

#include <cstdlib>
#include <set>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class ZipBackupTest : public ZipFixture {
protected:
    std::vector<std::string> FolderNames(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Two incremental runs of the tree, a.txt changed in between.
    void RunTwiceWithAChangedFile() {
        MakeTree();
        RunZip(TArchiveMode::amIncremental, dest);
        Make(source + "a.txt", "alpha, second edition", kFirstRun + kHour);
        clock.Advance(2 * kHour);
        RunZip(TArchiveMode::amIncremental, dest);
    }
};

// Calls a hook on every status line.
struct HookedEvents : RecordingEvents {
    std::function<void(const StatusEvent&)> onStatus;
    void OnStatus(const TThreadBase& t, const StatusEvent& e) override {
        RecordingEvents::OnStatus(t, e);
        if (onStatus) onStatus(e);
    }
};

TEST(ZipLayoutTest, ArchiveAndEntryNamesFollowTheSourceForm) {
    EXPECT_EQ(ZipArchiveName("/home/alice/Docs/"), "Root.Zip");
    EXPECT_EQ(ZipEntryName("/home/alice/Docs/a.txt"), "home/alice/Docs/a.txt");
    EXPECT_EQ(ZipArchiveName("C:\\Docs\\"), "C.Zip");
    EXPECT_EQ(ZipArchiveName("d:\\Work\\x.txt"), "d.Zip");
    EXPECT_EQ(ZipEntryName("C:\\Docs\\sub\\a.txt"), "Docs/sub/a.txt");
    EXPECT_EQ(ZipArchiveName("\\\\server\\share\\Docs\\"), "__server~share.Zip");
    EXPECT_EQ(ZipEntryName("\\\\server\\share\\Docs\\a.txt"), "Docs/a.txt");
}

TEST_F(ZipBackupTest, ZipNameForPutsEveryPosixSourceIntoRootZip) {
    auto job = MakeZipJob(TArchiveMode::amIncremental, "/media/STICK/Bak/");
    EXPECT_EQ(job->ZipNameFor("/home/alice/Docs/"), "/media/STICK/Bak/Root.Zip");
    EXPECT_EQ(job->ZipNameFor("/srv/x.txt"), "/media/STICK/Bak/Root.Zip");
    EXPECT_EQ(job->ZipNameFor("C:\\Docs\\"), "/media/STICK/Bak/C.Zip");
    EXPECT_EQ(job->ZipNameFor("\\\\srv\\share\\Docs\\"), "/media/STICK/Bak/__srv~share.Zip");
}

TEST_F(ZipBackupTest, IncrementalStoresTheTreeWithFolderNamesAndHiddenFiles) {
    MakeTree();
    Make(source + ".hidden", "secret dot file");
    const std::string single = Make(root + "notes/todo.txt", "single file");
    auto job = MakeZipJob(TArchiveMode::amIncremental, dest);
    job->SetFileList({single});
    RunJob(*job);

    const auto entries = Entries(archive);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "sub/deep/c.txt")), "charlie");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + ".hidden")), "secret dot file");
    EXPECT_EQ(ReadEntry(archive, EntryOf(single)), "single file");
    const ZipEntryInfo& a = entries.at(EntryOf(source + "a.txt"));
    EXPECT_EQ(a.size, 5);
    EXPECT_EQ(a.time, kFileTime);
    EXPECT_FALSE(a.encrypted);

    EXPECT_EQ(Logs("Zip File").size(), 5u);
    for (const auto& e : Logs("Zip File"))
        EXPECT_EQ(e.status, "Done") << e.fileName;
    EXPECT_EQ(LastCopied(source + "sub/b.txt"), kFirstRun);
    EXPECT_EQ(LastCopied(single), kFirstRun);
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_EQ(events->statuses.back().percent, 100);
    const auto rows = History();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Status, "Finished !");
    EXPECT_EQ(rows[0].Format, "Incremental");
    // Nothing but the archive is left in the folder.
    EXPECT_EQ(FolderNames(dest), (std::vector<std::string>{"Root.Zip"}));
}

TEST_F(ZipBackupTest, IncrementalReRunReplacesOnlyTheChangedEntry) {
    RunTwiceWithAChangedFile();

    const auto entries = Entries(archive);
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha, second edition");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "sub/b.txt")), "bravo");
    const auto added = Logs("Zip File");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].fileName, source + "a.txt");
    EXPECT_EQ(LastCopied(source + "a.txt"), kFirstRun + 2 * kHour);
    EXPECT_EQ(LastCopied(source + "sub/b.txt"), kFirstRun);
    EXPECT_EQ(History().size(), 1u);
}

// The front ends tell the statuses apart by their phase: each text the user sees must carry the
// phase its wording stands for.
TEST_F(ZipBackupTest, EveryStatusCarriesThePhaseItsTextStandsFor) {
    RunTwiceWithAChangedFile();

    const auto phaseOf = [](const std::string& text) {
        const std::pair<const char*, StatusPhase> prefixes[] = {
            {"File : ", StatusPhase::File},
            {"Adding File : ", StatusPhase::AddingFile},
            {"Skiping File : ", StatusPhase::SkippingFile},
            {" Searching...", StatusPhase::Searching},
            {"Finished !", StatusPhase::Finished},
            {"Canceled", StatusPhase::Canceled}};
        for (const auto& [prefix, phase] : prefixes)
            if (text.starts_with(prefix)) return phase;
        return StatusPhase::Step;
    };
    std::set<StatusPhase> seen;
    for (const StatusEvent& status : events->statuses) {
        EXPECT_EQ(status.phase, phaseOf(status.text)) << status.text;
        seen.insert(status.phase);
    }
    for (const StatusPhase phase : {StatusPhase::Searching, StatusPhase::AddingFile,
                                    StatusPhase::SkippingFile, StatusPhase::Step, StatusPhase::Finished})
        EXPECT_TRUE(seen.contains(phase)) << static_cast<int>(phase);
}

TEST_F(ZipBackupTest, AChangedFileWhoseNameIsNotUtf8ReplacesItsEntryRunAfterRun) {
    const std::string name = "bad\xff.txt";
    Make(source + name, "first", kFirstRun);
    RunZip(TArchiveMode::amIncremental, dest);
    for (int round = 1; round <= 2; ++round) {
        clock.Advance(2 * kHour);
        Make(source + name, "edition " + std::to_string(round), clock.Now() - kHour);
        RunZip(TArchiveMode::amIncremental, dest);
        EXPECT_TRUE(events->errors.empty()) << events->errors[0].text;
        for (const LogEntryEvent& e : events->logs)
            EXPECT_FALSE(e.isError) << e.fileName << ": " << e.status;
        EXPECT_EQ(ReadEntry(archive, EntryOf(source + name)), "edition " + std::to_string(round));
    }
}

TEST_F(ZipBackupTest, IncrementalAddsAgainWhatALostArchiveHeld) {
    MakeTree();
    RunZip(TArchiveMode::amIncremental, dest);
    fs::remove(archive);
    clock.Advance(kHour);
    RunZip(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(Entries(archive).size(), 3u);
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "sub/b.txt")), "bravo");
}

TEST_F(ZipBackupTest, OnlyNewSkipsRecordedFilesWithoutALogLine) {
    MakeTree();
    RunZip(TArchiveMode::amOnlyNew, dest);
    Make(source + "a.txt", "changed", kFirstRun + kHour);
    Make(source + "new.txt", "new");
    clock.Advance(2 * kHour);
    RunZip(TArchiveMode::amOnlyNew, dest);
    const auto added = Logs("Zip File");
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].fileName, source + "new.txt");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha");
    EXPECT_EQ(History().at(0).Format, "Only New");
}

TEST_F(ZipBackupTest, TwoTimeStampedRunsWriteTwoCompleteArchives) {
    MakeTree();
    const std::string first = drive + "Backup 2024-03-01 09-00/";
    const std::string second = drive + "Backup 2024-03-01 09-01/";
    RunZip(TArchiveMode::amTimeStamped, first);
    clock.Advance(1.0 / 1440);
    RunZip(TArchiveMode::amTimeStamped, second);
    EXPECT_EQ(Entries(first + "Root.Zip").size(), 3u);
    EXPECT_EQ(Entries(second + "Root.Zip").size(), 3u);
    const auto rows = History();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Format, "Time Stamped");
    EXPECT_EQ(rows[1].Status, "Finished !");
}

TEST_F(ZipBackupTest, CompletelyNewDeletesTheOldArchivesPlainly) {
    MakeTree();
    RunZip(TArchiveMode::amIncremental, dest);
    Make(dest + "D.Zip", "not written by the job");
    Make(dest + "old.zip", "nor this one");
    Make(dest + "keep.txt", "not an archive");
    fs::remove(source + "sub/b.txt");
    clock.Advance(kHour);
    auto job = MakeZipJob(TArchiveMode::amCompletelyNew, dest, /*moveToDeleted=*/true);
    RunJob(*job);

    // Only the job's own archive went, and was written again.
    EXPECT_EQ(FolderNames(dest), (std::vector<std::string>{"D.Zip", "Root.Zip", "keep.txt", "old.zip"}));
    const auto entries = Entries(archive);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count(EntryOf(source + "sub/b.txt")), 0u);
    // Old archives never go into the deleted-files store.
    EXPECT_TRUE(storeRows.empty());
    EXPECT_FALSE(Exists(store));
    bool deletingShown = false;
    for (const auto& s : events->statuses)
        deletingShown |= s.text == "Deleting Archive... ";
    EXPECT_TRUE(deletingShown);
    EXPECT_EQ(History().at(0).Format, "Completely New");
}

TEST_F(ZipBackupTest, MoveDeletesOnlyTheTopLevelFilesOnceTheArchiveIsWritten) {
    MakeTree();
    const std::string single = Make(root + "notes/todo.txt", "single file");
    auto job = MakeZipJob(TArchiveMode::amMove, dest);
    job->SetDeleteSources(true);
    job->SetFileList({single});
    RunJob(*job);

    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "sub/deep/c.txt")), "charlie");
    EXPECT_EQ(ReadEntry(archive, EntryOf(single)), "single file");
    EXPECT_FALSE(Exists(source + "a.txt"));
    EXPECT_FALSE(Exists(single));
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(source + "sub/deep/c.txt"), "charlie");
    EXPECT_EQ(History().at(0).Format, "");
}

TEST_F(ZipBackupTest, MoveWithoutDeleteFileDeletesNothing) {
    MakeTree();
    RunZip(TArchiveMode::amMove, dest);
    EXPECT_EQ(Entries(archive).size(), 3u);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
}

TEST_F(ZipBackupTest, AFailedArchiveWriteKeepsTheOldArchiveAndEverySource) {
    MakeTree();
    RunZip(TArchiveMode::amIncremental, dest);
    const std::string before = ReadFile(archive);
    Make(source + "a.txt", "alpha 2", kFirstRun + kHour);
    Make(source + "sub/b.txt", "bravo 2", kFirstRun + kHour);
    clock.Advance(2 * kHour);

    auto job = MakeZipJob(TArchiveMode::amMove, dest);
    job->SetDeleteSources(true);
    HookedEvents sink;
    // A queued file vanishes just before the archive is written.
    bool moved = false;
    sink.onStatus = [&](const StatusEvent& e) {
        if (moved || e.text.rfind("Saving Archive : ", 0) != 0) return;
        moved = true;
        fs::rename(source + "sub/b.txt", root + "b.away");
    };
    RunJob(*job, &sink);

    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha 2");
    EXPECT_EQ(FolderNames(dest), (std::vector<std::string>{"Root.Zip"}));
    int failed = 0;
    for (const auto& e : sink.logs) {
        if (e.action != "Zip File") continue;
        EXPECT_TRUE(e.isError);
        EXPECT_EQ(e.status.rfind("Error Code ", 0), 0u) << e.status;
        ++failed;
    }
    EXPECT_EQ(failed, 2);
    EXPECT_FALSE(sink.errors.empty());
    EXPECT_EQ(LastCopied(source + "a.txt"), kFirstRun);
}

TEST_F(ZipBackupTest, AnUnreadableFileFailsAloneAndTheRestIsWritten) {
    MakeTree();
    // Listed as a file, but nothing can be read through it (whatever the test's rights).
    const std::string broken = source + "broken.lnk";
    fs::create_symlink(root + "nowhere.txt", broken);
    RunZip(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(Entries(archive).size(), 3u);
    int failed = 0;
    for (const auto& e : Logs("Zip File")) {
        EXPECT_EQ(e.isError, e.fileName == broken) << e.fileName;
        if (!e.isError) continue;
        EXPECT_EQ(e.status, "Error Code 11");
        ++failed;
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(events->errors.size(), 1u);
    EXPECT_FALSE(LastCopied(broken).has_value());
    EXPECT_TRUE(LastCopied(source + "a.txt").has_value());
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(ZipBackupTest, APasswordEncryptsEveryEntry) {
    MakeTree();
    RunZip(TArchiveMode::amIncremental, dest, "s3cret pass");
    const auto entries = Entries(archive);
    ASSERT_EQ(entries.size(), 3u);
    for (const auto& [name, e] : entries)
        EXPECT_TRUE(e.encrypted) << name;
    EXPECT_NE(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha");
    EXPECT_NE(ReadEntry(archive, EntryOf(source + "a.txt"), "wrong"), "alpha");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt"), "s3cret pass"), "alpha");
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "sub/deep/c.txt"), "s3cret pass"), "charlie");
    // The raw archive holds no plain text of the files.
    EXPECT_EQ(ReadFile(archive).find("charlie"), std::string::npos);

    if (!fs::exists("/usr/bin/7zz")) GTEST_SKIP() << "7zz is not installed";
    const std::string quiet = " >/dev/null 2>&1";
    EXPECT_EQ(std::system(("/usr/bin/7zz t '-ps3cret pass' '" + archive + "'" + quiet).c_str()), 0);
    EXPECT_NE(std::system(("/usr/bin/7zz t -pwrong '" + archive + "'" + quiet).c_str()), 0);
}

TEST_F(ZipBackupTest, NoPasswordWritesPlainEntries) {
    MakeTree();
    RunZip(TArchiveMode::amIncremental, dest);
    for (const auto& [name, e] : Entries(archive))
        EXPECT_FALSE(e.encrypted) << name;
}

TEST_F(ZipBackupTest, ACancelWhileTheArchiveIsWrittenKeepsTheOldOne) {
    MakeTree();
    RunZip(TArchiveMode::amIncremental, dest);
    const std::string before = ReadFile(archive);
    std::string big(6 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
    Make(source + "big.bin", big, kFirstRun + kHour);
    clock.Advance(2 * kHour);

    auto job = MakeZipJob(TArchiveMode::amIncremental, dest);
    events = std::make_unique<RecordingEvents>();
    bool sawSaving = false;
    events->onProgress = [&](const FileProgressEvent& e) {
        if (e.action == "Saving Archive: Root.Zip") {
            sawSaving = true;
            job->Terminate();
        }
    };
    RunJob(*job, events.get());

    EXPECT_TRUE(sawSaving);
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(FolderNames(dest), (std::vector<std::string>{"Root.Zip"}));
    EXPECT_EQ(LastStatus(), "Canceled");
    EXPECT_EQ(History().at(0).Status, "Canceled");
    EXPECT_FALSE(LastCopied(source + "big.bin").has_value());
    EXPECT_TRUE(Logs("Zip File").empty());
}

TEST_F(ZipBackupTest, WritingTheArchiveReportsItsProgress) {
    MakeTree();
    Make(source + "big.bin", std::string(3 << 20, 'z'));
    auto job = MakeZipJob(TArchiveMode::amIncremental, dest);
    RunJob(*job);
    bool named = false;
    for (const auto& s : events->statuses)
        named |= s.text == "Saving Archive : " + archive;
    EXPECT_TRUE(named);
    double last = -1;
    for (const auto& p : events->progress) {
        if (p.action != "Saving Archive: Root.Zip") continue;
        EXPECT_GE(p.percent, last);
        last = p.percent;
    }
    EXPECT_EQ(last, 100.0);
    const ThreadCounters counters = job->Counters();
    EXPECT_EQ(counters.BytesDone, counters.BytesTotal);
    EXPECT_EQ(counters.BytesDone, (3 << 20) + 5 + 5 + 7);
}

} // namespace

namespace {

// A killed run leaves the library's new copy of the archive beside it; the next run removes it,
// but never while another run holds the archive's write lock, nor a user's file of a like name.
TEST_F(ZipBackupTest, CopiesOfTheArchiveLeftByKilledRunsAreRemoved) {
    fs::create_directories(dest);
    Make(archive + ".k1Ll3d", std::string(4096, 'z'));
    Make(archive + ".notes", "the user's");
    Make(dest + "Root.Zip.Ab3dE9.txt", "the user's too");
    {
        FileStatus status;
        const std::unique_ptr<IFileLock> live = files.TryLock(ZipWriteLockFile(archive), status);
        ASSERT_TRUE(live) << status.message();
        RunZip(TArchiveMode::amIncremental, dest);
        EXPECT_TRUE(Exists(archive + ".k1Ll3d")); // another run may be writing it now
    }
    Make(source + "a.txt", "alpha 2", kFirstRun + kHour);
    RunZip(TArchiveMode::amIncremental, dest);
    EXPECT_FALSE(Exists(archive + ".k1Ll3d"));
    EXPECT_TRUE(Exists(archive + ".notes"));
    EXPECT_TRUE(Exists(dest + "Root.Zip.Ab3dE9.txt"));
    EXPECT_FALSE(Exists(ZipWriteLockFile(archive)));
    EXPECT_EQ(ReadEntry(archive, EntryOf(source) + "a.txt"), "alpha 2");
}

// A name of the program's temporary form proves nothing: a user's file named so is backed up like
// any other, and kept; only a file a copy is writing now is left out.
TEST_F(ZipBackupTest, AUsersFileNamedLikeATemporaryFileIsBackedUp) {
    Make(source + ".drivlet-tmp-12345-00ff00ff00ff00ff", "the user's, named oddly", kFileTime);
    Make(source + ".drivlet-tmp-being-written", "a copy under way", kFileTime);
    const int held = open((source + ".drivlet-tmp-being-written").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    clock.Advance(2 * kHour);
    RunZip(TArchiveMode::amIncremental, dest);
    close(held);
    const auto entries = Entries(archive);
    EXPECT_EQ(ReadEntry(archive, EntryOf(source) + ".drivlet-tmp-12345-00ff00ff00ff00ff"),
              "the user's, named oddly");
    EXPECT_EQ(entries.count(EntryOf(source) + ".drivlet-tmp-being-written"), 0u);
    EXPECT_TRUE(Exists(source + ".drivlet-tmp-12345-00ff00ff00ff00ff"));
}

} // namespace

// The folder-copy backup in its copy modes on real trees: the mirrored layout, incremental
// re-copies, only-new never overwriting, completely-new diverting the old backup, two
// time-stamped runs, single files and the file filter.
#include "BackupFixture.h"

#include "core/engine/PathMapping.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace drivlet;
using namespace drivlet::test;

namespace {

class CopyModesTest : public BackupFixture {
protected:
    // Where a source file lands below the backup folder.
    std::string Mirror(const std::string& path, const std::string& archive) const {
        return archive + path.substr(1);
    }
};

TEST_F(CopyModesTest, TargetForMirrorsTheWholeSourcePath) {
    auto job = MakeJob(TArchiveMode::amIncremental, "/media/STICK/Bak/");
    EXPECT_EQ(job->TargetFor("/home/alice/Docs/"), "/media/STICK/Bak/home/alice/Docs/");
    EXPECT_EQ(job->TargetFor("/home/alice/Docs/a.txt"), "/media/STICK/Bak/home/alice/Docs/a.txt");
    EXPECT_EQ(job->TargetFor("C:\\Docs\\a.txt"), "/media/STICK/Bak/C\\Docs\\a.txt");
    EXPECT_EQ(job->TargetFor("\\\\srv\\s\\"), "/media/STICK/Bak/__srv\\s\\");
}

TEST_F(CopyModesTest, IncrementalCopiesTheTreeAndRecordsEveryFile) {
    MakeTree();
    RunMode(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(ReadFile(Mirror(source + "a.txt", dest)), "alpha");
    EXPECT_EQ(ReadFile(Mirror(source + "sub/b.txt", dest)), "bravo");
    EXPECT_EQ(ReadFile(Mirror(source + "sub/deep/c.txt", dest)), "charlie");
    EXPECT_EQ(files.FileTime(Mirror(source + "a.txt", dest)), kFileTime);
    EXPECT_EQ(LastCopied(source + "sub/deep/c.txt"), kFirstRun);
    EXPECT_EQ(Logs("Copy File").size(), 3u);
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_EQ(events->statuses.back().percent, 100);
}

TEST_F(CopyModesTest, IncrementalRecopiesChangedAndDeletedTargetsOnly) {
    MakeTree();
    RunMode(TArchiveMode::amIncremental, dest);
    Make(source + "a.txt", "alpha 2", kFirstRun + kHour);
    std::filesystem::remove(Mirror(source + "sub/b.txt", dest));
    clock.Advance(2 * kHour);
    RunMode(TArchiveMode::amIncremental, dest);
    const auto copies = Logs("Copy File");
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(ReadFile(Mirror(source + "a.txt", dest)), "alpha 2");
    EXPECT_EQ(ReadFile(Mirror(source + "sub/b.txt", dest)), "bravo");
    EXPECT_EQ(LastCopied(source + "a.txt"), kFirstRun + 2 * kHour);
    EXPECT_EQ(LastCopied(source + "sub/deep/c.txt"), kFirstRun); // untouched
    EXPECT_EQ(events->statuses.back().percent, 100);
}

TEST_F(CopyModesTest, OnlyNewNeverOverwrites) {
    MakeTree();
    RunMode(TArchiveMode::amOnlyNew, dest);
    Make(source + "a.txt", "alpha 2", kFirstRun + kHour); // has a row: skipped silently
    Make(source + "new.txt", "fresh");
    Make(Mirror(source + "clash.txt", dest), "old target");
    Make(source + "clash.txt", "no row, target exists");
    clock.Advance(2 * kHour);
    RunMode(TArchiveMode::amOnlyNew, dest);
    EXPECT_EQ(ReadFile(Mirror(source + "a.txt", dest)), "alpha");
    EXPECT_EQ(ReadFile(Mirror(source + "new.txt", dest)), "fresh");
    EXPECT_EQ(ReadFile(Mirror(source + "clash.txt", dest)), "old target");
    const auto copies = Logs("Copy File");
    ASSERT_EQ(copies.size(), 2u);
    for (const auto& e : copies) {
        if (e.fileName == source + "clash.txt") {
            EXPECT_TRUE(e.isError);
            EXPECT_EQ(e.status, "File exists");
        } else {
            EXPECT_EQ(e.fileName, source + "new.txt");
            EXPECT_EQ(e.status, "Done");
        }
    }
    EXPECT_FALSE(LastCopied(source + "clash.txt").has_value());
}

TEST_F(CopyModesTest, CompletelyNewDivertsTheOldBackupIntoTheStore) {
    MakeTree();
    RunMode(TArchiveMode::amCompletelyNew, dest);
    std::filesystem::remove(source + "sub/b.txt");
    Make(Mirror(source + "stray.txt", dest), "only in the backup");
    clock.Advance(kHour);
    RunMode(TArchiveMode::amCompletelyNew, dest, true);
    EXPECT_FALSE(Exists(Mirror(source + "sub/b.txt", dest)));
    // Only the job's own copies go: a file it never wrote stays where it is.
    EXPECT_EQ(ReadFile(Mirror(source + "stray.txt", dest)), "only in the backup");
    EXPECT_EQ(ReadFile(Mirror(source + "a.txt", dest)), "alpha");
    // The old copies are in the store under this run's stamp.
    const std::string stamped = DeletedPathFor(store, kFirstRun + kHour, Mirror(source + "sub/b.txt", dest));
    EXPECT_EQ(ReadFile(stamped), "bravo");
    EXPECT_EQ(storeRows.size(), 3u);
    EXPECT_EQ(events->statuses.front().text, " Searching... ");
    EXPECT_EQ(History().at(0).Status, "Finished !");
}

TEST_F(CopyModesTest, CompletelyNewRefusesToDeleteAFolderHoldingItsSources) {
    MakeTree();
    auto job = MakeJob(TArchiveMode::amCompletelyNew, root + "home/");
    Run(*job);
    ASSERT_EQ(events->errors.size(), 1u);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_EQ(History().at(0).Status, "Not Completed");
}

TEST_F(CopyModesTest, TwoTimeStampedRunsGiveTwoCopiesAndTwoRows) {
    MakeTree();
    const std::string first = drive + "Backup 2024-03-01 09-00/";
    const std::string second = drive + "Backup 2024-03-01 09-01/";
    RunMode(TArchiveMode::amTimeStamped, first);
    clock.Advance(1.0 / 1440);
    RunMode(TArchiveMode::amTimeStamped, second);
    for (const std::string& folder : {first, second}) {
        EXPECT_EQ(ReadFile(Mirror(source + "a.txt", folder)), "alpha");
        EXPECT_EQ(ReadFile(Mirror(source + "sub/deep/c.txt", folder)), "charlie");
    }
    const auto rows = History();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].ArchiveFolder, "/Backup 2024-03-01 09-00/");
    EXPECT_EQ(rows[1].ArchiveFolder, "/Backup 2024-03-01 09-01/");
    EXPECT_EQ(rows[1].Format, "Time Stamped");
    EXPECT_EQ(rows[1].Status, "Finished !");
}

TEST_F(CopyModesTest, TimeStampedIncrementalCopiesOnlyChangedFiles) {
    MakeTree();
    const std::string first = drive + "Backup 1/";
    const std::string second = drive + "Backup 2/";
    RunMode(TArchiveMode::amTimeStampedIncremental, first);
    Make(source + "a.txt", "alpha 2", kFirstRun + kHour);
    clock.Advance(2 * kHour);
    RunMode(TArchiveMode::amTimeStampedIncremental, second);
    EXPECT_EQ(ReadFile(Mirror(source + "a.txt", second)), "alpha 2");
    // Unchanged files are not copied again, though the new folder lacks them.
    EXPECT_FALSE(Exists(Mirror(source + "sub/b.txt", second)));
    EXPECT_EQ(History().size(), 2u);
}

TEST_F(CopyModesTest, FilteredFilesAreNeitherCopiedNorCounted) {
    MakeTree();
    Make(source + "sub/skip.tmp", std::string(100, 't'));
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    TFileFilter filter;
    filter.ExcludeFileExtList.Add(".tmp");
    job->SetFileFilter(filter);
    Run(*job);
    EXPECT_FALSE(Exists(Mirror(source + "sub/skip.tmp", dest)));
    const ThreadCounters c = job->Counters();
    EXPECT_EQ(c.BytesTotal, c.BytesDone);
    EXPECT_EQ(c.FilesDone, c.FilesTotal);
    EXPECT_EQ(events->statuses.back().percent, 100);
}

TEST_F(CopyModesTest, SingleFilesAreCopiedToTheirMirroredPlace) {
    const std::string single = Make(root + "etc/app.conf", "setting=1");
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    job->SetFolderList({});
    job->SetFileList({single, root + "etc/missing.conf"});
    Run(*job);
    EXPECT_EQ(ReadFile(Mirror(single, dest)), "setting=1");
    EXPECT_EQ(Logs("Copy File").size(), 1u);
    // An unchanged single file with its target in place is left alone next time.
    clock.Advance(kHour);
    auto again = MakeJob(TArchiveMode::amIncremental, dest);
    again->SetFolderList({});
    again->SetFileList({single});
    Run(*again);
    EXPECT_TRUE(Logs("Copy File").empty());
}

TEST_F(CopyModesTest, FilesDifferingOnlyInLetterCaseAreBothBackedUp) {
    Make(source + "Report.txt", "upper");
    RunMode(TArchiveMode::amOnlyNew, dest);
    Make(source + "report.txt", "lower");
    clock.Advance(kHour);
    RunMode(TArchiveMode::amOnlyNew, dest);
    EXPECT_EQ(ReadFile(Mirror(source + "Report.txt", dest)), "upper");
    EXPECT_EQ(ReadFile(Mirror(source + "report.txt", dest)), "lower");
    EXPECT_EQ(LastCopied(source + "Report.txt"), kFirstRun);
}

TEST_F(CopyModesTest, IncrementalRerunTellsCaseTwinsAndTheirFoldersApart) {
    Make(source + "Report.txt", "upper");
    Make(source + "report.txt", "lower");
    Make(source + "Sub/a.txt", "upper folder");
    Make(source + "sub/a.txt", "lower folder");
    Make(source + "sub/deeper/a.txt", "deep");
    RunMode(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(Logs("Copy File").size(), 5u);

    // Only the lower-case twins change; their upper-case siblings are up to date.
    Make(source + "report.txt", "lower 2", kFirstRun + kHour);
    Make(source + "sub/a.txt", "lower folder 2", kFirstRun + kHour);
    clock.Advance(2 * kHour);
    RunMode(TArchiveMode::amIncremental, dest);
    std::vector<std::string> copied;
    for (const auto& e : Logs("Copy File"))
        copied.push_back(e.fileName);
    std::sort(copied.begin(), copied.end());
    EXPECT_EQ(copied, (std::vector<std::string>{source + "report.txt", source + "sub/a.txt"}));
    EXPECT_EQ(ReadFile(Mirror(source + "Report.txt", dest)), "upper");
    EXPECT_EQ(ReadFile(Mirror(source + "report.txt", dest)), "lower 2");
    EXPECT_EQ(ReadFile(Mirror(source + "Sub/a.txt", dest)), "upper folder");
    EXPECT_EQ(ReadFile(Mirror(source + "sub/a.txt", dest)), "lower folder 2");
    EXPECT_EQ(LastCopied(source + "Sub/a.txt"), kFirstRun);
    EXPECT_EQ(LastCopied(source + "sub/a.txt"), kFirstRun + 2 * kHour);
    EXPECT_EQ(LastCopied(source + "sub/deeper/a.txt"), kFirstRun);
}

TEST_F(CopyModesTest, ExcludedFoldersAndTheBackupItselfAreNotCopied) {
    MakeTree();
    Make(source + "cache/x.bin", "excluded");
    // The backup lies inside the source: it must not be copied into itself.
    const std::string inside = source + "Backup/";
    auto job = MakeJob(TArchiveMode::amIncremental, inside);
    job->SetExcludeList({source + "cache/"});
    Run(*job);
    EXPECT_EQ(ReadFile(Mirror(source + "sub/b.txt", inside)), "bravo");
    EXPECT_FALSE(Exists(Mirror(source + "cache/x.bin", inside)));
    clock.Advance(kHour);
    auto again = MakeJob(TArchiveMode::amIncremental, inside);
    Run(*again);
    EXPECT_FALSE(Exists(Mirror(inside, inside)));
    EXPECT_EQ(events->statuses.back().percent, 100);
}

} // namespace

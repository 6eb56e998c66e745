// Linked folders in backups: followed once into a folder the run does not take otherwise; never
// into a loop, a second time into the same files, or into the backup itself, and each link that
// is not followed has a failed log line naming it. Folder copies and zips alike.
#include "ZipFixture.h"

#include <algorithm>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class LinkedFolderTest : public ZipFixture {
protected:
    const std::string music = root + "elsewhere/Music/";

    void Link(const std::string& link, const std::string& target) {
        fs::create_directories(fs::path(link).parent_path());
        fs::create_directory_symlink(target, link);
    }
    std::string Mirror(const std::string& path) const { return dest + path.substr(1); }
    // The links named by failed "Linked Folder" lines, sorted.
    std::vector<std::string> RefusedLinks() const {
        std::vector<std::string> names;
        for (const auto& e : Logs("Linked Folder")) {
            EXPECT_TRUE(e.isError) << e.fileName;
            names.push_back(e.fileName);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<LogEntryEvent> FailedCopies() const {
        std::vector<LogEntryEvent> failed;
        for (const auto& e : Logs("Copy File"))
            if (e.isError) failed.push_back(e);
        return failed;
    }
};

TEST_F(LinkedFolderTest, ALinkedFolderIsBackedUpAndCountedLikeAnyOther) {
    MakeTree();
    Make(music + "song.mp3", "la la");
    Link(source + "music", music);
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    Run(*job);
    EXPECT_EQ(ReadFile(Mirror(source + "music/song.mp3")), "la la");
    EXPECT_EQ(LastCopied(source + "music/song.mp3"), kFirstRun);
    EXPECT_TRUE(RefusedLinks().empty());
    EXPECT_TRUE(FailedCopies().empty());
    EXPECT_EQ(Logs("Copy File").size(), 4u);
    // 4 files, 3 folders (the linked one included), counted and done alike.
    EXPECT_EQ(job->Counters().FilesTotal, 7);
    EXPECT_EQ(job->Counters().FilesDone, 7);
    EXPECT_EQ(events->statuses.back().percent, 100);
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(LinkedFolderTest, LoopsAndSecondWaysIntoTheSameFilesAreRefusedAndSaySo) {
    MakeTree();
    const std::string work = root + "home/alice/Work/";
    Make(work + "plan.txt", "plan");
    Make(music + "song.mp3", "la la");
    Link(source + "loop", source);           // the source itself
    Link(source + "sub/up", root + "home/"); // a folder holding the source
    Link(source + "m1", music);              // two ways into one folder:
    Link(source + "sub/deep/m2", music);     // only one is taken
    Link(source + "work", work);             // another source of the job
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    job->SetFolderList({source, work});
    Run(*job);

    const std::vector<std::string> refused = RefusedLinks();
    ASSERT_EQ(refused.size(), 4u);
    EXPECT_TRUE(std::count(refused.begin(), refused.end(), source + "loop"));
    EXPECT_TRUE(std::count(refused.begin(), refused.end(), source + "sub/up"));
    EXPECT_TRUE(std::count(refused.begin(), refused.end(), source + "work"));
    const bool m1Taken = Exists(Mirror(source + "m1/song.mp3"));
    const bool m2Taken = Exists(Mirror(source + "sub/deep/m2/song.mp3"));
    EXPECT_NE(m1Taken, m2Taken);
    EXPECT_TRUE(std::count(refused.begin(), refused.end(), m1Taken ? source + "sub/deep/m2" : source + "m1"));
    // The other source is backed up once, in its own place.
    EXPECT_EQ(ReadFile(Mirror(work + "plan.txt")), "plan");
    EXPECT_FALSE(Exists(Mirror(source + "work")));
    EXPECT_FALSE(Exists(Mirror(source + "loop")));
    EXPECT_EQ(Logs("Copy File").size(), 5u);
    EXPECT_TRUE(FailedCopies().empty());
    EXPECT_EQ(job->Counters().FilesDone, job->Counters().FilesTotal);
}

TEST_F(LinkedFolderTest, ALinkIntoTheBackupOrTheDriveHoldingItIsRefused) {
    MakeTree();
    Make(drive + "Photos/p.jpg", "photo");
    fs::create_directories(dest);
    Link(source + "backup", dest);
    Link(source + "stick", drive);
    RunMode(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(RefusedLinks(), (std::vector<std::string>{source + "backup", source + "stick"}));
    EXPECT_FALSE(Exists(Mirror(source + "stick")));
    EXPECT_FALSE(Exists(Mirror(source + "backup")));
    EXPECT_EQ(Logs("Copy File").size(), 3u);

    // An archive folder that does not exist yet is found through its parent.
    const std::string fresh = drive + "Fresh/";
    fs::remove(source + "backup");
    RunMode(TArchiveMode::amIncremental, fresh);
    EXPECT_EQ(RefusedLinks(), std::vector<std::string>{source + "stick"});
    EXPECT_EQ(ReadFile(fresh + source.substr(1) + "a.txt"), "alpha");
}

TEST_F(LinkedFolderTest, ExcludedFoldersStayOutWhenReachedThroughALink) {
    MakeTree();
    Make(music + "song.mp3", "la la");
    Make(music + "private/diary.txt", "excluded");
    Make(root + "elsewhere/Cache/tmp.bin", "excluded too");
    Link(source + "music", music);
    Link(source + "cache", root + "elsewhere/Cache/");
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    job->SetExcludeList({music + "private/", root + "elsewhere/Cache/"});
    Run(*job);
    EXPECT_EQ(ReadFile(Mirror(source + "music/song.mp3")), "la la");
    EXPECT_FALSE(Exists(Mirror(source + "music/private")));
    EXPECT_FALSE(Exists(Mirror(source + "cache")));
    // Left out as the user asked, which is no failure.
    EXPECT_TRUE(RefusedLinks().empty());
    EXPECT_EQ(job->Counters().FilesDone, job->Counters().FilesTotal);
}

TEST_F(LinkedFolderTest, AMoveCopiesALinkedFoldersFilesAndLeavesThemWhereTheyAre) {
    MakeTree();
    Make(music + "song.mp3", "la la");
    Link(source + "music", music);
    auto job = MakeJob(TArchiveMode::amMove, dest);
    job->SetDeleteSources(true);
    Run(*job);
    EXPECT_EQ(ReadFile(dest + "music/song.mp3"), "la la");
    EXPECT_EQ(ReadFile(music + "song.mp3"), "la la");
    EXPECT_TRUE(fs::is_symlink(source + "music"));
    EXPECT_FALSE(Exists(source + "a.txt"));
    EXPECT_FALSE(Exists(source + "sub"));
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(LinkedFolderTest, AZipFollowsALinkedFolderOnceToo) {
    MakeTree();
    Make(music + "song.mp3", "la la");
    Link(source + "music", music);
    Link(source + "music/again", source);
    auto job = MakeZipJob(TArchiveMode::amIncremental, dest);
    RunJob(*job);
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "music/song.mp3")), "la la");
    EXPECT_EQ(Entries(archive).size(), 4u);
    EXPECT_EQ(RefusedLinks(), std::vector<std::string>{source + "music/again"});
    EXPECT_EQ(job->Counters().FilesDone, job->Counters().FilesTotal);
    EXPECT_EQ(LastStatus(), "Finished !");
}

} // namespace

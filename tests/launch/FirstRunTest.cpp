// Before a job from a drive first acts on this computer, the user sees what it will do here: a
// completely-new copy that would empty a home folder, a move that takes files off the computer, a
// sync that may delete, each named with its place. No touches nothing; Yes is remembered in the
// program database, until the job reaches elsewhere; a schedule the user made is that answer.
#include "core/launch/JobRunner.h"
#include "core/launch/KnownReach.h"
#include "engine/EngineTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 9, 12, 18, 30, 0, 0});

class FirstRunTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    RecordingEvents events;
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string home = root + "home/gail/";
    const std::string documents = home + "Documents/";
    JobRunner runner{{{files, clock},
                      "PC-1",
                      {},
                      AnyFolderIsADrive,
                      KnownReachIn(dir / "ProgramData", clock, root + "home/gail")}};

    void SetUp() override {
        WriteFile(documents + "tax.pdf", "tax papers");
        WriteFile(drive + "Photos/beach.jpg", "one picture");
        fs::create_directories(drive + "Config");
    }
    // The crafted job: an innocent name, the user's documents as its completely-new destination.
    std::string HolidayPhotos(const std::string& destination) {
        TArchiveData job(clock);
        job.BackupName = "Holiday Photos";
        job.PCID = "PC-1";
        job.ArchiveDir = TArchiveDir::amUsbToPc;
        job.ArchiveMode = TArchiveMode::amCompletelyNew;
        job.Destination = destination;
        job.FolderList.Add("/Photos/");
        const std::string file = drive + "Config/Holiday.Ubk";
        job.SaveCompressed(file);
        return file;
    }
    static const JobQuestion* FirstRun(const PreparedJob& job) {
        for (const JobQuestion& q : job.Questions())
            if (q.kind == QuestionKind::FirstRun) return &q;
        return nullptr;
    }
    // Starts with Yes to every question but the first-run one, which gets `reply`.
    JobStart StartAnswering(PreparedJob job, int reply) {
        std::vector<int> replies;
        for (const JobQuestion& q : job.Questions())
            replies.push_back(q.kind == QuestionKind::FirstRun ? reply : dlg::Yes);
        JobStart start = runner.Start(std::move(job), replies, &events);
        if (start.run) start.run->Wait();
        return start;
    }
};

TEST_F(FirstRunTest, AJobThatWouldEmptyAHomeFolderIsShownFirstAndNoTouchesNothing) {
    const std::string file = HolidayPhotos(documents);
    PreparedJob job = runner.Prepare(file);
    ASSERT_TRUE(job.Ready());
    const JobQuestion* question = FirstRun(job);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question, &job.Questions().back()); // after the questions there were before
    EXPECT_NE(question->text.find("\"Holiday Photos\""), std::string::npos) << question->text;
    EXPECT_NE(question->text.find(file), std::string::npos) << question->text;
    EXPECT_NE(question->text.find(documents + "\n    will be emptied first"), std::string::npos)
        << question->text;
    EXPECT_FALSE(question->GoesAhead(dlg::NoAnswer));

    const JobStart declined = StartAnswering(std::move(job), dlg::No);
    EXPECT_TRUE(declined.declined);
    EXPECT_FALSE(declined.Started());
    EXPECT_EQ(ReadFile(documents + "tax.pdf"), "tax papers");

    // Yes once: the job runs, and is not asked about again while it stays as it is.
    const JobStart ran = StartAnswering(runner.Prepare(file), dlg::Yes);
    ASSERT_TRUE(ran.Started());
    EXPECT_EQ(FirstRun(runner.Prepare(file)), nullptr);
    // Sent elsewhere, it is asked about again.
    HolidayPhotos(home + "Pictures/");
    PreparedJob moved = runner.Prepare(file);
    ASSERT_NE(FirstRun(moved), nullptr);
    EXPECT_NE(FirstRun(moved)->text.find(home + "Pictures/\n    will be emptied first"), std::string::npos);
}

TEST_F(FirstRunTest, MovesAndCopiesFromHomeAndSyncsNameTheirPlacesAndHow) {
    TArchiveData move(clock);
    move.BackupName = "Readme";
    move.PCID = "PC-1";
    move.ArchiveDir = TArchiveDir::amPcToUsb;
    move.ArchiveMode = TArchiveMode::amMove;
    move.Destination = "/Moved/";
    move.FolderList.Add(documents);
    move.FolderList.Add(root + "srv/data/");
    move.SaveCompressed(drive + "Config/Readme.Umv");
    const JobQuestion* question = nullptr;
    PreparedJob moveJob = runner.Prepare(drive + "Config/Readme.Umv");
    ASSERT_NE(question = FirstRun(moveJob), nullptr);
    EXPECT_NE(question->text.find(documents + "\n    will be moved to the drive (deleted here)"),
              std::string::npos);
    EXPECT_NE(question->text.find(root + "srv/data/\n    will be moved to the drive"), std::string::npos);
    const JobStart declined = StartAnswering(std::move(moveJob), dlg::No);
    EXPECT_FALSE(declined.Started());
    EXPECT_EQ(ReadFile(documents + "tax.pdf"), "tax papers");
    EXPECT_FALSE(fs::exists(drive + "Moved"));

    // A copy reads only: asked about for the home folder's files, not for others.
    TArchiveData copy = move;
    copy.BackupName = "Copy";
    copy.ArchiveMode = TArchiveMode::amIncremental;
    copy.SaveCompressed(drive + "Config/Copy.Ubk");
    PreparedJob copyJob = runner.Prepare(drive + "Config/Copy.Ubk");
    ASSERT_NE(question = FirstRun(copyJob), nullptr);
    EXPECT_NE(question->text.find(documents + "\n    will be copied to the drive"), std::string::npos);
    EXPECT_EQ(question->text.find(root + "srv/data/"), std::string::npos) << question->text;
    copy.FolderList.Clear();
    copy.FolderList.Add(root + "srv/data/");
    copy.SaveCompressed(drive + "Config/Copy.Ubk");
    EXPECT_EQ(FirstRun(runner.Prepare(drive + "Config/Copy.Ubk")), nullptr);

    TSyncData sync;
    sync.SyncName = "Shared";
    sync.PCID = "PC-1";
    sync.FolderAList.Add("/Shared/");
    sync.FolderBList.Add(documents);
    sync.SaveCompressed(drive + "Config/Shared.Usy");
    PreparedJob syncJob = runner.Prepare(drive + "Config/Shared.Usy");
    ASSERT_NE(question = FirstRun(syncJob), nullptr);
    EXPECT_NE(question->text.find(documents + "\n    files may be deleted"), std::string::npos);
    EXPECT_NE(question->text.find(documents + "\n    will be copied to the drive"), std::string::npos);
}

TEST_F(FirstRunTest, AScheduleTheUserMadeIsTheAnswerAndADryRunRemembersNothing) {
    const std::string file = HolidayPhotos(documents);
    PrepareOptions scheduled;
    scheduled.reachAnswered = true;
    PreparedJob job = runner.Prepare(file, scheduled);
    EXPECT_EQ(FirstRun(job), nullptr);
    const JobStart ran = StartAnswering(std::move(job), dlg::Yes);
    ASSERT_TRUE(ran.Started());
    EXPECT_TRUE(ran.run->Outcome().Complete());
    EXPECT_EQ(FirstRun(runner.Prepare(file)), nullptr);

    TSyncData sync;
    sync.SyncName = "Shared";
    sync.PCID = "PC-1";
    sync.FolderAList.Add("/Shared/");
    sync.FolderBList.Add(home + "Shared/");
    sync.SaveCompressed(drive + "Config/Shared.Usy");
    fs::create_directories(drive + "Shared");
    fs::create_directories(home + "Shared");
    StartOptions dry;
    dry.dryRun = true;
    PreparedJob looked = runner.Prepare(drive + "Config/Shared.Usy");
    std::vector<int> yes(looked.Questions().size(), dlg::Yes);
    JobStart start = runner.Start(std::move(looked), yes, &events, dry);
    ASSERT_TRUE(start.Started());
    start.run->Wait();
    EXPECT_NE(FirstRun(runner.Prepare(drive + "Config/Shared.Usy")), nullptr);
}

} // namespace

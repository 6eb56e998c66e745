// The launcher's entry for any file, with questions answered later as a window would answer
// them, and a restore started from a chosen run with a chosen path.
#include "core/launch/LaunchJob.h"
#include "core/launch/RestoreRunner.h"
#include "core/stream/RecordFile.h"
#include "engine/EngineTestSupport.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>

#include <filesystem>
#include <optional>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 10, 4, 20, 15, 0, 0});

// Keeps each question open until the test answers it, as a window does.
class LaterAsker final : public IJobAsker {
public:
    std::vector<JobQuestion> asked;
    std::vector<std::function<void(int)>> pending;
    std::vector<JobRefusal> refusals;

    void Ask(const JobQuestion& question, std::function<void(int)> reply) override {
        asked.push_back(question);
        pending.push_back(std::move(reply));
    }
    void Refused(const JobRefusal& refusal) override { refusals.push_back(refusal); }
    void Answer(int reply) {
        auto next = std::move(pending.front());
        pending.erase(pending.begin());
        next(reply);
    }
};

class LaunchJobTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    RecordingEvents events;
    LaterAsker asker;
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string source = root + "home/hal/Docs/";
    JobRunner runner{{{files, clock}, "PC-1", {}, AnyFolderIsADrive}};
    std::optional<JobStart> started;
    int panels = 0;
    std::atomic<int> wakes{0};

    void SetUp() override {
        fs::create_directories(drive + "Config");
        fs::create_directories(drive + "Backups");
        WriteFile(source + "a.txt", "alpha");
        WriteFile(source + "sub/b.txt", "bravo");
    }
    std::string Job(const std::string& pcid, const std::string& name = "Docs.Ubk",
                    TArchiveType type = TArchiveType::atFile) {
        TArchiveData job(clock);
        job.BackupName = "Docs";
        job.PCID = pcid;
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.ArchiveType = type;
        job.ArchiveMode = TArchiveMode::amTimeStamped;
        job.Destination = "/Backups/Docs";
        job.FolderList.Add(source);
        const std::string file = drive + "Config/" + name;
        job.SaveCompressed(file);
        return file;
    }
    LaunchRequest Request() {
        LaunchRequest request;
        request.eventsFor = [this](const PreparedJob& job) {
            EXPECT_EQ(job.Name(), "Docs");
            ++panels;
            return RunSink{&events, [this] { ++wakes; }};
        };
        request.done = [this](JobStart start) { started = std::move(start); };
        return request;
    }
};

TEST_F(LaunchJobTest, QuestionsAnsweredLaterStartTheJobOnlyThen) {
    const std::string file = Job("PC-2");
    fs::create_directories(drive + "Backups/Docs");
    EXPECT_EQ(LaunchJob(file, runner, asker, Request()), 1);
    ASSERT_EQ(asker.asked.size(), 1u);
    EXPECT_EQ(asker.asked[0].kind, QuestionKind::OtherComputer);
    EXPECT_FALSE(started) << "nothing starts while the question is open";
    EXPECT_EQ(panels, 0);

    asker.Answer(dlg::Yes);
    ASSERT_TRUE(started);
    ASSERT_TRUE(started->Started());
    EXPECT_EQ(panels, 1);
    started->run->Wait();
    EXPECT_GT(wakes.load(), 0) << "the panel's event loop is woken, never left to poll";
    const JobOutcome outcome = started->run->Outcome();
    EXPECT_TRUE(outcome.Complete());
    EXPECT_EQ(ReadFile(started->archiveFolder + source.substr(1) + "a.txt"), "alpha");
    EXPECT_FALSE(events.logs.empty());
}

TEST_F(LaunchJobTest, ADeclinedQuestionStartsNothingAndMakesNoPanel) {
    const std::string file = Job("PC-2");
    fs::remove_all(drive + "Backups");
    const auto before = ReadRecordFile(file);
    EXPECT_EQ(LaunchJob(file, runner, asker, Request()), 1);
    asker.Answer(dlg::Yes);
    ASSERT_EQ(asker.asked.size(), 2u) << "the missing folder is asked next";
    EXPECT_EQ(asker.asked[1].kind, QuestionKind::FoldersMissing);
    asker.Answer(dlg::No);
    ASSERT_TRUE(started);
    EXPECT_TRUE(started->declined);
    EXPECT_FALSE(started->Started());
    EXPECT_EQ(panels, 0);
    EXPECT_EQ(ReadRecordFile(file), before);

    // A first No ends the asking.
    started.reset();
    asker.asked.clear();
    EXPECT_EQ(LaunchJob(file, runner, asker, Request()), 1);
    asker.Answer(dlg::No);
    EXPECT_EQ(asker.asked.size(), 1u);
    ASSERT_TRUE(started);
    EXPECT_TRUE(started->declined);
}

TEST_F(LaunchJobTest, TheAnswerIsZeroOnlyForAComputerSyncWithoutThisComputersItem) {
    TPCSyncData pc;
    TSyncDataItem& item = pc.SyncDataItems.Add();
    item.ID = "ITEM-A";
    item.PCID = "PC-2";
    pc.SaveCompressed(drive + "Config/Between.Upcsy");
    EXPECT_EQ(LaunchJob(drive + "Config/Between.Upcsy", runner, asker, Request()), 0);
    WriteFile(drive + "Config/notes.txt", "notes");
    EXPECT_EQ(LaunchJob(drive + "Config/notes.txt", runner, asker, Request()), 1);
    EXPECT_TRUE(asker.asked.empty());
    EXPECT_TRUE(asker.refusals.empty()) << "neither shows anything";
    EXPECT_FALSE(started);

    // A job that is refused is told through the asker, and answers 1.
    WriteFile(drive + "Config/Bad.Usy", "damaged");
    EXPECT_EQ(LaunchJob(drive + "Config/Bad.Usy", runner, asker, Request()), 1);
    ASSERT_EQ(asker.refusals.size(), 1u);
    EXPECT_EQ(asker.refusals[0].reason, RefusalReason::Damaged);
    ASSERT_TRUE(started);
    EXPECT_TRUE(started->refusal);
    EXPECT_EQ(ReadFile(drive + "Config/Bad.Usy"), "damaged");
}

TEST_F(LaunchJobTest, TheDialogAskerAnswersAtOnce) {
    const std::string file = Job("PC-2");
    RecordingDialogs dialogs;
    dialogs.answers = {dlg::Yes};
    DialogJobAsker dialogAsker(dialogs);
    fs::create_directories(drive + "Backups/Docs");
    EXPECT_EQ(LaunchJob(file, runner, dialogAsker, Request()), 1);
    ASSERT_TRUE(started);
    ASSERT_TRUE(started->Started());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Load Job");
    EXPECT_EQ(dialogs.shown[0].caption, "Drivlet");
    started->run->Wait();
}

class RestoreRunnerTest : public LaunchJobTest, public ::testing::WithParamInterface<TArchiveType> {};

TEST_P(RestoreRunnerTest, AChosenPathOfAChosenRunComesBackBelowAFolder) {
    const std::string file = Job("PC-1", "Docs.Ubk", GetParam());
    fs::create_directories(drive + "Backups/Docs");
    for (const char* text : {"first", "second"}) {
        WriteFile(source + "sub/b.txt", text);
        JobStart start = runner.Start(runner.Prepare(file), {}, &events);
        ASSERT_TRUE(start.Started());
        start.run->Wait();
        ASSERT_TRUE(start.run->Outcome().Complete());
        clock.Advance(1);
    }
    RestoreRunner restores({{files, clock}, "PC-1", {}, AnyFolderIsADrive});
    const PreparedRestore restore = restores.Prepare(file);
    ASSERT_TRUE(restore.Ready());
    ASSERT_EQ(restore.Points().size(), 2u);
    EXPECT_EQ(restore.Name(), "Docs");

    // The older run, one folder of it, below a chosen folder.
    RestoreRequest request;
    request.backupRoot = restore.Points()[1].archiveFolder;
    request.paths = {source + "sub/"};
    request.target = root + "Recovered";
    JobStart start = restores.Start(restore, request, &events);
    ASSERT_TRUE(start.Started());
    start.run->Wait();
    const JobOutcome outcome = start.run->Outcome();
    EXPECT_EQ(outcome.kind, JobKind::Restore);
    EXPECT_TRUE(outcome.Complete());
    EXPECT_EQ(outcome.finishMessage.rfind("Restore file operation completed !\nTotal Files : ", 0), 0u);
    EXPECT_EQ(ReadFile(root + "Recovered" + source + "sub/b.txt"), "first");
    EXPECT_FALSE(fs::exists(root + "Recovered" + source + "a.txt"));

    // A path the run does not hold is a failed line.
    request.paths = {source + "never.txt"};
    JobStart nothing = restores.Start(restore, request, &events);
    ASSERT_TRUE(nothing.Started());
    nothing.run->Wait();
    EXPECT_EQ(nothing.run->Outcome().failedLines, 1);

    // While the job is being run (here: its questions open), a restore is refused and writes nothing.
    {
        const PreparedJob running = runner.Prepare(file);
        ASSERT_TRUE(running.Ready());
        request.paths = {};
        request.target = root + "Refused";
        const JobStart refused = restores.Start(restore, request, &events);
        EXPECT_FALSE(refused.Started());
        ASSERT_TRUE(refused.refusal);
        EXPECT_EQ(refused.refusal->reason, RefusalReason::AlreadyRunning);
        EXPECT_FALSE(fs::exists(root + "Refused"));
    }

    // A run whose folder is gone is refused.
    fs::remove_all(restore.Points()[0].archiveFolder);
    request.backupRoot = restore.Points()[0].archiveFolder;
    const JobStart gone = restores.Start(restore, request, &events);
    EXPECT_FALSE(gone.Started());
    ASSERT_TRUE(gone.refusal);
    EXPECT_EQ(gone.refusal->reason, RefusalReason::RunMissing);
}

INSTANTIATE_TEST_SUITE_P(FolderAndZip, RestoreRunnerTest,
                         ::testing::Values(TArchiveType::atFile, TArchiveType::atImage),
                         [](const auto& info) {
                             return info.param == TArchiveType::atFile ? "Folder" : "Zip";
                         });

TEST_F(LaunchJobTest, ARestoreOfAJobThatCannotBeReadIsRefused) {
    WriteFile(drive + "Config/Bad.Ubk", "damaged");
    RestoreRunner restores({{files, clock}, "PC-1", {}, AnyFolderIsADrive});
    const PreparedRestore restore = restores.Prepare(drive + "Config/Bad.Ubk");
    ASSERT_FALSE(restore.Ready());
    EXPECT_EQ(restore.Refusal()->reason, RefusalReason::Damaged);
    const JobStart start = restores.Start(restore, {drive + "Backups/", {}, {}, {}}, &events);
    EXPECT_FALSE(start.Started());
    EXPECT_EQ(ReadFile(drive + "Config/Bad.Ubk"), "damaged");
}

} // namespace

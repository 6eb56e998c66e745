// The resident session over a real program database and real runs: which drives it acts on, how
// often the deleted-files alert is news, and the shut-down held back while jobs run or shut-down
// jobs wait, carried out after the last job, and the exit that waits for the cancelled runs.
#include "core/resident/ResidentSession.h"
#include "RunnerFixture.h"
#include "core/app/SilentDialogs.h"
#include "core/drives/DriveRegistry.h"
#include "core/schedule/run/DeletedSizeAlert.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/HeldRuns.h"

using namespace drivlet;
using namespace drivlet::test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kComputer = "PC-1";

// What the session asked of its front end.
class RecordingFrontEnd final : public IResidentFrontEnd {
public:
    void Launch(const std::string& jobFile) override { launched.push_back(jobFile); }
    void ShowDrive(const std::string& drivePath) override { shown.push_back(drivePath); }
    void AskFileNotFound(const FileNotFoundQuestion& question, std::function<void(bool)> answer) override {
        asked.push_back(question.fileName);
        answer(false);
    }
    void Notify(const ResidentNotice& notice) override { notices.push_back(notice); }
    void BlockShutdown(bool block) override { blocks.push_back(block); }
    bool EndSession(bool logOff) override {
        forced.push_back(logOff);
        return true;
    }
    void RunsChanged(int count) override { counts.push_back(count); }
    void Quit() override { ++quits; }

    std::vector<ResidentEvent> Events() const {
        std::vector<ResidentEvent> events;
        for (const ResidentNotice& notice : notices)
            events.push_back(notice.event);
        return events;
    }

    std::vector<std::string> launched, shown, asked;
    std::vector<ResidentNotice> notices;
    std::vector<bool> blocks, forced;
    std::vector<int> counts;
    int quits = 0;
};

class ResidentSessionTest : public RunnerFixture {
protected:
    ResidentSession& Make() {
        session =
            std::make_unique<ResidentSession>(ResidentEnvironment{dir.path() / "ProgramData", kComputer,
                                                                  clock, [this] { return mounted; }, dialogs},
                                              frontEnd);
        return *session;
    }
    std::string KnownDrive(const std::string& name) {
        const std::string drive = Drive(name);
        RegisterDrive(drive, kComputer, LinuxFileSystem::Instance(), dialogs);
        return drive;
    }

    SilentDialogs dialogs;
    RecordingFrontEnd frontEnd;
    std::unique_ptr<ResidentSession> session;
};

TEST_F(ResidentSessionTest, OnlyADriveThisComputerKnowsIsShownAndRunsItsInsertionJobs) {
    const std::string known = KnownDrive("F");
    const std::string stranger = Drive("G");
    const std::string job = JobOn(known, "Docs.Ubk");
    AddRow(job, kRunAtDriveInsertion, std::nullopt);
    JobOn(stranger, "Docs.Ubk");
    ResidentSession& s = Make();

    s.DriveArrived(stranger);
    EXPECT_TRUE(frontEnd.shown.empty());
    EXPECT_TRUE(frontEnd.launched.empty());
    s.DriveArrived(known);
    EXPECT_EQ(frontEnd.Events(), (std::vector{ResidentEvent::DriveNotKnown, ResidentEvent::DriveArrived}));
    EXPECT_EQ(frontEnd.shown, std::vector<std::string>{known});
    EXPECT_EQ(frontEnd.launched, std::vector<std::string>{job});

    // Without drive auto-run the window stays shut; the jobs still run. After Exit nothing does.
    s.Settings().DriveAutoRun = false;
    s.DriveArrived(known);
    EXPECT_EQ(frontEnd.shown.size(), 1u);
    EXPECT_EQ(frontEnd.launched.size(), 2u);
    s.Exit();
    EXPECT_EQ(frontEnd.quits, 1);
    s.DriveArrived(known);
    EXPECT_EQ(frontEnd.launched.size(), 2u);
}

TEST_F(ResidentSessionTest, AnOverFullStoreIsNewsOnlyWhenItGoesOverAndTheTickLooksEverySixSeconds) {
    ResidentSession& s = Make();
    s.Settings().MaxDeletedSize = 100;
    database.LogDeletedFile("a", 150);
    const auto start = std::chrono::steady_clock::time_point{} + 1h;

    s.Tick(start); // a fresh start looks one interval later
    EXPECT_TRUE(frontEnd.notices.empty());
    s.Tick(start + 5s);
    EXPECT_TRUE(frontEnd.notices.empty());
    s.Tick(start + 6s);
    s.Tick(start + 12s);
    ASSERT_EQ(frontEnd.notices.size(), 2u);
    EXPECT_EQ(frontEnd.notices[0].event, ResidentEvent::DeletedOverLimit);
    EXPECT_EQ(frontEnd.notices[0].text, kDeletedOverloadText);
    EXPECT_EQ(frontEnd.notices[0].deletedSize, 150);
    EXPECT_EQ(frontEnd.notices[0].limit, 100);
    EXPECT_TRUE(frontEnd.notices[0].first);
    EXPECT_FALSE(frontEnd.notices[1].first);
    EXPECT_EQ(s.DeletedSize(), 150);

    // Back under the limit, then over again: news again.
    s.Settings().MaxDeletedSize = 1000;
    s.MeasureDeletedSize();
    EXPECT_EQ(frontEnd.notices.size(), 2u);
    s.Settings().MaxDeletedSize = 100;
    s.MeasureDeletedSize();
    ASSERT_EQ(frontEnd.notices.size(), 3u);
    EXPECT_TRUE(frontEnd.notices[2].first);
}

TEST_F(ResidentSessionTest, TheShutdownIsHeldWhileJobsRunAndCarriedOutAfterTheLast) {
    ResidentSession& s = Make();
    EXPECT_FALSE(s.ShutdownBlocked());
    {
        HeldRuns runs(s.Runs());
        runs.Set(2);
        EXPECT_EQ(s.RunningJobs(), 2);
        EXPECT_TRUE(s.ShutdownBlocked());
        const ShutdownAnswer answer = s.ShutdownQuery(true);
        EXPECT_FALSE(answer.allow);
        EXPECT_EQ(frontEnd.Events(), std::vector{ResidentEvent::ShutdownRefused});
        EXPECT_TRUE(s.FinishMessagesSuppressed());
        runs.Set(1);
        EXPECT_TRUE(frontEnd.forced.empty());
        runs.Set(0);
    }
    EXPECT_EQ(frontEnd.forced, std::vector<bool>{true});
    EXPECT_EQ(frontEnd.blocks, (std::vector<bool>{true, false}));
    EXPECT_EQ(frontEnd.counts, (std::vector<int>{1, 2, 1, 0}));
}

TEST_F(ResidentSessionTest, ShutdownJobsHoldTheShutdownUntilTheQueryRunsThem) {
    const std::string drive = KnownDrive("F");
    const std::string job = JobOn(drive, "Last.Ubk");
    AddRow(job, kRunAtShutdown, std::nullopt);
    ResidentSession& s = Make();
    EXPECT_TRUE(s.ShutdownBlocked());
    EXPECT_TRUE(s.ShutdownQuery(false).allow); // the front end starts none here
    EXPECT_EQ(frontEnd.launched, std::vector<std::string>{job});
    EXPECT_FALSE(s.ShutdownBlocked());
}

TEST_F(ResidentSessionTest, ExitCancelsTheRunsAndQuitsOnceTheLastHasEnded) {
    ResidentSession& s = Make();
    HeldRuns runs(s.Runs());
    runs.Set(2);
    s.Exit();
    EXPECT_TRUE(s.Exiting());
    EXPECT_EQ(runs.Cancelled(), 2);
    EXPECT_FALSE(s.ShutdownBlocked()); // let go: the program is ending
    runs.Set(1);
    EXPECT_EQ(frontEnd.quits, 0);
    runs.Set(0);
    EXPECT_EQ(frontEnd.quits, 1);
    // Nothing starts any more.
    s.RunSchedules(SchedulePass::Startup);
    EXPECT_TRUE(frontEnd.launched.empty());
}

} // namespace

// The shut-down query with the schedule runner over a real program database: refused while jobs
// run (the shut-down jobs included), the shut-down schedules once per process, finish messages
// suppressed, and the forced end once the last job has ended.
#include "RunnerFixture.h"
#include "core/schedule/run/ShutdownCoordinator.h"

using namespace drivlet;
using namespace drivlet::test;

namespace {

class Shutdown : public RunnerFixture {
protected:
    // The front end: each launch is a running job, counted here as a run registry would; the
    // runner's idle moments are reported.
    ShutdownCoordinator& Make(TScheduleRunMode mode = TScheduleRunMode::srmAsk) {
        MakeRunner(mode);
        coordinator = std::make_unique<ShutdownCoordinator>(ShutdownActions{
            [this] { runner->RunSchedules(SchedulePass::Shutdown); }, [this] { return runner->Busy(); },
            [this](bool logOff) {
                forced.push_back(logOff);
                return true;
            },
            [this] { return running; }});
        onLaunch = [this](const std::string&) { ++running; };
        runner->OnIdle = [this] { coordinator->SchedulesIdle(); };
        return *coordinator;
    }

    std::unique_ptr<ShutdownCoordinator> coordinator;
    std::vector<bool> forced; // the log-off flag of each forced end
    int running = 0;
};

TEST_F(Shutdown, NothingRunningIsAllowedAndNothingIsForcedLater) {
    ShutdownCoordinator& c = Make();
    const ShutdownAnswer answer = c.ShutdownQuery(false);
    EXPECT_TRUE(answer.allow);
    EXPECT_TRUE(c.ShutdownJobsDone());
    EXPECT_TRUE(c.FinishMessagesSuppressed());
    // The shut-down went ahead by itself (or was cancelled): a later job's end forces nothing.
    ++running;
    --running;
    c.RunsChanged();
    clock.Set(At(2010, 8, 16, 9, 5));
    runner->Tick();
    EXPECT_TRUE(forced.empty());
}

TEST_F(Shutdown, QueryWhileAJobRunsIsRefusedAndTheEndOfTheJobForcesIt) {
    ShutdownCoordinator& c = Make();
    ++running;
    EXPECT_FALSE(c.FinishMessagesSuppressed());
    const ShutdownAnswer answer = c.ShutdownQuery(true);
    EXPECT_FALSE(answer.allow);
    EXPECT_EQ(answer.balloonText,
              "Some threads are running. Windows will shut down automatically when they are finished.");
    EXPECT_TRUE(c.LogOffPending());
    EXPECT_TRUE(c.FinishMessagesSuppressed());
    EXPECT_TRUE(forced.empty());
    --running;
    c.RunsChanged();
    EXPECT_EQ(forced, std::vector<bool>{true});
    // Once only.
    ++running;
    --running;
    c.RunsChanged();
    EXPECT_EQ(forced.size(), 1u);
}

TEST_F(Shutdown, ARunningCountFromTheFrontEndWaitsForTheLastJob) {
    ShutdownCoordinator& c = Make();
    running = 3;
    c.RunsChanged();
    EXPECT_FALSE(c.ShutdownQuery(false).allow);
    running = 1; // two ended at once
    c.RunsChanged();
    EXPECT_EQ(c.RunningJobs(), 1);
    EXPECT_TRUE(forced.empty());
    running = 1;
    c.RunsChanged();
    EXPECT_TRUE(forced.empty());
    running = 0;
    c.RunsChanged();
    EXPECT_EQ(forced, std::vector<bool>{false});
    EXPECT_EQ(c.RunningJobs(), 0);
}

TEST_F(Shutdown, TheShutdownJobsAreWaitedForAndRunOncePerProcess) {
    const std::string drive = Drive("F");
    const std::string a = JobOn(drive, "a.Ubk"), b = JobOn(drive, "b.Usy");
    AddRow(a, kRunAtShutdown, std::nullopt);
    AddRow(b, kRunAtShutdown, std::nullopt);
    ShutdownCoordinator& c = Make();
    EXPECT_FALSE(c.ShutdownQuery(false).allow); // its own jobs run now
    EXPECT_EQ(launched, (std::vector<std::string>{a, b}));
    EXPECT_EQ(c.RunningJobs(), 2);
    // A second query (the user tried again) runs them no second time.
    EXPECT_FALSE(c.ShutdownQuery(false).allow);
    EXPECT_EQ(launched.size(), 2u);
    --running;
    c.RunsChanged();
    EXPECT_TRUE(forced.empty());
    --running;
    c.RunsChanged();
    EXPECT_EQ(forced, std::vector<bool>{false});
}

TEST_F(Shutdown, AQuestionOfTheShutdownPassHoldsTheShutdownBackUntilAnswered) {
    AddRow((dir / "F" / "Config" / "gone.Ubk").string(), kRunAtShutdown, std::nullopt);
    ShutdownCoordinator& c = Make(TScheduleRunMode::srmAsk);
    EXPECT_FALSE(c.ShutdownQuery(false).allow); // the question is open: a job may still start
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_TRUE(forced.empty());
    Answer(false);
    EXPECT_EQ(forced, std::vector<bool>{false});
}

TEST_F(Shutdown, APlatformThatRefusesIsNotAskedAgainOnEveryIdleMoment) {
    MakeRunner();
    int attempts = 0;
    ShutdownCoordinator c(ShutdownActions{{},
                                          {},
                                          [&](bool) {
                                              ++attempts;
                                              return false;
                                          },
                                          [this] { return running; }});
    ++running;
    EXPECT_FALSE(c.ShutdownQuery(false).allow);
    --running;
    c.RunsChanged();
    c.SchedulesIdle();
    c.SchedulesIdle();
    EXPECT_EQ(attempts, 1);
    EXPECT_FALSE(c.LastCompleted());
}

} // namespace

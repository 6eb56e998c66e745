// The schedule runner over a real program database: due, missed and once-only runs, the three
// answers to a job file that is not there, drive-insertion rows on another drive path, and passes
// that arrive while a question is open.
#include "RunnerFixture.h"
#include "core/db/Connection.h"

using namespace drivlet;
using namespace drivlet::test;

namespace {

using Runner = RunnerFixture;

TEST_F(Runner, TimerMinuteTestSkipsOnlyTheMinuteOfTheStart) {
    EXPECT_FALSE(MinuteDiffers(At(2010, 8, 16, 9, 59, 59), At(2010, 8, 16, 9, 59, 0)));
    EXPECT_TRUE(MinuteDiffers(At(2010, 8, 16, 10, 0, 0), At(2010, 8, 16, 9, 59, 59)));
    // Exactly on the minute is that minute, not the last instant of the one before.
    EXPECT_FALSE(MinuteDiffers(At(2010, 8, 16, 10, 0, 0), At(2010, 8, 16, 10, 0, 59)));
    EXPECT_TRUE(MinuteDiffers(At(2010, 8, 17, 9, 59, 0), At(2010, 8, 16, 9, 59, 0)));

    const std::string job = JobOn(Drive("F"), "x.Ubk");
    clock.Set(At(2010, 8, 16, 9, 59, 30));
    const int64_t id =
        AddRow(job, kRunTimed, At(2010, 8, 16, 9, 59, 40), WeeklyAt({TWeekDay::dTuesday}, 9, 59));
    MakeRunner();
    clock.Set(At(2010, 8, 16, 9, 59, 45));
    runner->Tick(); // due, but still the minute of the start
    EXPECT_TRUE(launched.empty());
    clock.Set(At(2010, 8, 16, 10, 0, 1));
    runner->Tick();
    EXPECT_EQ(launched, std::vector<std::string>{job});
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 17, 9, 59));
}

TEST_F(Runner, DueRowRunsOnceAndIsRescheduled) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    clock.Set(At(2010, 8, 16, 9, 58));
    // Monday and Wednesday at 10:00: after Monday's run the next time stays on Monday (earlier the
    // same day), so the missed-run test must keep it from running again every second.
    const int64_t id = AddRow(job, kRunTimed, At(2010, 8, 16, 10, 0),
                              WeeklyAt({TWeekDay::dMonday, TWeekDay::dWednesday}, 10, 0));
    MakeRunner();
    clock.Set(At(2010, 8, 16, 9, 59, 30));
    runner->Tick(); // not due yet
    EXPECT_TRUE(launched.empty());
    clock.Set(At(2010, 8, 16, 10, 0, 1));
    runner->Tick();
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(runner->LastPass(), At(2010, 8, 16, 10, 0, 1));
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 16, 10, 0));
    for (int s = 2; s < 6; ++s) {
        clock.Set(At(2010, 8, 16, 10, 0, s));
        runner->Tick();
    }
    EXPECT_EQ(launched.size(), 1u);
    // The first pass of the next day moves it on to Wednesday without running.
    clock.Set(At(2010, 8, 17, 0, 0, 1));
    runner->Tick();
    EXPECT_EQ(launched.size(), 1u);
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 18, 10, 0));
}

TEST_F(Runner, RunMissedWhileNotRunningIsOnlyRescheduled) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    clock.Set(At(2010, 8, 16, 10, 30)); // the program starts after the 10:00 run
    const int64_t id = AddRow(job, kRunTimed, At(2010, 8, 16, 10, 0), WeeklyAt({TWeekDay::dTuesday}, 10, 0));
    MakeRunner();
    clock.Set(At(2010, 8, 16, 10, 31));
    runner->Tick();
    EXPECT_TRUE(launched.empty());
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 17, 10, 0));
    EXPECT_EQ(runner->LastPass(), At(2010, 8, 16, 10, 31));
}

TEST_F(Runner, OnceOnlyRunsOnceAndIsNeverSelectedAgain) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    TSchedule once;
    once.ScheduleMode = TScheduleMode::smOnesOnly;
    once.Month = 8;
    once.DayOfMonthYearMode = 16;
    once.TimeH = 12;
    const int64_t id = AddRow(job, kRunTimed, At(2010, 8, 16, 12, 0), once);
    MakeRunner();
    clock.Set(At(2010, 8, 16, 12, 0, 5));
    runner->Tick();
    EXPECT_EQ(launched.size(), 1u);
    EXPECT_EQ(NextRunOf(id), std::nullopt);
    EXPECT_TRUE(database.DueTimedSchedules(At(2030, 1, 1)).empty());
}

TEST_F(Runner, StartupAndShutdownRowsRunAndLoseTheirNextRun) {
    const std::string drive = Drive("F");
    const std::string a = JobOn(drive, "a.Ubk"), b = JobOn(drive, "b.Usy"), c = JobOn(drive, "c.Ubk");
    const int64_t ia = AddRow(a, kRunAtStartup, At(2010, 8, 20));
    AddRow(b, kRunAtStartup, std::nullopt, std::nullopt, /*active=*/false);
    const int64_t ic = AddRow(c, kRunAtShutdown, std::nullopt);
    MakeRunner();
    clock.Set(At(2010, 8, 16, 9, 0, 2));
    runner->RunSchedules(SchedulePass::Startup);
    EXPECT_EQ(launched, std::vector<std::string>{a});
    EXPECT_EQ(NextRunOf(ia), std::nullopt);
    EXPECT_EQ(runner->LastPass(), At(2010, 8, 16, 9, 0, 2));
    runner->RunSchedules(SchedulePass::Shutdown);
    EXPECT_EQ(launched, (std::vector<std::string>{a, c}));
    EXPECT_EQ(NextRunOf(ic), std::nullopt);
}

TEST_F(Runner, JobFileMovedToAnotherDriveIsFoundThere) {
    const std::string g = Drive("G");
    const std::string moved = JobOn(g, "x.Ubk");
    const std::string recorded = (dir / "F" / "Config" / "x.Ubk").string(); // F is not mounted
    mounted = {"/", Drive("H"), g};
    AddRow(recorded, kRunAtStartup, std::nullopt);
    MakeRunner();
    runner->RunSchedules(SchedulePass::Startup);
    EXPECT_EQ(launched, std::vector<std::string>{moved});
    EXPECT_TRUE(questions.empty());
}

class MissingJob : public RunnerFixture {
protected:
    void SetUp() override {
        recorded = (dir / "F" / "Config" / "x.Ubk").string();
        clock.Set(At(2010, 8, 16, 9, 58));
        id = AddRow(recorded, kRunTimed, At(2010, 8, 16, 10, 0), WeeklyAt({TWeekDay::dTuesday}, 10, 0), true,
                    "Photos");
    }
    // The runner starts at 9:58; the row falls due at its first tick after 10:00.
    void TickWhenDue(TScheduleRunMode mode) {
        MakeRunner(mode);
        clock.Set(At(2010, 8, 16, 10, 0, 1));
        runner->Tick();
    }
    std::string recorded;
    int64_t id = 0;
};

TEST_F(MissingJob, AskCancelReschedulesWithoutRunning) {
    TickWhenDue(TScheduleRunMode::srmAsk);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].title, "File Not Found");
    EXPECT_EQ(questions[0].text,
              "Backup file not found in pc.\r\nPlease insert the disk with backup file and "
              "click ok to continue\r\nFile Name : " +
                  recorded + "\r\nJob Name : Photos");
    EXPECT_TRUE(runner->QuestionOpen());
    // Nothing is decided while the question is open.
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 16, 10, 0));
    EXPECT_EQ(runner->LastPass(), At(2010, 8, 16, 9, 58));
    Answer(false);
    EXPECT_FALSE(runner->QuestionOpen());
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 17, 10, 0));
    EXPECT_EQ(runner->LastPass(), At(2010, 8, 16, 10, 0, 1));
}

TEST_F(MissingJob, AskOkRunsTheJobOnceTheDriveIsThere) {
    TickWhenDue(TScheduleRunMode::srmAsk);
    ASSERT_EQ(questions.size(), 1u);
    // OK without the drive: asked again.
    Answer(true);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_TRUE(launched.empty());
    // The drive is inserted, under another mount point, while the question is shown.
    const std::string g = Drive("G");
    const std::string onG = JobOn(g, "x.Ubk");
    mounted = {g};
    Answer(true);
    EXPECT_EQ(launched, std::vector<std::string>{onG});
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 17, 10, 0));
    EXPECT_FALSE(runner->Busy());
}

TEST_F(MissingJob, AnAnswerGivenAtOnceIsTakenToo) {
    autoAnswer = false;
    TickWhenDue(TScheduleRunMode::srmAsk);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_FALSE(runner->Busy());
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 17, 10, 0));
}

TEST_F(MissingJob, NextLeavesTheRowForTheFollowingPassWhichOnlyReschedulesIt) {
    TickWhenDue(TScheduleRunMode::srmNext);
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 16, 10, 0));
    // Even with the file back, the next pass finds the run missed.
    JobOn(Drive("F"), "x.Ubk");
    clock.Set(At(2010, 8, 16, 10, 0, 2));
    runner->Tick();
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 17, 10, 0));
}

TEST_F(MissingJob, SkipReschedulesWithoutAsking) {
    TickWhenDue(TScheduleRunMode::srmSkip);
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 17, 10, 0));
}

TEST_F(MissingJob, TicksAndDriveArrivalsDuringAnOpenQuestionAreDeferredNotLost) {
    const std::string g = Drive("G");
    const std::string due = JobOn(g, "due.Ubk");
    const std::string inserted = JobOn(g, "inserted.Ubk");
    const std::string startup = JobOn(g, "startup.Ubk");
    clock.Set(At(2010, 8, 16, 9, 58));
    MakeRunner(TScheduleRunMode::srmAsk);
    clock.Set(At(2010, 8, 16, 10, 0, 1));
    runner->Tick(); // asks about the missing job
    ASSERT_TRUE(runner->QuestionOpen());
    // Made due while the question is open, and a drive with a drive-insertion job arrives.
    const int64_t dueId =
        AddRow(due, kRunTimed, At(2010, 8, 16, 10, 0, 30), WeeklyAt({TWeekDay::dFriday}, 10, 0));
    AddRow((dir / "OLD" / "Config" / "inserted.Ubk").string(), kRunAtDriveInsertion, std::nullopt);
    AddRow(startup, kRunAtStartup, std::nullopt);
    for (int s = 31; s < 35; ++s) {
        clock.Set(At(2010, 8, 16, 10, 0, s));
        runner->Tick();
    }
    runner->RunDriveInsertion(g);
    runner->RunSchedules(SchedulePass::Startup);
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(questions.size(), 1u); // no second pass was started beside the open one
    EXPECT_TRUE(runner->Busy());
    bool idle = false;
    runner->OnIdle = [&] { idle = true; };
    Answer(false);
    // In the order they arrived; the four ticks ran as one timed pass.
    EXPECT_EQ(launched, (std::vector<std::string>{due, inserted, startup}));
    EXPECT_EQ(NextRunOf(dueId), At(2010, 8, 20, 10, 0));
    EXPECT_TRUE(idle);
    EXPECT_FALSE(runner->Busy());
}

TEST_F(Runner, APassStartedFromALaunchWaitsForTheCurrentOne) {
    const std::string drive = Drive("F");
    const std::string a = JobOn(drive, "a.Ubk"), b = JobOn(drive, "b.Ubk"), c = JobOn(drive, "c.Ubk");
    AddRow(a, kRunAtStartup, std::nullopt);
    AddRow(b, kRunAtStartup, std::nullopt);
    AddRow(c, kRunAtShutdown, std::nullopt);
    MakeRunner();
    onLaunch = [&](const std::string& file) {
        if (file == a) runner->RunSchedules(SchedulePass::Shutdown);
    };
    runner->RunSchedules(SchedulePass::Startup);
    EXPECT_EQ(launched, (std::vector<std::string>{a, b, c}));
}

TEST_F(Runner, DriveInsertionRowsAreRebasedOntoTheArrivingDrive) {
    // Recorded as F's, the drive arrives as G.
    const std::string g = Drive("G");
    const std::string onG = JobOn(g, "x.Ubk");
    const int64_t id =
        AddRow((dir / "F" / "Config" / "x.Ubk").string(), kRunAtDriveInsertion, At(2010, 9, 1, 8, 0));
    AddRow((dir / "F" / "Config" / "absent.Ubk").string(), kRunAtDriveInsertion, std::nullopt);
    AddRow((dir / "F" / "Config" / "x.Ubk").string(), kRunAtDriveInsertion, std::nullopt, std::nullopt,
           false);
    MakeRunner();
    const TDateTime lastPass = runner->LastPass();
    clock.Set(At(2010, 8, 16, 9, 30));
    runner->RunDriveInsertion(g);
    EXPECT_EQ(launched, std::vector<std::string>{onG});
    EXPECT_TRUE(questions.empty());
    // Drive insertion leaves the next run alone and is no pass of the timer's.
    EXPECT_EQ(NextRunOf(id), At(2010, 9, 1, 8, 0));
    EXPECT_EQ(runner->LastPass(), lastPass);
}

TEST_F(Runner, ADamagedScheduleStillRunsTheJobButIsNoLongerDue) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    const int64_t id = AddRow(job, kRunTimed, At(2010, 8, 16, 9, 30));
    ScheduleRunRow row = *database.FindSchedule(id);
    row.Data = {0x78, 0x9c, 0x01, 0x02, 0x03};
    database.SaveSchedule(row);
    MakeRunner();
    clock.Set(At(2010, 8, 16, 9, 31));
    runner->Tick();
    EXPECT_EQ(launched.size(), 1u);
    EXPECT_EQ(NextRunOf(id), std::nullopt);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(Runner, EachRowIsRescheduledWithItsOwnRecord) {
    // A weekly row before a monthly one: the monthly record stores no mode (monthly is the
    // default), so it must not inherit the weekly row's.
    const std::string drive = Drive("F");
    const std::string a = JobOn(drive, "a.Ubk"), b = JobOn(drive, "b.Ubk");
    const int64_t ia = AddRow(a, kRunTimed, At(2010, 8, 16, 9, 30), WeeklyAt({TWeekDay::dThursday}, 9, 30));
    TSchedule monthly;
    monthly.DayOfMonth = 20;
    monthly.TimeH = 9;
    const int64_t ib = AddRow(b, kRunTimed, At(2010, 8, 16, 9, 30), monthly);
    MakeRunner();
    clock.Set(At(2010, 8, 16, 9, 31));
    runner->Tick();
    EXPECT_EQ(launched.size(), 2u);
    EXPECT_EQ(NextRunOf(ia), At(2010, 8, 19, 9, 30));
    EXPECT_EQ(NextRunOf(ib), At(2010, 8, 20, 9, 0));
}

TEST_F(Runner, AFailingPassEndsWithoutMovingLastPass) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    AddRow(job, kRunAtStartup, std::nullopt);
    MakeRunner();
    const TDateTime lastPass = runner->LastPass();
    database.GetConnection().Execute(R"(DROP TABLE "ScheduleRun")");
    clock.Set(At(2010, 8, 16, 9, 5));
    runner->RunSchedules(SchedulePass::Startup);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(runner->LastPass(), lastPass);
    EXPECT_FALSE(runner->Busy());
}

// Another program holding the schedule table locked: the due row cannot be claimed, so it is not
// started; every pass gives up quickly and the next one tries again, until one can claim it and
// starts it, once.
TEST_F(Runner, ADueTimeIsClaimedBeforeItStartsAndRunsOnceWhileTheTableIsLocked) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    const int64_t id = AddRow(job, kRunTimed, At(2010, 8, 16, 10, 0),
                              WeeklyAt({TWeekDay::dMonday, TWeekDay::dWednesday}, 10, 0));
    MakeRunner();
    Connection other =
        Connection::Open(ProgramDatabase::PathFor(dir.path() / "ProgramData"), ProgramDatabase::Schema());
    other.Execute("BEGIN EXCLUSIVE");
    for (int s = 1; s <= 3; ++s) {
        clock.Set(At(2010, 8, 16, 10, 0, s));
        runner->Tick();
        EXPECT_FALSE(runner->Busy());
    }
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(errors.size(), 3u);
    other.Execute("COMMIT");
    for (int s = 4; s <= 8; ++s) {
        clock.Set(At(2010, 8, 16, 10, 0, s));
        runner->Tick();
    }
    EXPECT_EQ(launched, std::vector<std::string>{job});
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 16, 10, 0));
}

TEST_F(Runner, AClockSetBackAfterARunNeverRunsTheSameDueTimeAgain) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    clock.Set(At(2010, 8, 16, 9, 58));
    AddRow(job, kRunTimed, At(2010, 8, 16, 10, 0),
           WeeklyAt({TWeekDay::dMonday, TWeekDay::dWednesday}, 10, 0));
    MakeRunner();
    clock.Set(At(2010, 8, 16, 10, 0, 1));
    runner->Tick();
    ASSERT_EQ(launched.size(), 1u);
    // Set back 70 seconds, then the same minute comes again.
    for (int s = -69; s <= 5; ++s) {
        clock.Set(At(2010, 8, 16, 10, 0, 1) + s / 86400.0);
        runner->Tick();
    }
    EXPECT_EQ(launched.size(), 1u);
    // Wednesday's run still comes.
    clock.Set(At(2010, 8, 17, 0, 0, 1));
    runner->Tick();
    clock.Set(At(2010, 8, 18, 10, 0, 1));
    runner->Tick();
    EXPECT_EQ(launched.size(), 2u);
}

TEST_F(Runner, AClockFarAheadForAWhileDoesNotPushTheRealDueTimeAway) {
    const std::string job = JobOn(Drive("F"), "x.Ubk");
    clock.Set(At(2010, 8, 16, 9, 0));
    const int64_t id = AddRow(job, kRunTimed, At(2010, 8, 16, 10, 0), WeeklyAt({TWeekDay::dMonday}, 10, 0));
    MakeRunner();
    // 400 days ahead for a minute: due there, and moved on to a Monday of that time.
    clock.Set(At(2011, 9, 20, 9, 1));
    runner->Tick();
    ASSERT_EQ(launched.size(), 1u);
    ASSERT_GT(*NextRunOf(id), At(2011, 9, 20));
    // The clock is right again: the row gets its real next run back, and runs then.
    clock.Set(At(2010, 8, 16, 9, 2));
    runner->Tick();
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 16, 10, 0));
    EXPECT_EQ(launched.size(), 1u);
    clock.Set(At(2010, 8, 16, 10, 0, 1));
    runner->Tick();
    EXPECT_EQ(launched.size(), 2u);
    EXPECT_EQ(NextRunOf(id), At(2010, 8, 16, 10, 0));
}

} // namespace

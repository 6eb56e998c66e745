// `drivlet-cli schedule` over a real program database in a temporary program data root.
#include "cli/ScheduleCommand.h"
#include "core/db/ProgramDatabase.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "core/schedule/TSchedule.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace drivlet;
using namespace drivlet::test;

namespace {

class ScheduleCommand : public ::testing::Test {
protected:
    ScheduleCommand() {
        backup = (dir / "F" / "Config" / "Photos.Ubk").string();
        TArchiveData job;
        job.BackupName = "My Photos";
        std::filesystem::create_directories(dir / "F" / "Config");
        job.SaveCompressed(backup);
        sync = (dir / "F" / "Config" / "Docs.Usy").string();
        TSyncData s;
        s.SyncName = "My Docs";
        s.SaveCompressed(sync);
    }
    int Run(std::vector<std::string> args) {
        out.str({});
        err.str({});
        return cli::ScheduleVerb(args, dir / "root", clock, out, err);
    }
    std::vector<ScheduleRunRow> Rows() {
        ProgramDatabase db(ProgramDatabase::PathFor(dir / "root"));
        return db.AllSchedules();
    }

    TempDir dir;
    ManualClock clock{EncodeDateTime({2010, 8, 16, 12, 0, 0, 0})}; // a Monday
    std::string backup, sync;
    std::ostringstream out, err;
};

TEST_F(ScheduleCommand, AddsATimedJobWithItsScheduleAndNextRun) {
    ASSERT_EQ(Run({"add", backup, "--mode=timed", "--monthly=20", "--at", "08:15"}), 0) << err.str();
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].FileName, backup);
    EXPECT_EQ(rows[0].JobName, "My Photos");
    EXPECT_EQ(rows[0].Mode, kRunTimed);
    EXPECT_TRUE(rows[0].Active);
    EXPECT_EQ(rows[0].NextRunTime, EncodeDateTime({2010, 8, 20, 8, 15, 0, 0}));
    TSchedule stored;
    stored.LoadCompressedFromField(rows[0].Data);
    EXPECT_EQ(stored.ScheduleMode, TScheduleMode::smMonthly);
    EXPECT_EQ(stored.DayOfMonth, 20);
    EXPECT_EQ(stored.TimeH, 8);
    EXPECT_EQ(stored.TimeM, 15);

    ASSERT_EQ(Run({"list"}), 0);
    EXPECT_NE(out.str().find(
                  "\tT\tEvery Day/Week/Month/year\t2010-08-20 08:15:00\tmonthly 20 at 08:15\tBackup Job\t"
                  "My Photos\t" +
                  backup + "\n"),
              std::string::npos)
        << out.str();
}

TEST_F(ScheduleCommand, AJobIsScheduledOnceWhateverDrivePathItHad) {
    ASSERT_EQ(Run({"add", backup, "--mode=startup"}), 0) << err.str();
    const std::string elsewhere = "/media/other/G/Config/Photos.Ubk";
    ASSERT_EQ(Run({"add", elsewhere, "--mode=insertion"}), 0) << err.str();
    EXPECT_EQ(out.str().rfind("updated", 0), 0u) << out.str();
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Mode, kRunAtDriveInsertion);
    EXPECT_EQ(rows[0].FileName, backup);
    EXPECT_EQ(rows[0].NextRunTime, std::nullopt);
}

TEST_F(ScheduleCommand, ATimeAlreadyPastTodayHasNoNextRun) {
    ASSERT_EQ(Run({"add", sync, "--mode=timed", "--weekly=mon,thu", "--at=10:00"}), 0) << err.str();
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].JobName, "My Docs");
    EXPECT_EQ(rows[0].NextRunTime, std::nullopt);
    EXPECT_NE(err.str().find("not run until it is saved again"), std::string::npos);
    // A once-only date keeps its time even when it has passed (the runner clears it).
    ASSERT_EQ(Run({"add", sync, "--mode=timed", "--once=08-16", "--at=10:00"}), 0) << err.str();
    EXPECT_EQ(Rows()[0].NextRunTime, EncodeDateTime({2010, 8, 16, 10, 0, 0, 0}));
}

TEST_F(ScheduleCommand, SwitchesOnAndOffAndRemovesByIdOrFile) {
    ASSERT_EQ(Run({"add", backup, "--mode=shutdown"}), 0);
    ASSERT_EQ(Run({"add", sync, "--mode=startup"}), 0);
    const auto rows = Rows();
    ASSERT_EQ(Run({"off", std::to_string(rows[0].ID)}), 0) << err.str();
    EXPECT_FALSE(Rows()[0].Active);
    ASSERT_EQ(Run({"on", "/media/x/STICK/Config/Photos.Ubk"}), 0) << err.str();
    EXPECT_TRUE(Rows()[0].Active);
    ASSERT_EQ(Run({"remove", sync}), 0) << err.str();
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Run({"remove", sync}), 3);
    EXPECT_EQ(Run({"off", "999"}), 3);
}

TEST_F(ScheduleCommand, RefusesIncompleteOrUnreadableRequests) {
    EXPECT_EQ(Run({"add", backup, "--mode=timed", "--monthly=5"}), 2); // no time
    EXPECT_EQ(Run({"add", backup, "--mode=timed", "--at=10:00"}), 2);  // no schedule
    EXPECT_EQ(Run({"add", backup, "--mode=startup", "--weekly=mon", "--at=10:00"}), 2);
    EXPECT_EQ(Run({"add", backup, "--mode=timed", "--weekly=mon", "--monthly=3", "--at=10:00"}), 2);
    EXPECT_EQ(Run({"add", backup, "--mode=timed", "--weekly=someday", "--at=10:00"}), 2);
    EXPECT_EQ(Run({"add", backup, "--mode=timed", "--monthly=32", "--at=10:00"}), 2);
    EXPECT_EQ(Run({"add", backup, "--mode=timed", "--yearly=02-30x", "--at=10:00"}), 2);
    EXPECT_EQ(Run({"add", backup, "--mode=sometimes"}), 2);
    EXPECT_TRUE(Rows().empty());
    const std::string damaged = (dir / "F" / "Config" / "Bad.Ubk").string();
    WriteFile(damaged, "not a record");
    EXPECT_EQ(Run({"add", damaged, "--mode=startup"}), 3);
    EXPECT_EQ(Run({"add", (dir / "F" / "Config" / "Gone.Ubk").string(), "--mode=startup"}), 3);
    EXPECT_EQ(Run({"add", (dir / "notes.txt").string(), "--mode=startup"}), 3);
    EXPECT_TRUE(Rows().empty());
}

} // namespace

// The restore wizard's restore points: runs oldest first, each found where its folder is now (on
// the job's drive wherever it is mounted, else where it was stored), runs whose folder is gone
// left out, and how a row is marked.
#include "core/db/BackupDatabase.h"
#include "core/launch/RestorePoints.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class RestoreWizardPoints : public ::testing::Test {
protected:
    TempDir dir;
    // The drive is mounted under another name than when the backups ran.
    const std::string drive = dir.path().string() + "/STICK1/";
    const std::string job = drive + "Config/Photos.Ubk";
    const std::string computer = dir.path().string() + "/home/ann/Restored/";

    TDateTime Day(int d) const { return EncodeDateTime({2011, 3, d, 12, 0, 0, 0}); }
};

TEST_F(RestoreWizardPoints, OldestFirstOnTheDriveWhereverItIsMountedFoldersThatAreGoneLeftOut) {
    fs::create_directories(drive + "Backups/Photos 2011-03-02 12-00/");
    fs::create_directories(drive + "Backups/Photos 2011-03-01 12-00/");
    fs::create_directories(computer);
    {
        BackupDatabase db(BackupDatabase::PathForJob(job));
        db.SetRunStatus(db.BeginRun("/Backups/Photos 2011-03-02 12-00/", Day(2), "Time Stamped"),
                        "Canceled :(");
        db.BeginRun("/Backups/Photos 2011-03-01 12-00/", Day(1), "Time Stamped"); // never ended
        db.SetRunStatus(db.BeginRun(computer, Day(3), "Incremental"), "Done");
        db.SetRunStatus(db.BeginRun("/Backups/Photos 2011-03-04 12-00/", Day(4), "Time Stamped"), "Done");
    }
    const RestorePointList list = WizardRestorePoints(job);
    ASSERT_TRUE(list.ok()) << list.error;
    ASSERT_EQ(list.points.size(), 3u);
    EXPECT_EQ(list.points[0].archiveFolder, drive + "Backups/Photos 2011-03-01 12-00/");
    EXPECT_EQ(list.points[1].archiveFolder, drive + "Backups/Photos 2011-03-02 12-00/");
    EXPECT_EQ(list.points[2].archiveFolder, computer);
    EXPECT_EQ(RestorePointMarkOf(list.points[0]), RestorePointMark::NotCompleted);
    EXPECT_EQ(RestorePointMarkOf(list.points[1]), RestorePointMark::Canceled);
    EXPECT_EQ(RestorePointMarkOf(list.points[2]), RestorePointMark::Normal);
    EXPECT_EQ(RestorePointCaption(list.points[0]), "2011-03-01 12:00:00");
    EXPECT_EQ(list.points[2].format, "Incremental");
    // Nothing chosen: the oldest point.
    ASSERT_NE(DefaultRestorePoint(list), nullptr);
    EXPECT_EQ(DefaultRestorePoint(list)->archiveFolder, list.points[0].archiveFolder);
}

TEST_F(RestoreWizardPoints, ARunWithoutStartTimeComesFirstAndReadsNotAvailable) {
    fs::create_directories(drive + "Backups/a/");
    fs::create_directories(drive + "Backups/b/");
    {
        BackupDatabase db(BackupDatabase::PathForJob(job));
        db.BeginRun("/Backups/a/", Day(5), "Incremental");
        const int64_t b = db.BeginRun("/Backups/b/", Day(6), "Incremental");
        Statement clear =
            db.GetConnection().Prepare(R"(UPDATE "ArchiveLog" SET "DateTime" = NULL WHERE "ID" = ?1)");
        clear.BindInteger(1, b).Run();
    }
    const RestorePointList list = WizardRestorePoints(job);
    ASSERT_EQ(list.points.size(), 2u);
    EXPECT_EQ(list.points[0].archiveFolder, drive + "Backups/b/");
    EXPECT_EQ(RestorePointCaption(list.points[0]), "N/A");
}

TEST_F(RestoreWizardPoints, AJobNeverRunHasNoPointsAndADamagedHistoryIsAnError) {
    fs::create_directories(drive + "Config");
    const RestorePointList none = WizardRestorePoints(job);
    EXPECT_TRUE(none.ok());
    EXPECT_TRUE(none.points.empty());
    EXPECT_EQ(DefaultRestorePoint(none), nullptr);
    EXPECT_FALSE(fs::exists(BackupDatabase::PathForJob(job)));

    test::WriteFile(BackupDatabase::PathForJob(job), std::string(4096, 'x'));
    const RestorePointList damaged = WizardRestorePoints(job);
    EXPECT_FALSE(damaged.ok());
    EXPECT_TRUE(damaged.points.empty());
}

} // namespace
} // namespace drivlet

// Deleting a job from its drive: the job file with the databases only it uses, nothing while a
// run holds the job, nothing when the user says no; damaged files and shared names included.
#include "core/launch/JobDeletion.h"
#include "core/launch/JobClaim.h"
#include "core/records/TSyncData.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::RecordingDialogs;
using test::TempDir;
using test::WriteFile;

class JobDeletion : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    RecordingDialogs dialogs;
    const std::string config = dir.path().string() + "/STICK/Config/";
    const std::string job = config + "Backup2011-03-24 13-57-31 042.Ubk";

    void SetUp() override {
        WriteFile(job, "job");
        WriteFile(config + "Backup2011-03-24 13-57-31 042.Udb", "backup database");
        WriteFile(config + "Backup2011-03-24 13-57-31 042.Usdb", "sync database");
        WriteFile(config + "Other.Ubk", "another job");
        WriteFile(config + "Other.Udb", "its database");
        WriteFile(config + "Drive Config.cfg", "drive");
    }
    std::vector<std::string> Left() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(config))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(JobDeletion, OnYesTheJobAndBothCompanionDatabasesGoAndNothingElse) {
    dialogs.answers = {dlg::Yes};
    EXPECT_EQ(DeleteJob(files, job, "Photos", dialogs), JobDeletionResult::Deleted);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Delete Job");
    EXPECT_EQ(dialogs.shown[0].text,
              "Are you sure you want to permanently delete this job ?\r\nJob Name : Photos");
    EXPECT_EQ(Left(), (std::vector<std::string>{"Drive Config.cfg", "Other.Ubk", "Other.Udb"}));
}

TEST_F(JobDeletion, OnNoNothingIsTouched) {
    const auto before = Left();
    EXPECT_EQ(DeleteJob(files, job, "Photos", dialogs), JobDeletionResult::Declined);
    EXPECT_EQ(Left(), before);
}

TEST_F(JobDeletion, AJobARunHoldsIsNotDeletedAndTheUserIsTold) {
    FileStatus status;
    auto runLock = files.TryLock(JobLockFile(job), status);
    ASSERT_TRUE(runLock) << status.message();
    const auto before = Left();
    dialogs.answers = {dlg::Yes};
    EXPECT_EQ(DeleteJob(files, job, "Photos", dialogs), JobDeletionResult::Running);
    EXPECT_EQ(Left(), before);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_NE(dialogs.shown[1].text.find("running"), std::string::npos);
    // Once the run has ended the job can go, lock file and all.
    runLock.reset();
    EXPECT_EQ(DeleteJobFiles(files, job), JobDeletionResult::Deleted);
    EXPECT_EQ(Left(), (std::vector<std::string>{"Drive Config.cfg", "Other.Ubk", "Other.Udb"}));
}

TEST_F(JobDeletion, ALockFileLeftByAKilledRunGoesWithTheJob) {
    WriteFile(JobLockFile(job), "");
    EXPECT_EQ(DeleteJobFiles(files, job), JobDeletionResult::Deleted);
    EXPECT_FALSE(fs::exists(JobLockFile(job)));
    EXPECT_FALSE(fs::exists(job));
}

TEST_F(JobDeletion, ADamagedJobFileIsDeletedWithItsDatabases) {
    WriteFile(job, "not a record at all");
    EXPECT_EQ(DeleteJobFiles(files, job), JobDeletionResult::Deleted);
    EXPECT_EQ(Left(), (std::vector<std::string>{"Drive Config.cfg", "Other.Ubk", "Other.Udb"}));
}

TEST_F(JobDeletion, ADatabaseAnotherJobOfTheSameNameUsesStays) {
    WriteFile(config + "Docs.Ubk", "backup job");
    WriteFile(config + "Docs.Usy", "sync job");
    WriteFile(config + "Docs.Udb", "backup database");
    WriteFile(config + "Docs.Usdb", "sync database");
    EXPECT_EQ(JobCompanionFiles(files, config + "Docs.Ubk"), (std::vector<std::string>{config + "Docs.Udb"}));
    EXPECT_EQ(DeleteJobFiles(files, config + "Docs.Ubk"), JobDeletionResult::Deleted);
    EXPECT_TRUE(fs::exists(config + "Docs.Usdb"));
    EXPECT_FALSE(fs::exists(config + "Docs.Udb"));
}

TEST_F(JobDeletion, AComputerToComputerJobTakesItsItemsDatabasesUnlessACopyStillUsesThem) {
    TPCSyncData pc;
    pc.SyncName = "Laptops";
    pc.SyncDataItems.Add().ID = "item-a";
    pc.SyncDataItems.Add().ID = "item-b";
    pc.SyncDataItems.Add().ID = "../escape"; // names nothing beside the job
    pc.SaveCompressed(config + "Laptops.Upcsy");
    TPCSyncData copy;
    copy.SyncDataItems.Add().ID = "item-b";
    copy.SaveCompressed(config + "Copy.Upcsy");
    for (const char* name : {"item-a.Usdb", "item-b.Usdb", "Laptops.Usdb"})
        WriteFile(config + name, "db");
    WriteFile(dir.path().string() + "/STICK/escape.Usdb", "not the job's");

    EXPECT_EQ(DeleteJobFiles(files, config + "Laptops.Upcsy"), JobDeletionResult::Deleted);
    EXPECT_FALSE(fs::exists(config + "Laptops.Upcsy"));
    EXPECT_FALSE(fs::exists(config + "Laptops.Usdb"));
    EXPECT_FALSE(fs::exists(config + "item-a.Usdb"));
    EXPECT_TRUE(fs::exists(config + "item-b.Usdb"));
    EXPECT_TRUE(fs::exists(dir.path().string() + "/STICK/escape.Usdb"));
}

} // namespace
} // namespace drivlet

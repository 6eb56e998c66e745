// The job runner over real job files on a folder standing for a drive: every kind started from
// its file, files that cannot be read refused and left as they are, the questions before a
// start, the lock held while they are open, and the outcome each run comes to.
#include "core/launch/JobRunner.h"
#include "DirectLaunch.h"
#include "core/launch/JobClaim.h"
#include "core/stream/RecordFile.h"
#include "engine/EngineTestSupport.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 9, 12, 18, 30, 0, 0});
const TDateTime kOlder = EncodeDateTime({2024, 9, 1, 8, 0, 0, 0});

// Holds the worker at its first look at the file system (which is before any file is touched)
// until the test lets it go; calls made on the test's own thread pass.
class HoldAtFirstLook final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    mutable std::promise<void> reached;
    std::promise<void> release;
    std::optional<uint64_t> VolumeId(const std::filesystem::path& p) const override {
        if (std::this_thread::get_id() != owner_ && !held_.exchange(true)) {
            reached.set_value();
            released_.wait();
        }
        return ForwardingFileSystem::VolumeId(p);
    }

private:
    const std::thread::id owner_ = std::this_thread::get_id();
    mutable std::atomic<bool> held_{false};
    std::shared_future<void> released_ = release.get_future().share();
};

class JobRunnerTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    RecordingEvents events;
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string source = root + "home/gail/Docs/";
    JobRunner runner{{{files, clock}, "PC-1", {}, AnyFolderIsADrive}};

    void SetUp() override {
        fs::create_directories(drive + "Config");
        fs::create_directories(drive + "Backups");
        WriteFile(source + "a.txt", "alpha");
        WriteFile(source + "sub/b.txt", "bravo");
    }
    TArchiveData Backup(TArchiveMode mode = TArchiveMode::amIncremental) {
        TArchiveData job(clock);
        job.BackupName = "Docs";
        job.PCID = "PC-1";
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.ArchiveMode = mode;
        job.Destination = "/Backups/";
        job.FolderList.Add(source);
        return job;
    }
    std::string Save(TSaveLoadComponent& record, const std::string& name) {
        const std::string file = drive + "Config/" + name;
        record.SaveCompressed(file);
        return file;
    }
    std::string Copy(const std::string& path) const { return drive + "Backups/" + path.substr(1); }
    // Started with every question answered Yes, and run to its end.
    JobOutcome RunToEnd(const std::string& file, IThreadEvents* sink, const StartOptions& options = {}) {
        PreparedJob job = runner.Prepare(file);
        EXPECT_TRUE(job.Ready()) << (job.Refusal() ? job.Refusal()->text : "");
        const std::vector<int> yes(job.Questions().size(), dlg::Yes);
        JobStart start = runner.Start(std::move(job), yes, sink, options);
        EXPECT_TRUE(start.Started());
        if (!start.Started()) return {};
        start.run->Wait();
        return start.run->Outcome();
    }
};

TEST_F(JobRunnerTest, TheKindComesFromTheExtensionInAnyLetterCase) {
    EXPECT_EQ(JobFileKindOf("/s/Config/a.Ubk"), JobFileKind::Backup);
    EXPECT_EQ(JobFileKindOf("/s/Config/a.UMV"), JobFileKind::Move);
    EXPECT_EQ(JobFileKindOf("/s/Config/a.uSy"), JobFileKind::Sync);
    EXPECT_EQ(JobFileKindOf("/s/Config/a.UPCSY"), JobFileKind::ComputerSync);
    EXPECT_EQ(JobFileKindOf("/s/Config/a.Udb"), JobFileKind::None);
    EXPECT_EQ(JobFileKindOf("/s/Config/Ubk"), JobFileKind::None);
    const PreparedJob other = runner.Prepare(drive + "Config/notes.txt");
    ASSERT_FALSE(other.Ready());
    EXPECT_EQ(other.Refusal()->reason, RefusalReason::NotAJobFile);
    EXPECT_TRUE(other.Refusal()->Unreadable());
}

TEST_F(JobRunnerTest, BackupAndMoveJobsRunWithTheirFinishMessages) {
    TArchiveData backup = Backup();
    const std::string backupFile = Save(backup, "Docs.UBK");
    const JobOutcome done = RunToEnd(backupFile, &events);
    EXPECT_EQ(done.kind, JobKind::Backup);
    EXPECT_EQ(done.name, "Docs");
    EXPECT_TRUE(done.Complete());
    // Two files; their folder is not counted.
    EXPECT_EQ(done.finishMessage, "Backup file operation completed !\nTotal Files : 2\nErrors : 0");
    EXPECT_EQ(ReadFile(Copy(source + "sub/b.txt")), "bravo");
    TArchiveData saved(clock);
    ASSERT_EQ(saved.LoadCompressed(backupFile), LoadResult::Loaded);
    EXPECT_DOUBLE_EQ(saved.LastUpdate, kStart);

    TArchiveData move = Backup(TArchiveMode::amMove);
    move.DeleteFile = true;
    move.Destination = "/Moved/";
    fs::create_directories(drive + "Moved");
    const JobOutcome moved = RunToEnd(Save(move, "Docs.umv"), &events);
    EXPECT_EQ(moved.kind, JobKind::Move);
    EXPECT_TRUE(moved.Complete());
    EXPECT_EQ(moved.finishMessage.substr(0, 22), "File moves cmpleted !\n");
    EXPECT_EQ(ReadFile(drive + "Moved/a.txt"), "alpha"); // a move takes the folder's contents
    EXPECT_FALSE(fs::exists(source + "a.txt"));
}

TEST_F(JobRunnerTest, SyncAndComputerSyncJobsRunTheirPairs) {
    const std::string computer = root + "home/gail/Shared/";
    fs::create_directories(computer);
    WriteFile(drive + "Shared/plan.txt", "plan");
    files.SetFileTime(drive + "Shared/plan.txt", kOlder);
    TSyncData sync;
    sync.SyncName = "Shared";
    sync.PCID = "PC-1";
    sync.FolderAList.Add("/Shared/");
    sync.FolderBList.Add(computer);
    sync.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    const std::string syncFile = Save(sync, "Shared.USY");
    const JobOutcome synced = RunToEnd(syncFile, &events);
    EXPECT_EQ(synced.kind, JobKind::Sync);
    EXPECT_EQ(synced.finishMessage, "Sync file operation completed !\nTotal Files : 1\nErrors : 0");
    EXPECT_EQ(ReadFile(computer + "plan.txt"), "plan");
    EXPECT_TRUE(fs::exists(drive + "Config/Shared.Usdb"));

    const std::string other = root + "home/gail/Other/";
    fs::create_directories(other);
    TPCSyncData pc;
    pc.SyncName = "Between";
    for (const auto& [id, owner, folder] :
         {std::tuple{"ITEM-A", "PC-2", other}, std::tuple{"ITEM-B", "PC-1", computer}}) {
        TSyncDataItem& item = pc.SyncDataItems.Add();
        item.ID = id;
        item.PCID = owner;
        item.SyncName = std::string("Between on ") + owner;
        item.FolderAList.Add("/Shared/");
        item.FolderBList.Add(folder);
        item.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    }
    const std::string pcFile = Save(pc, "Between.UpcSy");
    {
        const PreparedJob job = runner.Prepare(pcFile);
        ASSERT_TRUE(job.Ready());
        EXPECT_TRUE(job.Questions().empty()) << "each computer runs its own item: nothing to ask";
        EXPECT_EQ(job.Name(), "Between on PC-1");
    }
    clock.Advance(1);
    const JobOutcome pcSynced = RunToEnd(pcFile, &events);
    EXPECT_EQ(pcSynced.kind, JobKind::PCSync);
    EXPECT_EQ(pcSynced.finishMessage.substr(0, 32), "PC Sync file operation completed");
    EXPECT_TRUE(fs::exists(drive + "Config/ITEM-B.Usdb"));
    EXPECT_FALSE(fs::exists(drive + "Config/ITEM-A.Usdb"));
    TPCSyncData saved;
    ASSERT_EQ(saved.LoadCompressed(pcFile), LoadResult::Loaded);
    EXPECT_DOUBLE_EQ(saved.SyncDataItems[0].LastUpdate, 0);
    EXPECT_DOUBLE_EQ(saved.SyncDataItems[1].LastUpdate, kStart + 1);
}

TEST_F(JobRunnerTest, AComputerSyncWithoutThisComputersItemIsRefusedAsNoItem) {
    TPCSyncData pc;
    pc.SyncName = "Between";
    TSyncDataItem& item = pc.SyncDataItems.Add();
    item.ID = "ITEM-A";
    item.PCID = "PC-2";
    const std::string file = Save(pc, "Between.Upcsy");
    const auto before = ReadRecordFile(file);
    const PreparedJob job = runner.Prepare(file);
    ASSERT_FALSE(job.Ready());
    EXPECT_EQ(job.Refusal()->reason, RefusalReason::NoItem);
    EXPECT_NE(job.Refusal()->text.find("PC-1"), std::string::npos);
    EXPECT_EQ(runner.Prepare(file, PrepareOptions{3}).Refusal()->text, "the job has no item 3");
    EXPECT_TRUE(runner.Prepare(file, PrepareOptions{0}).Ready()) << "an item asked for by number runs";
    EXPECT_EQ(ReadRecordFile(file), before);
}

// Each kind: garbage, a record of another kind, and a file cut short.
TEST_F(JobRunnerTest, AFileThatCannotBeReadIsRefusedAndLeftByteForByte) {
    TArchiveData backup = Backup();
    TSyncData sync;
    sync.SyncName = "S";
    const std::string whole = [&] {
        const std::string file = Save(backup, "Whole.Ubk");
        const std::vector<uint8_t> bytes = ReadRecordFile(file);
        return std::string(bytes.begin(), bytes.end());
    }();
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"Garbage.Ubk", "not a record at all"},
        {"Cut.Ubk", whole.substr(0, whole.size() / 2)},
        {"Wrong.Usy", whole},
        {"Garbage.Umv", std::string(300, '\x01')},
        {"Garbage.Upcsy", "\x78\x9c garbage"},
    };
    for (const auto& [name, content] : damaged) {
        SCOPED_TRACE(name);
        const std::string file = drive + "Config/" + name;
        WriteFile(file, content);
        const PreparedJob job = runner.Prepare(file);
        ASSERT_FALSE(job.Ready());
        EXPECT_EQ(job.Refusal()->reason, RefusalReason::Damaged);
        EXPECT_TRUE(job.Refusal()->Unreadable());
        EXPECT_EQ(job.Refusal()->title, "File Load Error.");
        EXPECT_EQ(ReadFile(file), content);
    }
    EXPECT_EQ(runner.Prepare(drive + "Config/None.Ubk").Refusal()->reason, RefusalReason::Missing);
    EXPECT_TRUE(fs::is_empty(drive + "Backups"));

    // The dialog launcher too: answering Yes to everything runs nothing and saves nothing.
    RecordingDialogs dialogs;
    dialogs.answers = {dlg::Yes, dlg::Yes, dlg::Yes};
    const LaunchServices services{{files, clock}, dialogs, "PC-1", {}, {}};
    WriteFile(drive + "Config/Garbage.Ubk", "not a record at all");
    EXPECT_FALSE(LaunchBackup(drive + "Config/Garbage.Ubk", services, &events));
    EXPECT_FALSE(LaunchSync(drive + "Config/Wrong.Usy", services, &events, {}).worker);
    EXPECT_EQ(ReadFile(drive + "Config/Garbage.Ubk"), "not a record at all");
    EXPECT_EQ(ReadFile(drive + "Config/Wrong.Usy"), whole);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].title, "File Load Error.");
    EXPECT_EQ(dialogs.answers.size(), 3u) << "no question was asked";
}

TEST_F(JobRunnerTest, AnotherComputersJobRunsOnlyOnYesAndHoldsItsLockWhileAsked) {
    TArchiveData job = Backup();
    job.PCID = "PC-2";
    const std::string file = Save(job, "Docs.Ubk");
    const auto before = ReadRecordFile(file);
    for (const int reply : {dlg::No, dlg::NoAnswer, dlg::Cancel}) {
        PreparedJob prepared = runner.Prepare(file);
        ASSERT_TRUE(prepared.Ready());
        ASSERT_EQ(prepared.Questions().size(), 1u);
        EXPECT_EQ(prepared.Questions()[0].kind, QuestionKind::OtherComputer);
        EXPECT_EQ(prepared.Questions()[0].title, "Load Job");
        // While the question is open, a second run of the job is refused.
        const PreparedJob second = runner.Prepare(file);
        ASSERT_FALSE(second.Ready());
        EXPECT_EQ(second.Refusal()->reason, RefusalReason::AlreadyRunning);
        EXPECT_FALSE(second.Refusal()->Unreadable());

        const JobStart start = runner.Start(std::move(prepared), {reply}, &events);
        EXPECT_FALSE(start.Started());
        EXPECT_TRUE(start.declined);
        EXPECT_EQ(ReadRecordFile(file), before);
        EXPECT_FALSE(fs::exists(drive + "Config/Docs.Udb"));
    }
    PreparedJob prepared = runner.Prepare(file);
    ASSERT_TRUE(prepared.Ready()) << "a declined job holds no lock";
    JobStart start = runner.Start(std::move(prepared), {dlg::Yes}, &events);
    ASSERT_TRUE(start.Started());
    start.run->Wait();
    EXPECT_TRUE(start.run->Outcome().Complete());
    EXPECT_EQ(ReadFile(Copy(source + "a.txt")), "alpha");
}

TEST_F(JobRunnerTest, MissingFoldersAreListedAndOnlyNoKeepsTheJobFromRunning) {
    fs::remove_all(drive + "Backups");
    TArchiveData job = Backup();
    job.PCID = "PC-2";
    job.FolderList.Add(root + "home/gail/Gone/");
    job.FileList.Add(root + "home/gail/gone.txt");
    const std::string file = Save(job, "Docs.Ubk");
    {
        const PreparedJob prepared = runner.Prepare(file);
        ASSERT_EQ(prepared.Questions().size(), 2u);
        EXPECT_EQ(prepared.Questions()[0].kind, QuestionKind::OtherComputer);
        const JobQuestion& missing = prepared.Questions()[1];
        EXPECT_EQ(missing.kind, QuestionKind::FoldersMissing);
        EXPECT_EQ(missing.title, "Folder Missing");
        EXPECT_EQ(missing.missingPaths,
                  (std::vector<std::string>{drive + "Backups/", root + "home/gail/Gone/",
                                            root + "home/gail/gone.txt"}));
    }
    EXPECT_TRUE(runner.Start(runner.Prepare(file), {dlg::Yes, dlg::No}, &events).declined);
    EXPECT_TRUE(runner.Start(runner.Prepare(file), {dlg::No, dlg::Yes}, &events).declined);
    EXPECT_FALSE(fs::exists(drive + "Backups"));
    // Closed without an answer: the job runs with what is there.
    JobStart start = runner.Start(runner.Prepare(file), {dlg::Yes, dlg::NoAnswer}, &events);
    ASSERT_TRUE(start.Started());
    start.run->Wait();
    EXPECT_EQ(ReadFile(Copy(source + "a.txt")), "alpha");
}

TEST_F(JobRunnerTest, ABackupToTheComputerWithoutDestinationIsRefusedBeforeAnyQuestion) {
    TArchiveData job = Backup();
    job.PCID = "PC-2";
    job.ArchiveDir = TArchiveDir::amUsbToPc;
    job.Destination.clear();
    const PreparedJob prepared = runner.Prepare(Save(job, "Docs.Ubk"));
    ASSERT_FALSE(prepared.Ready());
    EXPECT_EQ(prepared.Refusal()->reason, RefusalReason::NoDestination);
    EXPECT_TRUE(prepared.Questions().empty());
    EXPECT_EQ(runner.Prepare(drive + "Config/Docs.Ubk").Refusal()->reason, RefusalReason::NoDestination)
        << "the refused job left no lock behind";
}

TEST_F(JobRunnerTest, TheOutcomeCountsFailedLinesThreadErrorsAndACancel) {
    // A folder where the copy of one file must go: that file fails, the others are done.
    fs::create_directories(Copy(source + "a.txt") + "/x");
    TArchiveData job = Backup();
    const std::string file = Save(job, "Docs.Ubk");
    RecordingEvents sink;
    const JobOutcome failed = RunToEnd(file, &sink);
    EXPECT_EQ(failed.failedLines, 1);
    EXPECT_EQ(failed.threadErrors, 0);
    EXPECT_FALSE(failed.cancelled);
    EXPECT_FALSE(failed.Complete());
    ASSERT_EQ(sink.logs.size(), 2u) << "every event still reaches the front end's sink";
    // The run went through: completed, with the failed file among its errors and only files counted.
    EXPECT_EQ(failed.ending, JobEnding::Completed);
    EXPECT_EQ(failed.finishMessage, "Backup file operation completed !\nTotal Files : 2\nErrors : 1");

    // A backup database that cannot be opened stops the run with a thread error.
    fs::remove_all(drive + "Backups");
    fs::create_directories(drive + "Backups");
    fs::remove(drive + "Config/Docs.Udb");
    fs::create_directories(drive + "Config/Docs.Udb/in-the-way");
    RecordingEvents errors;
    const JobOutcome broken = RunToEnd(file, &errors);
    EXPECT_EQ(broken.threadErrors, 1);
    EXPECT_EQ(errors.errors.size(), 1u);
    EXPECT_FALSE(broken.Complete());
    EXPECT_EQ(broken.ending, JobEnding::Failed);
    EXPECT_EQ(broken.finishTitle, "Job Failed.");
    EXPECT_EQ(broken.finishMessage,
              "Backup file operation failed, not every file was done !\nTotal Files : 0\nErrors : 1");
    fs::remove_all(drive + "Config/Docs.Udb");

    HoldAtFirstLook held{files};
    const JobRunner holding{{{held, clock}, "PC-1", {}, AnyFolderIsADrive}};
    JobStart start = holding.Start(holding.Prepare(file), {}, &events);
    ASSERT_TRUE(start.Started());
    held.reached.get_future().wait();
    start.run->Cancel();
    held.release.set_value();
    start.run->Wait();
    const JobOutcome cancelled = start.run->Outcome();
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.Complete());
    EXPECT_EQ(cancelled.ending, JobEnding::Canceled);
    EXPECT_EQ(cancelled.finishTitle, "Job Canceled.");
    EXPECT_TRUE(
        cancelled.finishMessage.rfind("Backup file operation canceled, not every file was done !\n", 0) == 0)
        << cancelled.finishMessage;
    EXPECT_TRUE(fs::is_empty(drive + "Backups"));

    // A cancel that comes once the worker has done its work, before the front end has drained its
    // last events (an exit asked for just then), leaves the run complete.
    JobStart late = runner.Start(runner.Prepare(file), {}, &events);
    ASSERT_TRUE(late.Started());
    late.run->Worker().WaitFor();
    late.run->Cancel();
    late.run->Wait();
    EXPECT_TRUE(late.run->Outcome().Complete()) << late.run->Outcome().finishMessage;
    EXPECT_EQ(late.run->Outcome().finishTitle, "Job Completed.");
}

TEST_F(JobRunnerTest, ADryRunWritesNeitherTheJobNorItsDatabase) {
    const std::string computer = root + "home/gail/Shared/";
    fs::create_directories(computer);
    WriteFile(drive + "Shared/plan.txt", "plan");
    TSyncData sync;
    sync.SyncName = "Shared";
    sync.PCID = "PC-1";
    sync.FolderAList.Add("/Shared/");
    sync.FolderBList.Add(computer);
    sync.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    const std::string file = Save(sync, "Shared.Usy");
    const auto before = ReadRecordFile(file);
    PreparedJob job = runner.Prepare(file);
    JobStart start = runner.Start(std::move(job), {}, &events, StartOptions{nullptr, true});
    ASSERT_TRUE(start.Started());
    start.run->Wait();
    ASSERT_NE(start.run->SyncWorker(), nullptr);
    EXPECT_EQ(start.run->SyncWorker()->GetFilePairs().Count(), 1u);
    EXPECT_EQ(ReadRecordFile(file), before);
    EXPECT_FALSE(fs::exists(computer + "plan.txt"));
    EXPECT_FALSE(fs::exists(drive + "Config/Shared.Usdb"));
}

} // namespace

namespace {

TEST_F(JobRunnerTest, ARunLetGoWhileWorkingIsCancelledJoinedAndFreesTheJob) {
    TArchiveData job = Backup();
    const std::string file = Save(job, "Docs.Ubk");
    HoldAtFirstLook held{files};
    const JobRunner holding{{{held, clock}, "PC-1", {}, AnyFolderIsADrive}};
    JobStart start = holding.Start(holding.Prepare(file), {}, &events);
    ASSERT_TRUE(start.Started());
    held.reached.get_future().wait();
    EXPECT_FALSE(runner.Prepare(file).Ready()) << "the running job holds its lock";
    // Let go while the worker is held: the run cancels it, the cancel lets the worker go, and it
    // finds itself cancelled before it touches a file.
    std::once_flag once;
    start.run->Worker().AddTerminateListener(
        [&] { std::call_once(once, [&] { held.release.set_value(); }); });
    start.run.reset();
    EXPECT_TRUE(runner.Prepare(file).Ready()) << "the worker was joined and its lock released";
    EXPECT_TRUE(fs::is_empty(drive + "Backups"));
    EXPECT_TRUE(events.terminated == false) << "nothing is handed over once the run is gone";
}

} // namespace

// Events that never make a worker wait: merging and order, a flood of log lines, the wake-up of
// an event loop, and questions answered later, cancelled or closed, with real worker threads.
#include "EngineTestSupport.h"
#include "core/launch/JobRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>

using namespace drivlet;
using namespace drivlet::test;
using namespace std::chrono_literals;

namespace {

std::chrono::steady_clock::time_point Deadline() {
    return std::chrono::steady_clock::now() + 120s;
}

// A front end that answers the low-disk question later, from another turn of its loop.
class DeferringEvents final : public RecordingEvents {
public:
    std::optional<Answer<LowDiskAnswer>> pending;
    void AskLowDiskSpace(const TThreadBase&, const LowDiskQuestion& q, Answer<LowDiskAnswer> a) override {
        Asked(q); // recorded
        pending = std::move(a);
    }
};

class ThreadEventQueueTest : public ::testing::Test {
protected:
    LinuxFileSystem files;
    ManualClock clock{EncodeDateTime({2010, 8, 16, 14, 5, 0, 0})};
    RecordingEvents events;

    std::unique_ptr<ProbeThread> Worker(JobRun& job, std::function<void(ProbeThread&)> body,
                                        const IFileSystem* fs = nullptr) {
        auto worker = std::make_unique<ProbeThread>(ThreadServices{fs ? *fs : files, clock});
        worker->SetEvents(&job.Queue());
        worker->body = std::move(body);
        return worker;
    }
};

TEST_F(ThreadEventQueueTest, StatusAndProgressMergeBetweenLogLinesWhichKeepTheirOrder) {
    JobRun job(JobKind::Backup, "", &events);
    job.Adopt(Worker(job, [](ProbeThread& t) {
        const auto status = [&](const char* text) { t.ShowStatus(StatusPhase::Step, text); };
        const auto progress = [&](double percent) {
            t.Report().FileAction("Copying File: a");
            t.Report().FileProgress(percent);
        };
        const auto log = [&](const char* name) { t.ReportFileResult(name, "Copy File", true); };
        status("one");
        progress(10);
        status("two");
        progress(20);
        log("/a");
        status("three");
        progress(30);
        progress(40);
        t.RunGuarded(kThreadErrorPrefix, [] { throw std::runtime_error("boom"); });
        log("/b");
        status("last");
    }));
    // Nothing is drained until the worker has ended: it never waited for the front end.
    job.Start();
    job.Worker().WaitFor();
    ASSERT_TRUE(job.DrainUntilEnded(Deadline()));

    const std::vector<std::string> expected = {"status two",
                                               "progress Copying File: a",
                                               "log Copy File /a Done",
                                               "status three",
                                               "progress Copying File: a",
                                               "error Thread Error : Class = TThreadBase : boom",
                                               "log Copy File /b Done",
                                               "status last",
                                               "terminated"};
    EXPECT_EQ(events.lines, expected);
    ASSERT_EQ(events.progress.size(), 2u);
    EXPECT_EQ(events.progress[0].percent, 20);
    EXPECT_EQ(events.progress[1].percent, 40);
    for (const std::thread::id id : events.callers)
        EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_TRUE(job.Worker().Finished());
}

TEST_F(ThreadEventQueueTest, AFloodOfLogLinesDrainedMeanwhileLosesNone) {
    constexpr int kLines = 50000;
    JobRun job(JobKind::Backup, "", &events);
    job.Adopt(Worker(job, [](ProbeThread& t) {
        for (int i = 0; i < kLines; ++i) {
            t.Report().FileAction("f");
            t.Report().FileProgress(i % 100);
            t.ReportFileResult(std::to_string(i), "Copy File", i % 7 != 0);
        }
    }));
    job.Start();
    ASSERT_TRUE(job.DrainUntilEnded(Deadline()));
    ASSERT_EQ(events.logs.size(), static_cast<size_t>(kLines));
    for (int i = 0; i < kLines; ++i) {
        ASSERT_EQ(events.logs[i].fileName, std::to_string(i));
        ASSERT_EQ(events.logs[i].isError, i % 7 == 0);
    }
    EXPECT_LE(events.progress.size(), static_cast<size_t>(kLines));
    EXPECT_EQ(events.lines.back(), "terminated");
}

TEST_F(ThreadEventQueueTest, TheWakeComesOncePerBatchAndNothingFollowsTheEnd) {
    int wakes = 0;
    ThreadEventQueue queue([&] { ++wakes; });
    ProbeThread sender({files, clock});
    queue.OnStatus(sender, {"a"});
    queue.OnLogEntry(sender, {"/x", "Copy File", "Done", false});
    queue.OnStatus(sender, {"b"});
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(queue.Drain(events), 3u);
    queue.OnFileProgress(sender, {"c", 5});
    EXPECT_EQ(wakes, 2);
    queue.OnTerminated(sender, {});
    queue.OnLogEntry(sender, {"/late", "Copy File", "Done", false});
    EXPECT_EQ(queue.Drain(events), 2u);
    EXPECT_TRUE(queue.Ended());
    EXPECT_EQ(events.lines.back(), "terminated");
    EXPECT_EQ(events.logs.size(), 1u);
}

// The copy finds no room and asks; free space appears for the second look.
class LowDiskQuestionTest : public ThreadEventQueueTest {
protected:
    TempDir dir;
    LowSpaceFileSystem lowSpace{files, {0, int64_t{1} << 40}};
    DeferringEvents deferring;
    std::string source = (dir / "a.txt").string();
    std::string target = (dir / "out" / "a.txt").string();

    std::unique_ptr<ProbeThread> Copier(JobRun& job) {
        WriteFile(source, "alpha");
        return Worker(
            job, [this](ProbeThread& t) { (void)t.FileOps().Copy(source, target, false, false); }, &lowSpace);
    }
    // Drains until the question has reached the front end.
    static bool DrainUntilAsked(JobRun& job, const DeferringEvents& sink) {
        const auto deadline = Deadline();
        while (!sink.pending) {
            if (!job.Queue().WaitForEvents(deadline)) return false;
            job.Drain();
        }
        return true;
    }
};

TEST_F(LowDiskQuestionTest, AnsweredOnALaterTurnOfTheDrainingThread) {
    JobRun job(JobKind::Backup, "", &deferring);
    job.Adopt(Copier(job));
    job.Start();
    ASSERT_TRUE(DrainUntilAsked(job, deferring));
    EXPECT_FALSE(job.Worker().Finished());
    EXPECT_TRUE((*deferring.pending)(LowDiskAnswer::Retry));
    ASSERT_TRUE(job.DrainUntilEnded(Deadline()));
    EXPECT_EQ(ReadFile(target), "alpha");
    EXPECT_EQ(lowSpace.SpaceQueries(), 2);
    EXPECT_FALSE(job.Worker().Terminated());
}

// A front end that takes the question on the worker's own thread and never answers it.
class SilentEvents final : public RecordingEvents {
public:
    std::promise<void> asked;
    std::optional<Answer<LowDiskAnswer>> kept;
    void AskLowDiskSpace(const TThreadBase&, const LowDiskQuestion&, Answer<LowDiskAnswer> a) override {
        kept = std::move(a);
        asked.set_value();
    }
};

TEST_F(LowDiskQuestionTest, WithoutAQueueATerminateReleasesTheWaitingWorker) {
    SilentEvents silent;
    WriteFile(source, "alpha");
    ProbeThread worker({lowSpace, clock});
    worker.SetEvents(&silent);
    worker.body = [this](ProbeThread& t) { (void)t.FileOps().Copy(source, target, false, false); };
    std::future<void> asked = silent.asked.get_future();
    worker.Start();
    ASSERT_EQ(asked.wait_for(120s), std::future_status::ready);
    worker.Terminate();
    worker.WaitFor();
    EXPECT_TRUE(worker.Finished());
    EXPECT_TRUE(silent.terminated);
    // The released question was answered for the worker; a late answer changes nothing.
    EXPECT_FALSE((*silent.kept)(LowDiskAnswer::Retry));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(lowSpace.SpaceQueries(), 1);
}

TEST_F(LowDiskQuestionTest, ACancelReleasesTheWaitingWorkerWithAbort) {
    JobRun job(JobKind::Backup, "", &deferring);
    job.Adopt(Copier(job));
    job.Start();
    ASSERT_TRUE(DrainUntilAsked(job, deferring));
    job.Cancel();
    ASSERT_TRUE(job.DrainUntilEnded(Deadline()));
    // The dialog closed afterwards changes nothing.
    EXPECT_FALSE((*deferring.pending)(LowDiskAnswer::Retry));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(lowSpace.SpaceQueries(), 1);
    EXPECT_TRUE(job.Worker().Terminated());
}

TEST_F(LowDiskQuestionTest, TheWorkersOwnTerminateReleasesItToo) {
    JobRun job(JobKind::Backup, "", &deferring);
    ProbeThread& worker = job.Adopt(Copier(job));
    job.Start();
    ASSERT_TRUE(DrainUntilAsked(job, deferring));
    worker.Terminate();
    ASSERT_TRUE(job.DrainUntilEnded(Deadline()));
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(LowDiskQuestionTest, ClosingTheJobWhileItWaitsReleasesAndJoinsIt) {
    auto job = std::make_unique<JobRun>(JobKind::Backup, "", &deferring);
    ProbeThread& worker = job->Adopt(Copier(*job));
    bool destroyed = false;
    worker.destroyed = &destroyed;
    job->Start();
    ASSERT_TRUE(DrainUntilAsked(*job, deferring));
    EXPECT_FALSE(worker.Finished());
    job.reset();
    EXPECT_FALSE((*deferring.pending)(LowDiskAnswer::Retry));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_TRUE(destroyed);
}

TEST_F(LowDiskQuestionTest, AQuestionAfterTheCancelIsAnsweredAtOnce) {
    JobRun job(JobKind::Backup, "", &deferring);
    job.Adopt(Copier(job));
    job.Cancel();
    job.Start();
    ASSERT_TRUE(job.DrainUntilEnded(Deadline()));
    EXPECT_FALSE(deferring.pending);
    EXPECT_FALSE(std::filesystem::exists(target));
}

} // namespace

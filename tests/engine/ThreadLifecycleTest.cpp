// Real worker threads: events reach the draining thread in order through the job's queue, the
// failed-body convention, a thread never started, and cancellation before the body.
#include "EngineTestSupport.h"
#include "core/launch/JobRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace drivlet;
using namespace drivlet::test;
using namespace std::chrono_literals;

namespace {

std::chrono::steady_clock::time_point Deadline() {
    return std::chrono::steady_clock::now() + 30s;
}

class ThreadLifecycleTest : public ::testing::Test {
protected:
    LinuxFileSystem files;
    ManualClock clock{EncodeDateTime({2010, 8, 16, 14, 5, 0, 0})};
    RecordingEvents events;

    // A worker owned as a front end owns it, its events drained on this thread.
    ProbeThread& Adopt(JobRun& job) {
        auto thread = std::make_unique<ProbeThread>(ThreadServices{files, clock});
        thread->SetEvents(&job.Queue());
        return job.Adopt(std::move(thread));
    }
};

TEST_F(ThreadLifecycleTest, EventsArriveInOrderOnTheMainThread) {
    auto job = std::make_unique<JobRun>(JobKind::Backup, "", &events);
    ProbeThread& thread = Adopt(*job);
    std::thread::id worker;
    thread.body = [&](ProbeThread& t) {
        worker = std::this_thread::get_id();
        t.RunGuarded(kThreadErrorPrefix, [&] {
            t.ShowStatus(StatusPhase::Step, "Scanning");
            t.Report().FileAction("Copying File: a.txt");
            t.Report().FileProgress(50);
            t.ReportFileResult("/a.txt", "Copy File", true);
            throw std::runtime_error("disk on fire");
        });
    };
    job->Start();
    ASSERT_TRUE(job->DrainUntilEnded(Deadline()));
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(thread.StartTime(), clock.Now());

    const std::vector<std::string> expected = {
        "status Scanning", "progress Copying File: a.txt", "log Copy File /a.txt Done",
        "error Thread Error : Class = TThreadBase : disk on fire", "terminated"};
    EXPECT_EQ(events.lines, expected);
    for (const std::thread::id id : events.callers)
        EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(events.errors.at(0).code, -1);
    // The thread object is still there to be read.
    EXPECT_EQ(thread.Counters().FilesDone, 0);
}

TEST_F(ThreadLifecycleTest, TerminatedBeforeTheBodyReportsCanceled) {
    JobRun job(JobKind::Backup, "", &events);
    ProbeThread& thread = Adopt(job);
    thread.Terminate();
    job.Start();
    ASSERT_TRUE(job.DrainUntilEnded(Deadline()));
    ASSERT_FALSE(events.statuses.empty());
    EXPECT_EQ(events.statuses.front().text, "Canceled :(");
}

TEST_F(ThreadLifecycleTest, ACopyProtectedDescendantPrefixAndUnknownExceptions) {
    ProbeThread thread({files, clock});
    thread.SetEvents(&events);
    thread.RunBody([](ProbeThread& t) {
        t.RunGuarded(kCopyThreadErrorPrefix, [] { throw std::logic_error("bad entry"); });
        throw 42; // escapes the descendant's guard; the thread still ends normally
    });
    ASSERT_EQ(events.errors.size(), 2u);
    EXPECT_EQ(events.errors[0].text, "Thread Error : Class = TCopyFolderThread : bad entry");
    EXPECT_EQ(events.errors[1].text, "Thread Error : Class = TThreadBase : Unknown error");
    EXPECT_TRUE(events.terminated);
}

TEST_F(ThreadLifecycleTest, AFailingStoreLogReachesTheBodyGuard) {
    struct FailingLog : IDeletedFilesLog {
        void Add(const std::string&, int64_t) override { throw std::runtime_error("database is locked"); }
    };
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    ProbeThread thread({files, clock});
    thread.SetEvents(&events);
    thread.SetDeletedStore({true, (dir / "Store").string() + "/"},
                           [] { return std::make_unique<FailingLog>(); });
    thread.RunBody([&](ProbeThread& t) {
        t.RunGuarded(kThreadErrorPrefix, [&] { (void)t.FileOps().Delete((dir / "a.txt").string()); });
    });
    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_EQ(events.errors[0].text, "Thread Error : Class = TThreadBase : database is locked");
    // The file itself is safe in the store.
    EXPECT_FALSE(std::filesystem::exists(dir / "a.txt"));
}

TEST_F(ThreadLifecycleTest, ANeverStartedThreadGoesWithoutRunningItsBody) {
    bool ran = false;
    bool destroyed = false;
    {
        ProbeThread thread({files, clock});
        thread.body = [&](ProbeThread&) { ran = true; };
        thread.destroyed = &destroyed;
        thread.SetEvents(&events);
        EXPECT_FALSE(thread.Finished());
    }
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(ran);
    EXPECT_FALSE(events.terminated);
}

} // namespace

// The conflict prompt asked through the job's event queue: the front end answers on a later turn
// of its loop, or the job is cancelled or closed while the worker waits, which touches nothing.
#include "core/engine/sync/QueuedConflictPrompt.h"
#include "SyncRunSupport.h"
#include "core/launch/JobRun.h"

#include <optional>

using namespace drivlet;
using namespace drivlet::test;
using namespace std::chrono_literals;

namespace {

// Keeps the question to answer it later; the pairs it holds are its own copies.
class LaterPrompt final : public IConflictPrompt {
public:
    std::optional<Answer<ConflictAnswer>> pending;
    std::vector<TFilePair> pairs;
    void Resolve(std::vector<TFilePair> asked, Answer<ConflictAnswer> answer) override {
        pairs = std::move(asked);
        pending = std::move(answer);
    }
};

class QueuedConflictPromptTest : public SyncRunFixture {
protected:
    LaterPrompt later;

    QueuedConflictPromptTest() {
        Make(drive + "Docs/a.txt", "drive", Day(1));
        Make(pc + "Docs/a.txt", "pc", Day(2));
    }

    // A sync job owned the way a front end owns it, with its prompt kept by the job.
    std::unique_ptr<JobRun> Start() {
        auto job = std::make_unique<JobRun>(JobKind::Backup, "", &hooked);
        auto prompt = std::make_shared<QueuedConflictPrompt>(job->Queue(), later);
        auto worker = std::make_unique<TSyncFolderThread>(ThreadServices{files, clock});
        worker->SetEvents(&job->Queue());
        worker->SetDatabaseFile(database);
        worker->SetConflictPrompt(prompt.get());
        worker->SyncDefaultAction = TSyncDefaultAction::sdaAsk;
        worker->FolderItems.AddItem("/Docs/", pc + "Docs/", true);
        job->Keep(prompt);
        job->Adopt(std::move(worker));
        job->Start();
        return job;
    }
    bool DrainUntilAsked(JobRun& job) {
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (!later.pending) {
            if (!job.Queue().WaitForEvents(deadline)) return false;
            job.Drain();
        }
        return true;
    }
    static std::chrono::steady_clock::time_point Deadline() {
        return std::chrono::steady_clock::now() + 120s;
    }
};

TEST_F(QueuedConflictPromptTest, AnsweredOnALaterTurnTheRunGoesOn) {
    auto job = Start();
    ASSERT_TRUE(DrainUntilAsked(*job));
    ASSERT_EQ(later.pairs.size(), 1u);
    EXPECT_EQ(later.pairs[0].FileA.FileName, drive + "Docs/a.txt");
    EXPECT_FALSE(job->Worker().Finished());
    EXPECT_TRUE((*later.pending)(std::vector{TConflictResolution::UseDrive}));
    ASSERT_TRUE(job->DrainUntilEnded(Deadline()));
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "drive");
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(QueuedConflictPromptTest, ACancelWhileAskedTouchesNothing) {
    auto job = Start();
    ASSERT_TRUE(DrainUntilAsked(*job));
    job->Cancel();
    ASSERT_TRUE(job->DrainUntilEnded(Deadline()));
    EXPECT_FALSE((*later.pending)(std::vector{TConflictResolution::UseDrive}));
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "pc");
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive");
    EXPECT_EQ(LastStatus(), "Canceled");
}

TEST_F(QueuedConflictPromptTest, DestroyedWhileAskedTheWorkerIsReleasedAndNothingIsTouched) {
    auto job = Start();
    ASSERT_TRUE(DrainUntilAsked(*job));
    job.reset();
    // The question outlives the run; answering it now reaches nobody.
    EXPECT_FALSE((*later.pending)(std::vector{TConflictResolution::UseComputer}));
    EXPECT_EQ(later.pairs.at(0).FileB.FileName, pc + "Docs/a.txt");
    EXPECT_EQ(ReadFile(pc + "Docs/a.txt"), "pc");
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "drive");
}

TEST_F(QueuedConflictPromptTest, APromptThatAnswersAtOnceIsAskedOnTheDrainingThread) {
    std::thread::id askedOn;
    prompt.whileAsked = [&] { askedOn = std::this_thread::get_id(); };
    prompt.answer = TConflictResolution::UseComputer;
    auto job = std::make_unique<JobRun>(JobKind::Backup, "", &hooked);
    auto queued = std::make_shared<QueuedConflictPrompt>(job->Queue(), prompt);
    auto worker = std::make_unique<TSyncFolderThread>(ThreadServices{files, clock});
    worker->SetEvents(&job->Queue());
    worker->SetDatabaseFile(database);
    worker->SetConflictPrompt(queued.get());
    worker->SyncDefaultAction = TSyncDefaultAction::sdaAsk;
    worker->FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    job->Keep(queued);
    job->Adopt(std::move(worker));
    job->Start();
    ASSERT_TRUE(job->DrainUntilEnded(Deadline()));
    EXPECT_EQ(askedOn, std::this_thread::get_id());
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "pc");
}

} // namespace

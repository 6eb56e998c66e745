// Sync runs as the launcher sets them up: the items of a computer-to-computer job, each computer
// with its own database beside the job file, and the conflict prompt run on the main thread.
#include "SyncRunSupport.h"
#include "core/launch/JobRun.h"
#include "core/engine/sync/QueuedConflictPrompt.h"
#include "core/records/TSyncData.h"

#include <thread>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncJobsTest : public SyncRunFixture {
protected:
    std::string job = drive + "Config/Shared.upcsy";
    std::string pc1 = (dir / "one").string() + "/";
    std::string pc2 = (dir / "two").string() + "/";
    TPCSyncData shared;

    SyncJobsTest() {
        for (const auto& [id, pcid, folder] :
             {std::tuple{"{A1}", "pc-one", pc1}, std::tuple{"{B2}", "pc-two", pc2}}) {
            TSyncDataItem& item = shared.SyncDataItems.Add();
            item.ID = id;
            item.PCID = pcid;
            item.FolderAList.Add("/Shared");
            item.FolderBList.Add(folder + "Shared");
            item.SyncDirection = TSyncDirection::sdBidi;
            item.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
            fs::create_directories(folder + "Shared");
        }
        fs::create_directories(drive + "Shared");
    }

    void RunItem(size_t index) {
        const TSyncDataItem& item = shared.SyncDataItems[index];
        Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaAsk, [&](TSyncFolderThread& t) {
            t.Configure(item);
            t.SetDatabaseFile(SyncDatabase::PathForItem(job, item.ID).string());
        });
        ASSERT_EQ(LastStatus(), "Finished !");
        ASSERT_TRUE(hooked.errors.empty());
    }
};

} // namespace

TEST_F(SyncJobsTest, EachComputerRunsItsOwnItemAgainstItsOwnDatabase) {
    Make(pc1 + "Shared/report.txt", "from one", Day(1));
    Make(pc1 + "Shared/keep.txt", "keep", Day(1));
    RunItem(0);
    EXPECT_EQ(ReadFile(drive + "Shared/report.txt"), "from one");
    RunItem(1);
    EXPECT_EQ(ReadFile(pc2 + "Shared/report.txt"), "from one");
    EXPECT_TRUE(Exists(drive + "Config/{A1}.Usdb"));
    EXPECT_TRUE(Exists(drive + "Config/{B2}.Usdb"));
    EXPECT_FALSE(Exists(database));

    // An edit on the second computer reaches the first; a deletion on the first reaches the second.
    Make(pc2 + "Shared/report.txt", "edited on two", Day(2));
    RunItem(1);
    RunItem(0);
    EXPECT_EQ(ReadFile(pc1 + "Shared/report.txt"), "edited on two");
    fs::remove(pc1 + "Shared/keep.txt");
    RunItem(0);
    EXPECT_FALSE(Exists(drive + "Shared/keep.txt"));
    RunItem(1);
    EXPECT_FALSE(Exists(pc2 + "Shared/keep.txt"));
    EXPECT_EQ(ReadFile(pc2 + "Shared/report.txt"), "edited on two");

    // Each database speaks for its own computer's folder only.
    SyncDatabase one(SyncDatabase::PathForItem(job, "{A1}"));
    const auto record = one.FindDriveSide("report.txt", "/Shared/");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->FolderB, pc1 + "Shared/");
    EXPECT_FALSE(one.FindComputerSide("report.txt", pc2 + "Shared/"));
}

TEST_F(SyncJobsTest, ThePromptRunsOnTheMainThreadWhileTheWorkerWaits) {
    Make(drive + "Docs/a.txt", "drive", Day(1));
    Make(pc + "Docs/a.txt", "pc", Day(2));
    std::thread::id askedOn;
    prompt.whileAsked = [&] { askedOn = std::this_thread::get_id(); };
    JobRun job(JobKind::Backup, "", &hooked);
    QueuedConflictPrompt queued(job.Queue(), prompt);
    auto thread = std::make_unique<TSyncFolderThread>(ThreadServices{files, clock});
    thread->SetEvents(&job.Queue());
    thread->SetDatabaseFile(database);
    thread->SetConflictPrompt(&queued);
    thread->SyncDefaultAction = TSyncDefaultAction::sdaAsk;
    thread->FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    job.Adopt(std::move(thread));
    job.Start();
    ASSERT_TRUE(job.DrainUntilEnded(std::chrono::steady_clock::now() + std::chrono::seconds(120)));
    EXPECT_EQ(askedOn, std::this_thread::get_id());
    EXPECT_EQ(ReadFile(drive + "Docs/a.txt"), "pc");
    EXPECT_EQ(LastStatus(), "Finished !");
}

// Move jobs with and without deleting the sources (a file whose copy failed is never lost), and
// a run cancelled in the middle of a large file.
#include "BackupFixture.h"

#include <algorithm>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class MoveTest : public BackupFixture {
protected:
    void RunMove(bool deleteSources, std::vector<std::string> folders = {}) {
        auto job = MakeJob(TArchiveMode::amMove, dest);
        job->SetDeleteSources(deleteSources);
        if (!folders.empty()) job->SetFolderList(std::move(folders));
        Run(*job);
    }
    static bool IsEmptyFolder(const std::string& folder) {
        return fs::is_directory(folder) && fs::is_empty(folder);
    }
};

TEST_F(MoveTest, WithoutDeleteFileCopiesSideBySideAndDeletesNothing) {
    MakeTree();
    RunMove(false);
    EXPECT_EQ(ReadFile(dest + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(dest + "sub/deep/c.txt"), "charlie");
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_TRUE(Logs("Delete File").empty());
    const auto rows = History();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Format, "");
    EXPECT_EQ(rows[0].Status, "Finished !");
}

TEST_F(MoveTest, WithDeleteFileTheSourceEndsEmptyButPresent) {
    MakeTree();
    RunMove(true);
    EXPECT_EQ(ReadFile(dest + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(dest + "sub/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(dest + "sub/deep/c.txt"), "charlie");
    EXPECT_TRUE(IsEmptyFolder(source));
    EXPECT_EQ(LastStatus(), "Finished !");
}

TEST_F(MoveTest, AFileWhoseCopyFailedStaysWithItsFolder) {
    MakeTree();
    Make(source + "sub/bad.txt", "must survive");
    Make(dest + "sub/bad.txt/blocker", "a folder stands at the target's name");
    RunMove(true);
    EXPECT_EQ(ReadFile(source + "sub/bad.txt"), "must survive");
    EXPECT_FALSE(Exists(source + "sub/b.txt"));
    EXPECT_FALSE(Exists(source + "sub/deep"));
    EXPECT_FALSE(Exists(source + "a.txt"));
    bool failedLine = false;
    for (const auto& e : Logs("Copy File"))
        if (e.fileName == source + "sub/bad.txt") failedLine = e.isError;
    EXPECT_TRUE(failedLine);
}

TEST_F(MoveTest, AnUnchangedSourceIsDeletedOnlyWhenItsTargetHoldsIt) {
    MakeTree();
    RunMove(false);
    Make(dest + "a.txt", "the target was edited since");
    clock.Advance(kHour);
    RunMove(true);
    // a.txt was not copied again (its row is current and a target exists), and that target
    // differs from it: it stays. b.txt's target holds it: it goes.
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_FALSE(Exists(source + "sub/b.txt"));
    EXPECT_EQ(ReadFile(dest + "sub/b.txt"), "bravo");
}

TEST_F(MoveTest, TwoSourcesWithTheSameNameLandOnOneTarget) {
    const std::string other = root + "work/";
    Make(source + "a.txt", "from docs");
    Make(other + "a.txt", "from work", kFileTime + kHour);
    RunMove(false, {source, other});
    // The folders run in sorted order: home/... before work/.
    EXPECT_EQ(ReadFile(dest + "a.txt"), "from work");
}

class CancelTest : public BackupFixture {};

TEST_F(CancelTest, CancelInsideALargeFileKeepsTheOldTargetAndRecordsCanceled) {
    Make(source + "a.txt", "alpha");
    Make(source + "big.bin", "old contents");
    RunMode(TArchiveMode::amIncremental, dest);
    const std::string target = dest + source.substr(1);
    ASSERT_EQ(ReadFile(target + "big.bin"), "old contents");

    Make(source + "big.bin", std::string(24 << 20, 'n'), kFirstRun + kHour);
    clock.Advance(2 * kHour);
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    events = std::make_unique<RecordingEvents>();
    events->onProgress = [&](const FileProgressEvent& e) {
        if (e.action == "Copying File: big.bin" && e.percent > 0 && e.percent < 100) job->Terminate();
    };
    job->SetEvents(events.get());
    job->Start();
    job->WaitFor();

    EXPECT_EQ(ReadFile(target + "big.bin"), "old contents");
    // Nothing half-written is left beside it.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(target))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "big.bin"}));
    EXPECT_EQ(LastStatus(), "Canceled");
    EXPECT_EQ(History().at(0).Status, "Canceled");
    EXPECT_EQ(LastCopied(source + "big.bin"), kFirstRun); // the old row stands
}

TEST_F(CancelTest, CancelBetweenFilesKeepsTheRowsOfEveryCopiedFile) {
    for (int i = 0; i < 40; ++i)
        Make(source + "f" + std::to_string(i) + ".txt", "file " + std::to_string(i));
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    int copies = 0;
    std::vector<std::string> done;
    struct Sink : RecordingEvents {
        std::function<void(const LogEntryEvent&)> onLog;
        void OnLogEntry(const TThreadBase& t, const LogEntryEvent& e) override {
            RecordingEvents::OnLogEntry(t, e);
            if (onLog) onLog(e);
        }
    };
    auto sink = std::make_unique<Sink>();
    sink->onLog = [&](const LogEntryEvent& e) {
        done.push_back(e.fileName);
        if (++copies == 10) job->Terminate();
    };
    job->SetEvents(sink.get());
    job->Start();
    job->WaitFor();
    ASSERT_EQ(done.size(), 10u);
    for (const std::string& file : done)
        EXPECT_TRUE(LastCopied(file).has_value()) << file;
    EXPECT_EQ(History().at(0).Status, "Canceled");
}

} // namespace

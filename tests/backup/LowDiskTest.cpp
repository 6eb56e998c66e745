// A backup onto a full drive (a small tmpfs): the low-disk question, Skip failing the one file,
// Abort ending the run as cancelled, and no partial file left behind.
#include "BackupFixture.h"

#include <algorithm>
#include <cstdlib>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class LowDiskTest : public BackupFixture {
protected:
    bool mounted = false;

    void SetUp() override {
        fs::create_directories(drive);
        const std::string command = "mount -t tmpfs -o size=2m tmpfs '" + drive + "' 2>/dev/null";
        mounted = std::system(command.c_str()) == 0;
        if (!mounted) GTEST_SKIP() << "mounting a tmpfs is refused here";
        Make(source + "a.txt", "alpha");
        Make(source + "big.bin", std::string(3 << 20, 'b'));
    }
    void TearDown() override {
        if (mounted) std::system(("umount '" + drive + "'").c_str());
    }
    std::vector<std::string> TargetNames() const {
        std::vector<std::string> names;
        const std::string target = dest + source.substr(1);
        if (fs::exists(target))
            for (const auto& e : fs::directory_iterator(target))
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void RunAnswering(LowDiskAnswer answer) {
        auto job = MakeJob(TArchiveMode::amIncremental, dest);
        events = std::make_unique<RecordingEvents>();
        events->answers = {answer};
        job->SetEvents(events.get());
        job->Start();
        job->WaitFor();
    }
};

TEST_F(LowDiskTest, SkipFailsTheOneFileAndTheRunGoesOn) {
    RunAnswering(LowDiskAnswer::Skip);
    ASSERT_EQ(events->questions.size(), 1u);
    EXPECT_EQ(events->questions[0].title, "Low Disk Space");
    // The question names the folder whose drive is short, not the folder as "the drive".
    const std::string& message = events->questions[0].message;
    EXPECT_EQ(message.find("on drive \""), std::string::npos) << message;
    EXPECT_NE(message.find("on the drive of the folder \"" + dest), std::string::npos) << message;
    EXPECT_EQ(TargetNames(), std::vector<std::string>{"a.txt"});
    for (const auto& e : Logs("Copy File")) {
        EXPECT_EQ(e.isError, e.fileName == source + "big.bin") << e.fileName;
        // The skipped file says why it was left out.
        if (e.isError) {
            EXPECT_EQ(e.status, "No space left on device");
        }
    }
    EXPECT_FALSE(LastCopied(source + "big.bin").has_value());
    EXPECT_EQ(History().at(0).Status, "Finished !");
}

TEST_F(LowDiskTest, AbortEndsTheRunAsCanceled) {
    RunAnswering(LowDiskAnswer::Abort);
    ASSERT_EQ(events->questions.size(), 1u);
    const auto names = TargetNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "big.bin"), 0);
    EXPECT_LE(names.size(), 1u);
    EXPECT_EQ(History().at(0).Status, "Canceled");
    EXPECT_EQ(LastStatus(), "Canceled");
}

} // namespace

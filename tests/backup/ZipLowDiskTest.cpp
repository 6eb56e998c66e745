// A zip backup onto a full drive (a small tmpfs): the archive write that runs out of room asks the
// low-disk question; Retry writes it once there is room, Skip fails its files and Abort cancels,
// and the old archive and the drive are left as they were.
#include "ZipFixture.h"

#include <cstdlib>
#include <random>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

// Random bytes do not compress, so the archive needs their full size.
std::string Incompressible(size_t size) {
    std::mt19937 random(7);
    std::string data(size, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    return data;
}

// Answers as scripted, and makes the drive bigger first when asked to.
class GrowingDriveEvents : public RecordingEvents {
public:
    std::string growDrive;
    void AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& q,
                         Answer<LowDiskAnswer> a) override {
        if (!growDrive.empty()) std::system(("mount -o remount,size=16m '" + growDrive + "'").c_str());
        RecordingEvents::AskLowDiskSpace(sender, q, std::move(a));
    }
};

class ZipLowDiskTest : public ZipFixture {
protected:
    bool mounted = false;

    void SetUp() override {
        fs::create_directories(drive);
        mounted = std::system(("mount -t tmpfs -o size=2m tmpfs '" + drive + "' 2>/dev/null").c_str()) == 0;
        if (!mounted) GTEST_SKIP() << "mounting a tmpfs is refused here";
        fs::create_directories(dest);
        Make(source + "a.txt", "alpha");
        Make(source + "big.bin", Incompressible(3 << 20));
    }
    void TearDown() override {
        if (mounted) std::system(("umount '" + drive + "'").c_str());
    }
    void RunAnswering(LowDiskAnswer answer, bool grow = false) {
        auto job = MakeZipJob(TArchiveMode::amIncremental, dest);
        auto sink = std::make_unique<GrowingDriveEvents>();
        sink->answers = {answer};
        if (grow) sink->growDrive = drive;
        RunJob(*job, sink.get());
        events = std::move(sink);
    }
    // Nothing half-written stays on the drive.
    void ExpectNoStrayFiles() const {
        for (const auto& e : fs::recursive_directory_iterator(dest))
            EXPECT_EQ(e.path().filename().string(), "Root.Zip") << e.path();
    }
};

TEST_F(ZipLowDiskTest, SkipFailsTheArchivesFilesAndKeepsTheDriveClean) {
    RunAnswering(LowDiskAnswer::Skip);
    ASSERT_EQ(events->questions.size(), 1u);
    EXPECT_EQ(events->questions[0].title, "Low Disk Space");
    const auto logs = Logs("Zip File");
    ASSERT_EQ(logs.size(), 2u);
    for (const auto& e : logs)
        EXPECT_TRUE(e.isError) << e.fileName;
    EXPECT_FALSE(LastCopied(source + "a.txt").has_value());
    EXPECT_FALSE(fs::exists(archive));
    ExpectNoStrayFiles();
}

TEST_F(ZipLowDiskTest, AbortEndsTheRunAsCanceled) {
    RunAnswering(LowDiskAnswer::Abort);
    ASSERT_EQ(events->questions.size(), 1u);
    EXPECT_EQ(LastStatus(), "Canceled");
    EXPECT_EQ(History().at(0).Status, "Canceled");
    EXPECT_FALSE(fs::exists(archive));
    ExpectNoStrayFiles();
}

TEST_F(ZipLowDiskTest, RetryWritesTheArchiveOnceThereIsRoom) {
    RunAnswering(LowDiskAnswer::Retry, /*grow=*/true);
    ASSERT_EQ(events->questions.size(), 1u);
    for (const auto& e : Logs("Zip File"))
        EXPECT_FALSE(e.isError) << e.fileName << " " << e.status;
    EXPECT_EQ(ReadEntry(archive, EntryOf(source + "a.txt")), "alpha");
    EXPECT_EQ(Entries(archive).size(), 2u);
    EXPECT_EQ(History().at(0).Status, "Finished !");
    ExpectNoStrayFiles();
}

} // namespace

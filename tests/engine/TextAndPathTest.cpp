// Size and speed texts, the status computation and the mapping of paths into the store.
#include "EngineTestSupport.h"
#include "core/engine/PathMapping.h"
#include "core/engine/SizeText.h"

#include <gtest/gtest.h>

using namespace drivlet;
using namespace drivlet::test;

namespace {

constexpr double kSecond = 1.0 / 86400.0;

} // namespace

TEST(SizeText, FormatSizeUnitsAndDecimals) {
    EXPECT_EQ(FormatSize(0), "0 bytes");
    EXPECT_EQ(FormatSize(100), "100 bytes");
    EXPECT_EQ(FormatSize(1023), "1023 bytes");
    EXPECT_EQ(FormatSize(1024), "1 Kb");
    EXPECT_EQ(FormatSize(1536), "1.5 Kb");
    EXPECT_EQ(FormatSize(1024 + 10), "1.01 Kb");
    EXPECT_EQ(FormatSize(12 * 1048576LL), "12 Mb");
    EXPECT_EQ(FormatSize(1048575), "1024 Kb"); // rounds up within its unit
    EXPECT_EQ(FormatSize(1073741824LL * 9 / 4), "2.25 Gb");
    EXPECT_EQ(FormatSize(5000LL * 1073741824), "5000 Gb"); // no thousands separator
    EXPECT_EQ(FormatSize(-1), "-1 bytes");
}

TEST(SizeText, ThousandsAndSpeedUnits) {
    EXPECT_EQ(FormatThousands(1234.5678), "1,234.57");
    EXPECT_EQ(FormatThousands(1234567.0), "1,234,567.00");
    EXPECT_EQ(FormatThousands(999.999), "1,000.00");
    EXPECT_EQ(FormatThousands(-1234.5), "-1,234.50");
    EXPECT_EQ(FormatSpeed(0), "0.00B/s");
    EXPECT_EQ(FormatSpeed(1023), "1,023.00B/s");
    EXPECT_EQ(FormatSpeed(1024), "1.00KB/s");
    EXPECT_EQ(FormatSpeed(1073741824.0), "1,024.00MB/s"); // gigabytes only above one
    EXPECT_EQ(FormatSpeed(1.5 * 1073741824.0), "1.50GB/s");
}

class StatusTest : public ::testing::Test {
protected:
    LinuxFileSystem files;
    ManualClock clock{EncodeDateTime({2010, 8, 16, 14, 5, 0, 0})};
    RecordingEvents events;
    ProbeThread thread{{files, clock}};

    StatusEvent Report(int64_t bytesDone, double seconds) {
        thread.SpeedStartTime = clock.Now();
        clock.Advance(seconds * kSecond);
        thread.BytesDone = bytesDone;
        thread.ShowStatus();
        return events.statuses.back();
    }

    void SetUp() override { thread.SetEvents(&events); }
};

TEST_F(StatusTest, PercentIsUnknownWithoutTotalAndTruncatedOtherwise) {
    thread.SetStatus(StatusPhase::Step, "Copying");
    thread.FilesTotal = 0;
    EXPECT_EQ(Report(0, 1).percent, -1);
    thread.FilesTotal = 3;
    thread.FilesDone = 2;
    const StatusEvent e = Report(0, 1);
    EXPECT_EQ(e.percent, 66);
    EXPECT_EQ(e.text, "Copying");
}

TEST_F(StatusTest, NoElapsedTimeGivesNoSpeedAndNoEstimate) {
    thread.BytesTotal = 1000;
    const StatusEvent e = Report(500, 0);
    EXPECT_EQ(e.speed, "N/A");
    EXPECT_EQ(e.remaining, -1.0);
}

TEST_F(StatusTest, SpeedTextsAtTheUnitEdges) {
    // Run at a late date, where a day count holds a second least precisely.
    clock.Set(EncodeDateTime({2090, 12, 31, 23, 0, 0, 0}));
    EXPECT_EQ(Report(1023, 1).speed, "1,023.00B/s");
    EXPECT_EQ(Report(1024, 1).speed, "1.00KB/s");
    EXPECT_EQ(Report(1073741824LL, 1).speed, "1,024.00MB/s");
    EXPECT_EQ(Report(3 * 1024, 2).speed, "1.50KB/s");
}

TEST_F(StatusTest, RemainingTimeFollowsTheRate) {
    thread.BytesTotal = 10 * 1048576;
    const StatusEvent e = Report(1048576, 2); // 1 MiB in 2 s: 9 MiB need 18 s more
    EXPECT_NEAR(e.remaining, 18 * kSecond, 1e-9);
    EXPECT_EQ(e.speed, "512.00KB/s");
    // Nothing done yet: the estimate stays unknown.
    EXPECT_EQ(Report(0, 5).remaining, -1.0);
}

TEST(PathMapping, PosixDriveLetterAndNetworkForms) {
    EXPECT_EQ(MappedPath("/home/a/Docs/a.txt"), "home/a/Docs/a.txt");
    EXPECT_EQ(MappedPath("/home/a/Docs/"), "home/a/Docs/");
    EXPECT_EQ(MappedPath("//twice/a"), "twice/a");
    EXPECT_EQ(MappedPath("E:\\Docs\\a.txt"), "E\\Docs\\a.txt");
    EXPECT_EQ(MappedPath("e:\\Docs\\a.txt"), "e\\Docs\\a.txt");
    EXPECT_EQ(MappedPath("\\\\srv\\share\\a.txt"), "__srv\\share\\a.txt");
}

TEST(PathMapping, DeletedPathForStampsTheRunMinute) {
    const TDateTime start = EncodeDateTime({2010, 8, 16, 14, 5, 59, 900});
    EXPECT_EQ(StoreStamp(start), "2010-08-16 14-05");
    EXPECT_EQ(DeletedPathFor("/store/", start, "/home/a/Docs/a.txt"),
              "/store/ 2010-08-16 14-05/home/a/Docs/a.txt");
    EXPECT_EQ(DeletedPathFor("/store/", start, "E:\\Docs\\a.txt"), "/store/ 2010-08-16 14-05/E\\Docs\\a.txt");
    EXPECT_EQ(DeletedPathFor("/store/", start, "\\\\srv\\share\\a.txt"),
              "/store/ 2010-08-16 14-05/__srv\\share\\a.txt");
    // Morning hours and single-digit months keep two digits.
    EXPECT_EQ(StoreStamp(EncodeDateTime({2011, 1, 2, 3, 4, 0, 0})), "2011-01-02 03-04");
}

TEST(PathMapping, NameAndFolderParts) {
    EXPECT_EQ(FileNamePart("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(FileNamePart("c.txt"), "c.txt");
    EXPECT_EQ(FolderPart("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(FolderPart("c.txt"), "");
}

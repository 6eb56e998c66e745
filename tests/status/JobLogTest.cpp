// The status panel's log as saved, byte for byte, and its clock: elapsed time, speed, and the
// remaining time counting itself down between estimates.
#include "core/status/JobLog.h"
#include "core/status/StatusClock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <limits>

namespace drivlet {
namespace {

using test::ReadFile;
using test::TempDir;

const std::string kBanner(82, '=');
const std::string kHead = kBanner + "\r\n" + "\t\t\t\tDrivlet File Log\r\n" + kBanner + "\r\n" +
                          "Time Stamp\t\tAction\t\tStatus\tFile Name\r\n" + kBanner + "\r\n";
const std::string kTail = kBanner + "\r\nEnd Log.\r\n";

TEST(JobLogFile, AnEmptyLogIsTheHeadTheClosingBannerAndEndLog) {
    TempDir dir;
    const auto file = dir / "Drivlet.log";
    ASSERT_EQ(SaveJobLog(file, {}), "");
    EXPECT_EQ(ReadFile(file), kHead + kTail);
}

TEST(JobLogFile, LinesInListOrderWithTheirStateWordAndThreadErrorsCounted) {
    JobLog log;
    log.AddEntry("24/03/2011 13:57:31", "/home/ann/a.txt", "Copy", "Done", false);
    log.AddEntry("24/03/2011 13:57:32", "/home/ann/b.txt", "Copy", "Permission denied", true);
    log.AddThreadError("24/03/2011 13:57:33", "Thread Error : Class = TThreadBase : disk gone");
    ASSERT_EQ(log.Lines().size(), 3u);
    EXPECT_EQ(log.Lines()[1].info, "Permission denied");
    EXPECT_EQ(log.Lines()[2].action, "Thread Error");
    EXPECT_EQ(log.Lines()[2].info, "");
    EXPECT_EQ(log.Lines()[2].state, LogLineState::ThreadError);
    // Failed files are not errors of the job; thread errors are.
    EXPECT_EQ(log.ErrorCount(), 1);

    TempDir dir;
    const auto file = dir / "run.log";
    test::WriteFile(file, std::string(10000, 'x')); // replaced, not written into
    ASSERT_EQ(SaveJobLog(file, log.Lines()), "");
    EXPECT_EQ(ReadFile(file), kHead +
                                  "24/03/2011 13:57:31\tCopy\tSuccess\t/home/ann/a.txt\r\n"
                                  "24/03/2011 13:57:32\tCopy\tFailed\t/home/ann/b.txt\r\n"
                                  "24/03/2011 13:57:33\tThread Error\tThread Error\t"
                                  "Thread Error : Class = TThreadBase : disk gone\r\n" +
                                  kTail);

    log.Clear();
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(log.ErrorCount(), 1);
    log.ResetErrorCount();
    EXPECT_EQ(log.ErrorCount(), 0);
}

TEST(JobLogFile, AFolderThatIsNotThereIsReportedAndTheLogKept) {
    TempDir dir;
    JobLog log;
    log.AddEntry("t", "f", "Copy", "Done", false);
    const std::string error = SaveJobLog(dir / "missing" / "x.log", log.Lines());
    EXPECT_NE(error, "");
    EXPECT_EQ(log.Lines().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

constexpr double kSecond = 1.0 / 86400;
const TDateTime kStart = EncodeDateTime({2011, 3, 24, 13, 0, 0, 0});

TEST(StatusClock, ElapsedTimeInHoursMinutesAndSeconds) {
    StatusClock clock;
    EXPECT_EQ(clock.Tick(kStart + 3723 * kSecond, kStart).elapsed, "01 : 02 : 03");
    EXPECT_EQ(clock.Tick(kStart + 307 * kSecond, kStart).elapsed, "00 : 05 : 07");
    EXPECT_EQ(clock.Tick(kStart + 100 * 3600 * kSecond, kStart).elapsed, "100 : 00 : 00");
    // Not started yet, or a clock that went back: nothing to show.
    EXPECT_EQ(clock.Tick(kStart, 0).elapsed, "N/A");
    EXPECT_EQ(clock.Tick(kStart - kSecond, kStart).elapsed, "N/A");
    EXPECT_EQ(ClockText(std::numeric_limits<double>::infinity()), std::nullopt);
}

TEST(StatusClock, TenSecondsLeftCountDownToOneAndThenReadNotAvailable) {
    StatusClock clock;
    clock.OnStatus("1.50MB/s", 10 * kSecond);
    std::vector<std::string> shown;
    for (int i = 1; i <= 11; ++i)
        shown.push_back(clock.Tick(kStart + i * kSecond, kStart).remaining);
    EXPECT_EQ(shown.front(), "Remaing time 00 : 00 : 09");
    EXPECT_EQ(shown[8], "Remaing time 00 : 00 : 01");
    EXPECT_EQ(shown[9], "Remaing time N/A");
    EXPECT_EQ(shown[10], "Remaing time N/A");
    EXPECT_EQ(clock.Tick(kStart, kStart).speed, "Speed  1.50MB/s");

    // A fresh estimate replaces the countdown.
    clock.OnStatus("2.00MB/s", 3600 * kSecond);
    EXPECT_EQ(clock.Tick(kStart, kStart).remaining, "Remaing time 00 : 59 : 59");
}

TEST(StatusClock, NoSpeedYetMeansNoRemainingTime) {
    StatusClock clock;
    clock.OnStatus("N/A", 30 * kSecond);
    EXPECT_EQ(clock.Tick(kStart, kStart).remaining, "Remaing time N/A");
    EXPECT_EQ(clock.Tick(kStart, kStart).speed, "Speed  N/A");
    clock.OnStatus("1.00KB/s", 30 * kSecond);
    EXPECT_EQ(clock.Tick(kStart, kStart).remaining, "Remaing time 00 : 00 : 29");
    clock.OnStatus("1.00KB/s", -1);
    EXPECT_EQ(clock.Tick(kStart, kStart).remaining, "Remaing time N/A");
}

TEST(StatusClock, ABlankJobNameGivesANewJobTab) {
    EXPECT_EQ(JobTabCaption("   "), "New Job");
    EXPECT_EQ(JobTabCaption(""), "New Job");
    EXPECT_EQ(JobTabCaption(" Photos "), " Photos ");
}

} // namespace
} // namespace drivlet

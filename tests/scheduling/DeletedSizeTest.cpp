// The deleted-files alert over a real program database.
#include "RunnerFixture.h"
#include "core/schedule/run/DeletedSizeAlert.h"

using namespace drivlet;
using namespace drivlet::test;

namespace {

constexpr int64_t kMiB = 1048576;

using DeletedSize = RunnerFixture;

TEST_F(DeletedSize, AnEmptyLogIsZeroAndNoAlert) {
    const DeletedSizeAlert alert = MeasureDeletedSize(database, 100 * kMiB);
    EXPECT_EQ(alert.deletedSize, 0);
    EXPECT_FALSE(alert.overLimit);
    EXPECT_EQ(alert.balloonText, "Click here to open Drivlet");
}

TEST_F(DeletedSize, ExactlyTheLimitIsNoAlertOneByteMoreIs) {
    database.LogDeletedFile("C/a.txt", 100 * kMiB - 10);
    database.LogDeletedFile("C/b.txt", 10);
    EXPECT_FALSE(MeasureDeletedSize(database, 100 * kMiB).overLimit);
    database.LogDeletedFile("C/c.txt", 1);
    const DeletedSizeAlert alert = MeasureDeletedSize(database, 100 * kMiB);
    EXPECT_TRUE(alert.overLimit);
    EXPECT_EQ(alert.deletedSize, 100 * kMiB + 1);
    EXPECT_EQ(alert.balloonText, "Deleted files space overload. Please clear deleted files.");
}

TEST_F(DeletedSize, TotalsAbove2GiBAreComparedAs64BitValues) {
    const int64_t limit = 5000 * kMiB; // above the 32-bit range itself
    database.LogDeletedFile("C/big1.iso", 3LL << 30);
    // 3 GiB wraps negative in 32 bits and would never alert; it is below 5000 MiB.
    EXPECT_FALSE(MeasureDeletedSize(database, limit).overLimit);
    database.LogDeletedFile("C/big2.iso", 3LL << 30);
    const DeletedSizeAlert alert = MeasureDeletedSize(database, limit);
    EXPECT_EQ(alert.deletedSize, 6LL << 30);
    EXPECT_TRUE(alert.overLimit);
    // A 4 GiB total truncated to 32 bits reads 0: it must still alert over a 1 GiB limit.
    database.ClearDeletedFilesLog();
    database.LogDeletedFile("C/four.iso", 4LL << 30);
    EXPECT_TRUE(MeasureDeletedSize(database, 1024 * kMiB).overLimit);
}

} // namespace

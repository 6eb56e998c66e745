// A drive that is a real mounted volume and comes back under another mount path: its records are
// found through the drive-relative paths. Needs root (mount); skips itself where that is refused.
#include "SyncTestSupport.h"

#include <cstdlib>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST_F(SyncScanFixture, MountedDriveMovedToAnotherPathFindsItsRecords) {
    const std::string first = (dir / "media/ann/STICK").string();
    const std::string second = (dir / "media/bob/STICK1").string();
    fs::create_directories(first);
    fs::create_directories(second);
    if (!Shell("mount -t tmpfs drivlet-sync-test '" + first + "'"))
        GTEST_SKIP() << "mounting a tmpfs is refused here";
    struct Unmount {
        std::string path;
        ~Unmount() { Shell("umount '" + path + "'"); }
    } mounted{first};

    drive = first + "/";
    database = drive + "Config/Job.Usdb";
    Make(drive + "Docs/a.txt", "a", Day(1));
    Make(pc + "Docs/a.txt", "a", Day(1));
    auto thread = ScanFolders("/Docs/", pc + "Docs/");
    ASSERT_EQ(thread->GetFilePairs().Count(), 1u);
    const TFilePair pair = thread->GetFilePairs()[0];
    thread.reset();
    RecordSynced(pair);

    ASSERT_TRUE(Shell("mount --move '" + first + "' '" + second + "'"));
    mounted.path = second;
    drive = second + "/";
    database = drive + "Config/Job.Usdb";
    thread = ScanFolders("/Docs/", pc + "Docs/");
    ExpectFoundAgain(*thread, pair, Day(1));
}

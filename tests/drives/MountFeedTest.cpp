// The mount-table feed on its own thread: a fake table changed by the test, and the real table
// with a tmpfs mounted and unmounted by the test.
#include "FakeMachine.h"
#include "core/drives/SHChangeNotify.h"
#include "platform/linux/MountTableNotifySource.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <sys/mount.h>
#include <thread>

namespace drivlet {
namespace {
using namespace std::chrono_literals;

// Records deliveries from the feed thread.
class RecordingSink final : public IShellNotifySink {
public:
    void Deliver(const ShellNotification& n) override {
        std::lock_guard lock(mutex_);
        seen_.push_back(n);
    }
    std::vector<ShellNotification> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(seen_, {});
    }

private:
    std::mutex mutex_;
    std::vector<ShellNotification> seen_;
};

ShellRegistration Everything() {
    return {kShellNotifySources, shcne::DriveAdd | shcne::DriveRemoved | shcne::MediaInserted, 1085, {}};
}

std::vector<std::pair<uint32_t, std::string>> Events(const std::vector<ShellNotification>& seen) {
    std::vector<std::pair<uint32_t, std::string>> out;
    for (const auto& n : seen) {
        EXPECT_EQ(n.messageNo, 1085u);
        EXPECT_FALSE(n.itemB);
        out.emplace_back(n.event, n.itemA.value_or("<none>"));
    }
    return out;
}

class FakeFeed : public ::testing::Test {
protected:
    void SetUp() override {
        machine.AddMount(1, "254:0", "/", "ext4", "/dev/vda");
        machine.AddMount(2, "0:21", "/proc", "proc", "proc");
        machine.WriteTable();
    }
    test::FakeMachine machine;
};

TEST_F(FakeFeed, ChangesOfTheTableBecomeDriveEventsInOrder) {
    MountTableNotifySource source({machine.TableFile(), 0ms});
    auto sink = std::make_shared<RecordingSink>();
    ASSERT_NE(source.Register(Everything(), sink), 0u);
    source.RescanNow();
    EXPECT_TRUE(sink->Take().empty()) << "what was mounted before registering is no news";

    machine.AddMount(30, "8:17", "/media/alice/MY STICK", "vfat", "/dev/sdb1");
    machine.AddMount(31, "0:60", "/run/user/1000/doc", "fuse.portal", "portal");
    machine.AddMount(32, "8:33", "/media/alice/DISK", "ext4", "/dev/sdc1");
    machine.WriteTable();
    source.RescanNow();
    EXPECT_EQ(Events(sink->Take()),
              (std::vector<std::pair<uint32_t, std::string>>{{shcne::DriveAdd, "/media/alice/MY STICK/"},
                                                             {shcne::DriveAdd, "/media/alice/DISK/"}}));

    // The stick goes; another volume is mounted over the disk's mount point.
    machine.ClearTable();
    SetUp();
    machine.AddMount(32, "8:33", "/media/alice/DISK", "ext4", "/dev/sdc1");
    machine.AddMount(33, "11:0", "/media/alice/DISK", "iso9660", "/dev/sr0");
    machine.WriteTable();
    source.RescanNow();
    EXPECT_EQ(Events(sink->Take()),
              (std::vector<std::pair<uint32_t, std::string>>{{shcne::DriveRemoved, "/media/alice/MY STICK/"},
                                                             {shcne::MediaInserted, "/media/alice/DISK/"}}));
}

TEST_F(FakeFeed, OnlyMaskedEventsAreDeliveredAndAnUnreadableTableIsNoNews) {
    MountTableNotifySource source({machine.TableFile(), 0ms});
    auto sink = std::make_shared<RecordingSink>();
    ShellRegistration onlyAdd = Everything();
    onlyAdd.eventMask = shcne::DriveAdd;
    ASSERT_NE(source.Register(onlyAdd, sink), 0u);

    std::filesystem::remove(machine.TableFile());
    source.RescanNow();
    EXPECT_TRUE(sink->Take().empty());

    machine.ClearTable();
    machine.AddMount(40, "8:17", "/media/alice/NEW", "vfat", "/dev/sdb1");
    machine.WriteTable();
    source.RescanNow();
    // "/" vanished too, but drive removal was not asked for.
    EXPECT_EQ(Events(sink->Take()),
              (std::vector<std::pair<uint32_t, std::string>>{{shcne::DriveAdd, "/media/alice/NEW/"}}));
}

TEST_F(FakeFeed, PlainFileIsReadAgainAtItsInterval) {
    MountTableNotifySource source({machine.TableFile(), 20ms});
    auto sink = std::make_shared<RecordingSink>();
    ASSERT_NE(source.Register(Everything(), sink), 0u);
    machine.AddMount(30, "8:17", "/media/alice/STICK", "vfat", "/dev/sdb1");
    machine.WriteTable();
    std::vector<ShellNotification> seen;
    for (int i = 0; i < 500 && seen.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        seen = sink->Take();
    }
    EXPECT_EQ(Events(seen),
              (std::vector<std::pair<uint32_t, std::string>>{{shcne::DriveAdd, "/media/alice/STICK/"}}));
}

TEST_F(FakeFeed, MissingTableIsRefusedAndDeregisteredSinkHearsNothing) {
    MountTableNotifySource missing({machine.Root() / "absent", 0ms});
    EXPECT_EQ(missing.Register(Everything(), std::make_shared<RecordingSink>()), 0u);

    MountTableNotifySource source({machine.TableFile(), 0ms});
    auto sink = std::make_shared<RecordingSink>();
    uint64_t id = source.Register(Everything(), sink);
    ASSERT_NE(id, 0u);
    source.Deregister(id);
    source.Deregister(id);
    machine.AddMount(30, "8:17", "/media/alice/STICK", "vfat", "/dev/sdb1");
    machine.WriteTable();
    source.RescanNow();
    EXPECT_TRUE(sink->Take().empty());
}

TEST_F(FakeFeed, ComponentOnTheFeedReportsDrivePathsThroughItsWindow) {
    MountTableNotifySource source({machine.TableFile(), 0ms});
    QueuedMessageWindow window;
    TSHChangeNotify notify(source, window);
    std::vector<std::string> added;
    notify.SetMessageNo(1085);
    notify.SetPathList({"\\"});
    notify.SetRepeartOK(false);
    notify.OnDriveAdd = [&](TSHChangeNotify&, uint32_t flags, const std::string& path) {
        EXPECT_EQ(flags, shcne::DriveAdd);
        added.push_back(path);
    };
    notify.Start();
    ASSERT_TRUE(notify.Running());

    auto plug = [&](bool in) {
        machine.ClearTable();
        SetUp();
        if (in) machine.AddMount(50, "8:17", "/media/alice/STICK", "vfat", "/dev/sdb1");
        machine.WriteTable();
        source.RescanNow();
        window.RunPending();
    };
    plug(true);
    plug(false);
    plug(true);
    EXPECT_EQ(added, (std::vector<std::string>{"/media/alice/STICK/", "/media/alice/STICK/"}));
    notify.Stop();
    EXPECT_FALSE(notify.Running());
}

// The real table, with a tmpfs mounted by the test.
class RealFeed : public ::testing::Test {
protected:
    void TearDown() override {
        if (mounted_) ::umount2(point_.c_str(), MNT_DETACH);
    }
    // Empty when mounting is refused here.
    std::string MountTmpfs() {
        point_ = (dir_ / "drive").string();
        std::filesystem::create_directories(point_);
        if (::mount("drivlet-test", point_.c_str(), "tmpfs", 0, "size=1m") != 0) return {};
        mounted_ = true;
        return point_;
    }
    bool Unmount() {
        mounted_ = ::umount(point_.c_str()) != 0;
        return !mounted_;
    }
    test::TempDir dir_;
    std::string point_;
    bool mounted_ = false;
};

// Waits on the window as the GUI loop would, until the predicate holds or time is up.
template <typename Pred> bool RunUntil(QueuedMessageWindow& window, Pred done) {
    auto until = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < until)
        window.WaitAndRun(50ms);
    return done();
}

TEST_F(RealFeed, TmpfsMountedAndUnmountedIsReportedWithoutRescanRequests) {
    MountTableNotifySource source;
    QueuedMessageWindow window;
    TSHChangeNotify notify(source, window);
    std::vector<std::pair<uint32_t, std::string>> seen;
    auto record = [&](TSHChangeNotify&, uint32_t flags, const std::string& path) {
        seen.emplace_back(flags, path);
    };
    notify.OnDriveAdd = record;
    notify.OnDriveRemoved = record;
    notify.Start();
    ASSERT_TRUE(notify.Running());

    std::string point = MountTmpfs();
    if (point.empty()) GTEST_SKIP() << "mounting a tmpfs is refused here: " << std::strerror(errno);
    const std::string drive = point + "/";
    auto has = [&](uint32_t code) {
        return std::find(seen.begin(), seen.end(), std::make_pair(code, drive)) != seen.end();
    };
    ASSERT_TRUE(RunUntil(window, [&] { return has(shcne::DriveAdd); })) << "no drive-add for " << drive;
    ASSERT_TRUE(Unmount());
    ASSERT_TRUE(RunUntil(window, [&] { return has(shcne::DriveRemoved); })) << "no drive-removed";
}

TEST_F(RealFeed, StopIsPromptWhileTheFeedWaits) {
    MountTableNotifySource source;
    auto sink = std::make_shared<RecordingSink>();
    uint64_t id = source.Register(Everything(), sink);
    ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(20ms);
    auto before = std::chrono::steady_clock::now();
    source.Deregister(id);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
}

} // namespace
} // namespace drivlet

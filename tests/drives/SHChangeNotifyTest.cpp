// The notification component against a scripted source: mask, watch list, repeats, case folding,
// dispatch and the end-of-session query.
#include "core/drives/SHChangeNotify.h"

#include <gtest/gtest.h>

namespace drivlet {
namespace {

class ScriptedSource final : public IShellNotifySource {
public:
    bool refuse = false;
    int registrations = 0;
    std::vector<uint64_t> deregistered;
    ShellRegistration last;
    std::shared_ptr<IShellNotifySink> sink;

    uint64_t Register(const ShellRegistration& registration, std::shared_ptr<IShellNotifySink> s) override {
        if (refuse) return 0;
        last = registration;
        sink = std::move(s);
        return static_cast<uint64_t>(++registrations);
    }
    void Deregister(uint64_t id) override { deregistered.push_back(id); }

    void Send(uint32_t event, std::optional<std::string> a, std::optional<std::string> b = std::nullopt) {
        sink->Deliver({last.messageNo, event, std::move(a), std::move(b)});
    }
};

struct Fired {
    uint32_t flags;
    std::string a, b;
    bool operator==(const Fired&) const = default;
};

class Component : public ::testing::Test {
protected:
    ScriptedSource source;
    InPlaceMessageWindow window;
    TSHChangeNotify notify{source, window};
    std::vector<Fired> fired;

    TSHChangeNotify::TOneParmEvent One() {
        return [this](TSHChangeNotify& sender, uint32_t flags, const std::string& path) {
            EXPECT_EQ(&sender, &notify);
            fired.push_back({flags, path, ""});
        };
    }
    TSHChangeNotify::TTwoParmEvent Two() {
        return [this](TSHChangeNotify&, uint32_t flags, const std::string& a, const std::string& b) {
            fired.push_back({flags, a, b});
        };
    }
    // The program's own configuration of its instance.
    void ConfigureAsTray() {
        notify.SetMessageNo(1085);
        notify.SetPathList({"\\"});
        notify.SetRepeartOK(false);
        notify.OnDriveAdd = One();
        notify.Start();
    }
};

TEST_F(Component, ConstructionDefaultsAndNoHandlerRegistersNothing) {
    EXPECT_EQ(notify.MessageNo(), 1024u);
    EXPECT_EQ(notify.TextCase(), TTextCase::tcAsIs);
    EXPECT_TRUE(notify.PathListOnly());
    EXPECT_TRUE(notify.PathList().empty());
    EXPECT_TRUE(notify.RepeartOK());
    EXPECT_FALSE(notify.Running());
    notify.Start();
    EXPECT_FALSE(notify.Running());
    EXPECT_EQ(source.registrations, 0);
}

TEST_F(Component, MessageNoBelow1024IsRefusedAndKept) {
    notify.SetMessageNo(2000);
    try {
        notify.SetMessageNo(1023);
        FAIL() << "accepted 1023";
    } catch (const ESHChangeNotifyError& e) {
        EXPECT_STREQ(e.what(), "MessageNo must be greater than or equal to 1024");
    }
    EXPECT_EQ(notify.MessageNo(), 2000u);
    notify.SetMessageNo(1024);
    EXPECT_EQ(notify.MessageNo(), 1024u);
}

TEST_F(Component, TrayConfigurationRegistersDriveAddWithTheWatchedRoot) {
    ConfigureAsTray();
    EXPECT_TRUE(notify.Running());
    EXPECT_EQ(notify.EventMask(), shcne::DriveAdd);
    EXPECT_EQ(source.last.eventMask & ~(shcne::DriveRemoved | shcne::MediaRemoved), shcne::DriveAdd);
    EXPECT_EQ(source.last.messageNo, 1085u);
    EXPECT_EQ(source.last.sourceFlags, 3u);
    ASSERT_EQ(source.last.entries.size(), 1u);
    EXPECT_EQ(source.last.entries[0].item, "/");
    EXPECT_TRUE(source.last.entries[0].recursive);
}

TEST_F(Component, MaskIsTheOrOfAssignedHandlersAndWholeNamespaceWithoutPathList) {
    notify.OnRenameFolder = Two();
    notify.OnDriveAddGUI = One();
    notify.OnAssocChanged = Two();
    notify.OnEndSessionQuery = [](TSHChangeNotify&, bool&) {};
    notify.SetPathListOnly(false);
    notify.SetPathList({"/a", "/b"});
    notify.Start();
    EXPECT_EQ(source.last.eventMask, shcne::RenameFolder | shcne::DriveAddGUI | shcne::AssocChanged);
    ASSERT_EQ(source.last.entries.size(), 1u);
    EXPECT_FALSE(source.last.entries[0].item);
    notify.SetPathListOnly(true);
    notify.Start();
    ASSERT_EQ(source.last.entries.size(), 2u);
    EXPECT_EQ(source.last.entries[1].item, "/b");
}

TEST_F(Component, RestartEndsThePreviousRegistrationEvenWithoutEntries) {
    notify.OnDriveAdd = One();
    notify.Start(); // no PathList lines: no watch entries
    notify.Start();
    EXPECT_EQ(source.deregistered, (std::vector<uint64_t>{1}));
    notify.Stop();
    notify.Stop();
    EXPECT_EQ(source.deregistered, (std::vector<uint64_t>{1, 2}));
    EXPECT_FALSE(notify.Running());
}

TEST_F(Component, RefusedRegistrationRaisesAndStaysIdle) {
    notify.OnDriveAdd = One();
    source.refuse = true;
    try {
        notify.Start();
        FAIL() << "no error";
    } catch (const ESHChangeNotifyError& e) {
        EXPECT_STREQ(e.what(), "Could not register SHChangeNotify");
    }
    EXPECT_FALSE(notify.Running());
}

TEST_F(Component, RepeatsAreDroppedOnlyWhenImmediatelyPrecedingAndExact) {
    ConfigureAsTray();
    source.Send(shcne::DriveAdd, "/media/u/E/");
    source.Send(shcne::DriveAdd, "/media/u/E/");
    source.Send(shcne::DriveAdd, "/media/u/F/");
    source.Send(shcne::DriveAdd, "/media/u/E/");
    // Linux paths are case-sensitive: another case is another drive.
    source.Send(shcne::DriveAdd, "/media/u/e/");
    EXPECT_EQ(fired, (std::vector<Fired>{{shcne::DriveAdd, "/media/u/E/", ""},
                                         {shcne::DriveAdd, "/media/u/F/", ""},
                                         {shcne::DriveAdd, "/media/u/E/", ""},
                                         {shcne::DriveAdd, "/media/u/e/", ""}}));
}

TEST_F(Component, UnhandledEventKeepsTheMemoryButTheDrivesRemovalEndsIt) {
    ConfigureAsTray();
    source.Send(shcne::DriveAdd, "/media/u/E/");
    source.Send(shcne::UpdateDir, "/media/u/E/");
    source.Send(shcne::DriveRemoved, "/media/u/F/");
    source.Send(shcne::DriveAdd, "/media/u/E/");
    EXPECT_EQ(fired.size(), 1u);
    // The stick pulled and plugged in again is a new arrival.
    source.Send(shcne::DriveRemoved, "/media/u/E/");
    source.Send(shcne::DriveAdd, "/media/u/E/");
    EXPECT_EQ(fired.size(), 2u);
}

TEST_F(Component, WithRepeatsAllowedIdenticalNotificationsAllFire) {
    notify.OnDriveAdd = One();
    notify.Start();
    for (int i = 0; i < 3; ++i)
        source.Send(shcne::DriveAdd, "/media/u/E/");
    EXPECT_EQ(fired.size(), 3u);
    EXPECT_EQ(source.last.eventMask, shcne::DriveAdd);
}

TEST_F(Component, CaseFoldingChangesWhatHandlersSeeNotWhatIsRemembered) {
    notify.SetRepeartOK(false);
    notify.SetTextCase(TTextCase::tcUppercase);
    notify.OnDriveAdd = One();
    notify.Start();
    source.Send(shcne::DriveAdd, "/media/ü/e/");
    // The remembered text is the unfolded one, so the upper-case form is not a repeat.
    source.Send(shcne::DriveAdd, "/MEDIA/Ü/E/");
    source.Send(shcne::DriveAdd, "/MEDIA/Ü/E/");
    notify.SetTextCase(TTextCase::tcLowercase);
    source.Send(shcne::DriveAdd, "/Media/X/");
    EXPECT_EQ(fired, (std::vector<Fired>{{shcne::DriveAdd, "/MEDIA/Ü/E/", ""},
                                         {shcne::DriveAdd, "/MEDIA/Ü/E/", ""},
                                         {shcne::DriveAdd, "/media/x/", ""}}));
}

TEST_F(Component, DispatchByShapeMarkerBitAndUnknownCodes) {
    notify.OnRenameItem = Two();
    notify.OnMediaInserted = One();
    notify.OnDriveAdd = One();
    notify.Start();
    source.Send(shcne::RenameItem, "/a/old", "/a/new");
    source.Send(shcne::MediaInserted | shcne::InterruptMarker, "/media/u/CD/", "/ignored");
    source.Send(0x00100000, "/x/");
    source.Send(shcne::Delete, "/x/");
    // Another message number is not this component's.
    source.sink->Deliver({4711, shcne::DriveAdd, "/media/u/G/", std::nullopt});
    EXPECT_EQ(fired, (std::vector<Fired>{{shcne::RenameItem, "/a/old", "/a/new"},
                                         {shcne::MediaInserted, "/media/u/CD/", ""}}));
}

TEST_F(Component, PathsThatAreNotFileSystemPathsBecomeEmptyAndStillFire) {
    notify.OnRenameFolder = Two();
    notify.Start();
    source.Send(shcne::RenameFolder, std::string("/a/b\0junk", 9), std::nullopt);
    source.Send(shcne::RenameFolder, "::{20D04FE0}", std::string(5000, '/'));
    EXPECT_EQ(fired, (std::vector<Fired>{{shcne::RenameFolder, "/a/b", ""}, {shcne::RenameFolder, "", ""}}));
}

TEST_F(Component, EndSessionQueryWithoutHandlerEndsRegistration) {
    ConfigureAsTray();
    EXPECT_TRUE(notify.EndSessionQuery());
    EXPECT_FALSE(notify.Running());
    notify.Start();
    notify.OnEndSessionQuery = [](TSHChangeNotify&, bool& can) { can = false; };
    EXPECT_FALSE(notify.EndSessionQuery());
    EXPECT_TRUE(notify.Running());
}

TEST(ComponentWindow, QueuedMessagesRunOnTheOwnersTurnAndAreDroppedAfterDestruction) {
    ScriptedSource source;
    QueuedMessageWindow window;
    std::vector<std::string> seen;
    {
        TSHChangeNotify notify(source, window);
        notify.OnDriveAdd = [&](TSHChangeNotify&, uint32_t, const std::string& p) { seen.push_back(p); };
        notify.Start();
        source.Send(shcne::DriveAdd, "/media/u/E/");
        EXPECT_TRUE(seen.empty());
        EXPECT_EQ(window.RunPending(), 1);
        EXPECT_EQ(seen, std::vector<std::string>{"/media/u/E/"});
        source.Send(shcne::DriveAdd, "/media/u/F/");
    }
    EXPECT_EQ(window.RunPending(), 1);
    EXPECT_EQ(seen.size(), 1u);
}

} // namespace
} // namespace drivlet

#include "platform/ApplicationInstance.h"
#include "GuardCopy.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace drivlet {
namespace {

using test::GuardCopy;
using test::GuardCopyOptions;

class ApplicationInstanceTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    // A program path of its own per test, so that parallel tests never share a request socket.
    std::string program = (tmp / "bin/Drivlet").string();

    GuardCopyOptions Options(int maxInstances = 1) const { return {program, tmp.path(), maxInstances}; }

    // Counted from this process; the object is gone again before any later fork.
    int Count(const std::string& path) const {
        return TApplicationInstance(path, tmp.path()).InstanceCount();
    }
    int Count() const { return Count(program); }

    // Starts the copies together and answers their reports sorted; they end again.
    std::string StartAtOnce(int copies, int maxInstances) const {
        test::StartSignal start;
        std::vector<std::unique_ptr<GuardCopy>> running;
        for (int i = 0; i < copies; ++i) {
            GuardCopyOptions options = Options(maxInstances);
            options.startFd = start.ReadEnd();
            running.push_back(std::make_unique<GuardCopy>(options));
        }
        start.Fire();
        std::string answers;
        for (auto& copy : running)
            answers += copy->Next();
        std::sort(answers.begin(), answers.end());
        EXPECT_EQ(Count(), maxInstances);
        return answers;
    }
};

TEST(ApplicationInstanceNames, BlockNameDropsEverySeparator) {
    EXPECT_EQ(TApplicationInstance::BlockNameOf("/opt/drivlet/Drivlet"), "optdrivletDrivlet");
    EXPECT_EQ(TApplicationInstance::BlockNameOf("/usr/local/bin/drivlet"), "usrlocalbindrivlet");
    const std::string self = TApplicationInstance::CurrentProgramPath();
    EXPECT_TRUE(self.starts_with('/'));
    EXPECT_TRUE(self.ends_with("test_app")) << self;
}

TEST_F(ApplicationInstanceTest, OnlyOneObjectPerProcess) {
    auto first = std::make_unique<TApplicationInstance>(program, tmp.path());
    try {
        TApplicationInstance second(program, tmp.path());
        FAIL() << "a second guard was made";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Only one copy of this component can be dropped on a application!");
    }
    first.reset();
    EXPECT_NO_THROW(TApplicationInstance(program, tmp.path()));
}

TEST_F(ApplicationInstanceTest, AdmittedCopyHoldsItsPlaceUntilDestroyed) {
    {
        TApplicationInstance instance(program, tmp.path());
        EXPECT_EQ(instance.MaxInstances(), 1);
        instance.SetMaxInstances(0);
        instance.SetMaxInstances(-5);
        EXPECT_EQ(instance.MaxInstances(), 1);
        EXPECT_TRUE(instance.Counted());
        EXPECT_EQ(instance.InstanceCount(), 0);
        EXPECT_FALSE(instance.IsSecondInstance());
        EXPECT_TRUE(instance.Admitted());
        EXPECT_TRUE(instance.Counted());
        EXPECT_EQ(instance.InstanceCount(), 1);
        // Asking again does not take a second place.
        EXPECT_FALSE(instance.IsSecondInstance());
        EXPECT_EQ(instance.InstanceCount(), 1);
        EXPECT_EQ(instance.LockFilePath().parent_path(), tmp.path());
        EXPECT_TRUE(instance.LockFilePath().filename().string().starts_with(instance.BlockName()));
    }
    EXPECT_EQ(Count(), 0);
}

TEST_F(ApplicationInstanceTest, AMissingRuntimeFolderIsAnError) {
    TApplicationInstance instance(program, tmp / "missing");
    EXPECT_THROW(instance.IsSecondInstance(), std::system_error);
    EXPECT_THROW(instance.InstanceCount(), std::system_error);
}

TEST_F(ApplicationInstanceTest, SecondCopyIsTurnedAwayAndANormalExitFreesThePlace) {
    GuardCopy first(Options());
    ASSERT_EQ(first.Next(), 'A');
    GuardCopy second(Options());
    EXPECT_EQ(second.Next(), 'S');
    second.Release();
    EXPECT_EQ(Count(), 1);
    first.Release();
    EXPECT_EQ(Count(), 0);
    GuardCopy third(Options());
    EXPECT_EQ(third.Next(), 'A');
}

TEST_F(ApplicationInstanceTest, CopiesStartedAtOnceAdmitExactlyOne) {
    for (int round = 0; round < 15; ++round) {
        ASSERT_EQ(StartAtOnce(3, 1), "ASS") << "round " << round;
        EXPECT_EQ(Count(), 0);
    }
}

TEST_F(ApplicationInstanceTest, CopyKilledWithSigkillDoesNotBlockTheNextStart) {
    GuardCopy first(Options());
    ASSERT_EQ(first.Next(), 'A');
    first.Kill();
    EXPECT_EQ(Count(), 0);
    GuardCopy next(Options());
    EXPECT_EQ(next.Next(), 'A');
}

TEST_F(ApplicationInstanceTest, MaxInstancesTwoAdmitsTwo) {
    GuardCopy a(Options(2)), b(Options(2));
    ASSERT_EQ(a.Next(), 'A');
    ASSERT_EQ(b.Next(), 'A');
    EXPECT_EQ(Count(), 2);
    GuardCopy c(Options(2));
    EXPECT_EQ(c.Next(), 'S');
    // A copy that allows only one sees the two running and stays out.
    GuardCopy single(Options(1));
    EXPECT_EQ(single.Next(), 'S');
    a.Kill();
    GuardCopy d(Options(2));
    EXPECT_EQ(d.Next(), 'A');
    EXPECT_EQ(Count(), 2);
}

TEST_F(ApplicationInstanceTest, CopiesOfTwoAtOnceWithRoomForTwo) {
    for (int round = 0; round < 10; ++round)
        ASSERT_EQ(StartAtOnce(4, 2), "AASS") << "round " << round;
}

TEST_F(ApplicationInstanceTest, AnotherProgramPathIsNotTurnedAway) {
    GuardCopy first(Options());
    ASSERT_EQ(first.Next(), 'A');
    GuardCopyOptions other = Options();
    other.programPath = (tmp / "other/Drivlet").string();
    GuardCopy second(other);
    EXPECT_EQ(second.Next(), 'A');
    EXPECT_EQ(Count(program), 1);
    EXPECT_EQ(Count(other.programPath), 1);
}

TEST_F(ApplicationInstanceTest, TurnedAwayCopyBringsTheFirstToTheFront) {
    // A path too long for a file or socket name is shortened, and still works.
    for (const std::string& path : {program, (tmp / std::string(300, 'p') / "Drivlet").string()}) {
        program = path;
        GuardCopyOptions options = Options();
        options.listen = true;
        GuardCopy first(options);
        ASSERT_EQ(first.Next(), 'A');
        GuardCopy second(Options());
        EXPECT_EQ(second.Next(), 'S');
        EXPECT_EQ(first.Next(), 'F');
        GuardCopy third(Options());
        EXPECT_EQ(third.Next(), 'S');
        EXPECT_EQ(first.Next(), 'F');
        // An admitted copy in another program's name sends nothing.
        GuardCopyOptions other = Options();
        other.programPath = path + "2";
        GuardCopy stranger(other);
        EXPECT_EQ(stranger.Next(), 'A');
        EXPECT_EQ(first.Next(300), 0);
    }
}

TEST_F(ApplicationInstanceTest, FrontRequestGoesToTheCopyAdmittedLastThatStillRuns) {
    GuardCopyOptions options = Options(2);
    options.listen = true;
    GuardCopy a(options);
    ASSERT_EQ(a.Next(), 'A');
    GuardCopy b(options);
    ASSERT_EQ(b.Next(), 'A');
    GuardCopy c(Options(2));
    EXPECT_EQ(c.Next(), 'S');
    EXPECT_EQ(b.Next(), 'F');
    EXPECT_EQ(a.Next(300), 0);
    // With the last one gone, the request finds the one still running.
    b.Kill();
    GuardCopy single(Options(1));
    EXPECT_EQ(single.Next(), 'S');
    EXPECT_EQ(a.Next(), 'F');
}

TEST_F(ApplicationInstanceTest, ListeningNeedsAdmission) {
    TApplicationInstance instance(program, tmp.path());
    EXPECT_FALSE(instance.ListenForFrontRequests([] {}));
    ASSERT_FALSE(instance.IsSecondInstance());
    EXPECT_TRUE(instance.ListenForFrontRequests([] {}));
}

} // namespace
} // namespace drivlet

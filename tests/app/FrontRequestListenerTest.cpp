#include "platform/linux/FrontRequestListener.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace drivlet {
namespace {

// A name nobody else on the machine uses.
std::string UniqueName() {
    test::TempDir tmp;
    return "drivlet-test" + tmp.path().filename().string();
}

bool WaitFor(const std::atomic<int>& counter, int value) {
    for (int i = 0; i < 500 && counter.load() < value; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return counter.load() >= value;
}

TEST(FrontRequestListener, CallsBackForEveryRequestOfTheSameUser) {
    const std::string name = UniqueName();
    EXPECT_FALSE(SendFrontRequest(name));
    std::atomic<int> requests{0};
    {
        FrontRequestListener listener(name, [&] { ++requests; });
        ASSERT_TRUE(listener.Listening());
        // The name is taken while the listener lives.
        FrontRequestListener twin(name, [] {});
        EXPECT_FALSE(twin.Listening());
        EXPECT_TRUE(SendFrontRequest(name));
        EXPECT_TRUE(SendFrontRequest(name));
        EXPECT_TRUE(WaitFor(requests, 2));
    }
    EXPECT_FALSE(SendFrontRequest(name));
    EXPECT_EQ(requests.load(), 2);
}

TEST(FrontRequestListener, IgnoresRequestsOfOtherUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to send as another user";
    const std::string name = UniqueName();
    std::atomic<int> requests{0};
    FrontRequestListener listener(name, [&] { ++requests; });
    ASSERT_TRUE(listener.Listening());
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
        // The listener may hang up before the message is out; the attempt is what counts.
        SendFrontRequest(name);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "could not become another user";
    // A request of our own afterwards proves the listener had time to read the stranger's.
    EXPECT_TRUE(SendFrontRequest(name));
    EXPECT_TRUE(WaitFor(requests, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(requests.load(), 1);
}

} // namespace
} // namespace drivlet

#pragma once
// Runs that stand for jobs under way in a run registry: each worker waits until it is cancelled,
// so a test sets how many jobs run and ends them one at a time, as the status panels would.
#include "core/launch/JobRun.h"
#include "core/launch/RunRegistry.h"
#include "platform/LocalTime.h"
#include "platform/linux/LinuxFileSystem.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace drivlet::test {

class HeldRuns {
public:
    explicit HeldRuns(RunRegistry& registry) : registry_(registry) {}
    ~HeldRuns() { Set(0); }

    // Starts or ends runs (the last started first) until `count` are held.
    void Set(int count) {
        while (static_cast<int>(runs_.size()) < count) {
            auto run = std::make_unique<JobRun>(JobKind::Backup, "held", nullptr);
            run->CountIn(&registry_);
            run->Start(std::make_unique<Waiter>(
                ThreadServices{LinuxFileSystem::Instance(), SystemClock::Instance()}));
            runs_.push_back(std::move(run));
        }
        while (static_cast<int>(runs_.size()) > count) {
            runs_.back()->Cancel();
            runs_.back()->Wait(); // it leaves the registry as its end is drained
            runs_.pop_back();
        }
    }
    // How many of the held runs were cancelled by someone.
    int Cancelled() const {
        int n = 0;
        for (const auto& run : runs_)
            n += run->Worker().Terminated() ? 1 : 0;
        return n;
    }

private:
    class Waiter final : public TThreadBase {
    public:
        // The listener is called again by the base's destructor, after this object's members are
        // gone: what it touches is shared with it.
        explicit Waiter(const ThreadServices& services) : TThreadBase(services) {
            AddTerminateListener([wake = wake_] {
                std::lock_guard lock(wake->mutex);
                wake->cv.notify_all();
            });
        }
        ~Waiter() override { StopAndWait(); }

    protected:
        void Execute() override {
            std::unique_lock lock(wake_->mutex);
            wake_->cv.wait(lock, [this] { return Terminated(); });
        }
        bool IsFolderExcluded(const std::string&) override { return false; }

    private:
        struct Wake {
            std::mutex mutex;
            std::condition_variable cv;
        };
        std::shared_ptr<Wake> wake_ = std::make_shared<Wake>();
    };

    RunRegistry& registry_;
    std::vector<std::unique_ptr<JobRun>> runs_;
};

} // namespace drivlet::test

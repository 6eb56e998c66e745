#pragma once
// "Run this on the main thread and wait": how a worker reaches its user interface.
#include <functional>

namespace drivlet {

class IMainThreadHandoff {
public:
    virtual ~IMainThreadHandoff() = default;
    // Runs the task on the main thread and returns once it has returned; an exception of the
    // task reaches the caller.
    virtual void RunAndWait(const std::function<void()>& task) = 0;
};

// The CLI's and most tests' hand-off: the handler runs on the worker itself.
class InPlaceHandoff final : public IMainThreadHandoff {
public:
    void RunAndWait(const std::function<void()>& task) override { task(); }
    static InPlaceHandoff& Instance() {
        static InPlaceHandoff handoff;
        return handoff;
    }
};

} // namespace drivlet

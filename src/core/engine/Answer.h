#pragma once
// The answer to a question a worker waits for. The front end keeps a copy and gives the answer
// once, now or later, from any thread; the first answer counts and later ones are ignored, so a
// cancel that has already released the worker and a dialog closed afterwards cannot clash.
#include <atomic>
#include <future>
#include <memory>
#include <utility>

namespace drivlet {

template <typename T>
class Answer {
public:
    Answer() : state_(std::make_shared<State>()) {}

    // Gives the answer; false when one was given before (it stays).
    bool operator()(T value) const {
        if (state_->given.exchange(true)) return false;
        state_->promise.set_value(std::move(value));
        return true;
    }
    bool Given() const { return state_->given.load(); }

    // The waiting side, taken once by whoever waits.
    std::future<T> Future() const { return state_->promise.get_future(); }

private:
    struct State {
        std::promise<T> promise;
        std::atomic<bool> given{false};
    };
    std::shared_ptr<State> state_;
};

} // namespace drivlet

#pragma once
// Signals (SIGINT, SIGTERM) as a stop request: the signals are blocked in this thread and every thread
// started after it, and a thread of their own waits for them, so that whatever waits for a run or
// an event loop is woken by the request itself (a signal handler could only set a flag to be
// polled). Made at the start of a command, before any other thread.
#include <pthread.h>

#include <atomic>
#include <csignal>
#include <initializer_list>
#include <stop_token>
#include <thread>

namespace drivlet {

class StopSignals {
public:
    explicit StopSignals(std::initializer_list<int> signals);
    // The signals are let through again; one that came meanwhile and was not taken stays pending.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    std::stop_token Token() const { return source_.get_token(); }
    // The signal that asked for the stop; 0 before.
    int Signal() const { return signal_.load(); }

private:
    sigset_t set_{};
    sigset_t previous_{};
    std::stop_source source_;
    std::atomic<int> signal_{0};
    std::atomic<bool> ending_{false};
    std::thread waiter_;
};

} // namespace drivlet

#include "core/db/BusyWait.h"

#include <algorithm>
#include <random>
#include <thread>

namespace drivlet {

namespace {

thread_local std::chrono::milliseconds threadLimit = kBusyTimeout;

} // namespace

BusyLimit::BusyLimit(std::chrono::milliseconds limit) : previous_(threadLimit) {
    threadLimit = std::min(limit, previous_);
}

BusyLimit::~BusyLimit() {
    threadLimit = previous_;
}

bool WaitWhileBusy(int attempt, std::chrono::steady_clock::time_point start) {
    if (std::chrono::steady_clock::now() - start >= threadLimit) return false;
    // Short waits first (the other writer usually needs well under a millisecond), then up to
    // 20 ms; a little jitter keeps several waiting threads from retrying in lock step.
    thread_local std::minstd_rand jitter(std::random_device{}());
    const int base = std::min(20, 1 << std::min(attempt, 5));
    std::this_thread::sleep_for(std::chrono::microseconds(base * 500 + jitter() % (base * 500 + 1)));
    return true;
}

} // namespace drivlet

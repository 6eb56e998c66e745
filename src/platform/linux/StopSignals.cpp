#include "platform/linux/StopSignals.h"

namespace drivlet {

StopSignals::StopSignals(std::initializer_list<int> signals) {
    sigemptyset(&set_);
    // The waiter is woken with SIGINT when it is to end.
    sigaddset(&set_, SIGINT);
    for (const int signal : signals)
        sigaddset(&set_, signal);
    pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    waiter_ = std::thread([this] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set_, &signal) != 0) continue;
            if (ending_.load()) return;
            if (signal_.load() == 0) signal_.store(signal);
            source_.request_stop();
        }
    });
}

StopSignals::~StopSignals() {
    ending_.store(true);
    // Wakes the waiter, which sees that it is ending and takes the signal without a stop.
    pthread_kill(waiter_.native_handle(), SIGINT);
    waiter_.join();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

} // namespace drivlet

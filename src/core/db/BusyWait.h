#pragma once
// How long and how a connection waits for a database another connection has locked. Shared by
// the SQLite busy handler and by the statement's own retry of the rare SQLITE_BUSY that SQLite
// returns without consulting the handler.
#include <chrono>

namespace drivlet {

inline constexpr std::chrono::milliseconds kBusyTimeout{30000};

// Sleeps before retry number `attempt` (0 for the first) of a wait that began at `start`; false
// when the wait has lasted the thread's limit (kBusyTimeout unless a BusyLimit says less) and the
// caller should give up.
bool WaitWhileBusy(int attempt, std::chrono::steady_clock::time_point start);

// A shorter limit for the waits of this thread while the object lives: a thread that must answer
// quickly (the front end's, which a stop request or a window waits on) gives up on a database
// another process holds and tries again later.
class BusyLimit {
public:
    explicit BusyLimit(std::chrono::milliseconds limit);
    ~BusyLimit();
    BusyLimit(const BusyLimit&) = delete;
    BusyLimit& operator=(const BusyLimit&) = delete;

private:
    std::chrono::milliseconds previous_;
};

} // namespace drivlet

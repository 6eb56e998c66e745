#pragma once
// How long and how a connection waits for a database another connection has locked. Shared by
// the SQLite busy handler and by the statement's own retry of the rare SQLITE_BUSY that SQLite
// returns without consulting the handler.
#include <chrono>

namespace drivlet {

inline constexpr std::chrono::milliseconds kBusyTimeout{30000};

// Sleeps before retry number `attempt` (0 for the first) of a wait that began at `start`; false
// when the wait has lasted kBusyTimeout and the caller should give up.
bool WaitWhileBusy(int attempt, std::chrono::steady_clock::time_point start);

} // namespace drivlet

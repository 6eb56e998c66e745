#pragma once
// What the widget tests share: waiting on a condition while the event loop runs, with a generous
// deadline, instead of sleeping.
#include <QTest>

#include <functional>

namespace drivlet::test {

// Runs the event loop until `done` holds; false when the deadline came first.
bool WaitUntil(const std::function<bool()>& done, int deadlineMs = 60000);

} // namespace drivlet::test

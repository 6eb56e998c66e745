#include "support/GuiTestSupport.h"

namespace drivlet::test {

bool WaitUntil(const std::function<bool()>& done, int deadlineMs) {
    return QTest::qWaitFor(done, deadlineMs);
}

} // namespace drivlet::test

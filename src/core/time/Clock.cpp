#include "core/time/Clock.h"

#include <chrono>
#include <ctime>
#include <mutex>

namespace drivlet {
namespace {

class LocalClock final : public IClock {
public:
    TDateTime Now() const override {
        using namespace std::chrono;
        const auto now = system_clock::now();
        const std::time_t secs = system_clock::to_time_t(now);
        const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
        std::tm tm{};
        {
            // std::localtime shares one buffer; this lock keeps our own callers apart.
            static std::mutex mutex;
            std::lock_guard lock(mutex);
            tm = *std::localtime(&secs);
        }
        return EncodeDateTime({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                               tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(ms < 0 ? 0 : ms)});
    }
};

} // namespace

const IClock& DefaultClock() {
    static const LocalClock clock;
    return clock;
}

} // namespace drivlet

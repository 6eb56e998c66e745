#include "core/status/StatusClock.h"

#include <cmath>
#include <cstdio>

namespace drivlet {
namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr int64_t kMsPerSecond = 1000;
// Beyond this many days a span is no clock reading (and its milliseconds would overflow).
constexpr double kLongestSpanDays = 1e9;

std::optional<int64_t> Milliseconds(double days) {
    if (!std::isfinite(days) || days < 0 || days > kLongestSpanDays) return std::nullopt;
    return static_cast<int64_t>(std::llround(days * kMsPerDay));
}

std::string FormatHms(int64_t ms) {
    const int64_t seconds = ms / 1000;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2lld : %.2lld : %.2lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return buffer;
}

} // namespace

std::optional<std::string> ClockText(double days) {
    const auto ms = Milliseconds(days);
    if (!ms) return std::nullopt;
    return FormatHms(*ms);
}

void StatusClock::OnStatus(std::string speed, double remainingDays) {
    speed_ = std::move(speed);
    remainingMs_ = remainingDays < 0 ? std::nullopt : Milliseconds(remainingDays);
}

ClockTexts StatusClock::Tick(TDateTime now, TDateTime startTime) {
    ClockTexts texts;
    const auto elapsed = startTime == 0 ? std::nullopt : ClockText(now - startTime);
    texts.elapsed = elapsed.value_or("N/A");
    texts.speed = "Speed  " + speed_;
    std::string left = "N/A";
    if (speed_ != "N/A" && remainingMs_) {
        *remainingMs_ -= kMsPerSecond;
        if (*remainingMs_ > 0) left = FormatHms(*remainingMs_);
    }
    texts.remaining = "Remaing time " + left;
    return texts;
}

std::string JobTabCaption(std::string_view jobName) {
    // Blanks and control characters are what trimming takes away.
    for (const char c : jobName)
        if (static_cast<unsigned char>(c) > ' ') return std::string(jobName);
    return "New Job";
}

} // namespace drivlet

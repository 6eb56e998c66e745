#pragma once
// The notification slider's auto-close countdown: three seconds in half-second steps, restarted
// when the slider shows or the mouse leaves it, with the check box's caption for each step.
#include <string>
#include <string_view>

namespace drivlet {

inline constexpr std::string_view kAutoCloseCaption = "Auto Close";
inline constexpr std::string_view kNoJobRunningText = "No job is  running...";

class SliderCountdown {
public:
    static constexpr int kStartMs = 3000;
    static constexpr int kStepMs = 500;

    void Restart() { remaining_ = kStartMs; }
    // One step; true when the time is up (the slider closes).
    [[nodiscard]] bool Step() {
        remaining_ -= kStepMs;
        return remaining_ <= 0;
    }
    int RemainingMs() const { return remaining_; }
    // "Auto Closing In 2.50  Seconds"
    std::string StepCaption() const;

private:
    int remaining_ = kStartMs;
};

} // namespace drivlet

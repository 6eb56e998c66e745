#pragma once
// The tray program's start, from the single-instance guard to the event loop, and its end.
class QApplication;

namespace drivlet::gui {

// The time between the start and the icon showing with the start-up schedules run.
inline constexpr int kIconDelayMs = 2000;

// Runs the program in `app` until Exit; returns the process's exit code (0 also for a second
// start turned away).
int RunTrayProgram(QApplication& app);

} // namespace drivlet::gui

#pragma once
// What the tray controller asks of the rest of the program: the drive windows and job launching,
// the end of the program and the platform's forced log-off or power-off. The composition root
// fills it from the drive windows (which count their runs in the controller's run registry);
// tests fill it with their own functions.
#include <functional>
#include <string>

namespace drivlet::gui {

struct TrayServices {
    // A known drive arrived (with drive auto-run on): its New Drive window.
    std::function<void(const std::string& drivePath)> showDrive;
    // A scheduled job: opens its drive's window and starts it there.
    std::function<void(const std::string& jobFile)> launchJob;
    // Every window of the program to the front (a second start asked for it).
    std::function<void()> raiseAll;
    // The Open Drive command; empty: a notice says it comes later.
    std::function<void()> openDrive;
    // Ends the program; empty: QCoreApplication::quit.
    std::function<void()> quit;
    // Ends the user's work by force, log-off when true, else power-off; true when asked.
    std::function<bool(bool logOff)> completePendingShutdown;
};

} // namespace drivlet::gui

#pragma once
// The tray icon's seven images, drawn once at start: the first is the resting icon, all seven in
// turn are the animation shown while jobs run.
#include <QIcon>

#include <vector>

namespace drivlet::gui {

inline constexpr int kTrayImageCount = 7;

// Needs a QGuiApplication.
std::vector<QIcon> DrawTrayIconImages();

} // namespace drivlet::gui

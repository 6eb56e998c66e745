#pragma once
// A window of the program brought to the user: shown, un-minimised, raised and activated.

class QWidget;

namespace drivlet::gui {

void BringForward(QWidget& window);

} // namespace drivlet::gui

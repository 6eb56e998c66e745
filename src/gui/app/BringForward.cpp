#include "gui/app/BringForward.h"

#include <QWidget>

namespace drivlet::gui {

void BringForward(QWidget& window) {
    // A minimised window counts as visible: it is restored, keeping a maximised one maximised.
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace drivlet::gui

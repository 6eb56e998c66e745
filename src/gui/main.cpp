// The tray program. It lives in the notification area and has no main window, so closing its
// last window does not end it.
#include "gui/app/TrayApplication.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return drivlet::gui::RunTrayProgram(app);
}

#include "gui/tray/SystemTrayIcon.h"

namespace drivlet::gui {

SystemTrayIcon::SystemTrayIcon() {
    QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick && doubleClick_) doubleClick_();
        if (reason == QSystemTrayIcon::Trigger && click_) click_();
    });
}

void SystemTrayIcon::SetVisible(bool visible) {
    icon_.setVisible(visible);
}

void SystemTrayIcon::SetIcon(const QIcon& icon) {
    icon_.setIcon(icon);
}

void SystemTrayIcon::SetToolTip(const QString& text) {
    icon_.setToolTip(text);
}

void SystemTrayIcon::ShowBalloon(const QString& title, const QString& text, BalloonIcon icon) {
    icon_.showMessage(title, text,
                      icon == BalloonIcon::Warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

void SystemTrayIcon::SetMenu(QMenu* menu) {
    icon_.setContextMenu(menu);
}

void SystemTrayIcon::SetDoubleClickHandler(std::function<void()> handler) {
    doubleClick_ = std::move(handler);
}

} // namespace drivlet::gui

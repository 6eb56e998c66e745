#pragma once
// The tray icon of the desktop (QSystemTrayIcon).
#include "gui/tray/ITrayIcon.h"

#include <QSystemTrayIcon>

namespace drivlet::gui {

class SystemTrayIcon final : public ITrayIcon {
public:
    SystemTrayIcon();
    void SetVisible(bool visible) override;
    void SetIcon(const QIcon& icon) override;
    void SetToolTip(const QString& text) override;
    void ShowBalloon(const QString& title, const QString& text, BalloonIcon icon) override;
    void SetMenu(QMenu* menu) override;
    void SetDoubleClickHandler(std::function<void()> handler) override;
    void SetClickHandler(std::function<void()> handler) override { click_ = std::move(handler); }

private:
    QSystemTrayIcon icon_;
    std::function<void()> doubleClick_;
    std::function<void()> click_;
};

} // namespace drivlet::gui

#pragma once
// The icon in the notification area, behind a small interface: headless runs have no tray, so
// tests give the controller an icon of their own.
#include <QIcon>
#include <QString>

#include <functional>

class QMenu;

namespace drivlet::gui {

enum class BalloonIcon { Information, Warning };

class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetIcon(const QIcon& icon) = 0;
    virtual void SetToolTip(const QString& text) = 0;
    virtual void ShowBalloon(const QString& title, const QString& text, BalloonIcon icon) = 0;
    // The menu stays owned by the caller and must outlive the icon's use of it.
    virtual void SetMenu(QMenu* menu) = 0;
    // Called on a double-click on the icon.
    virtual void SetDoubleClickHandler(std::function<void()> handler) = 0;
    // Called on a single click on the icon.
    virtual void SetClickHandler(std::function<void()> handler) = 0;
};

} // namespace drivlet::gui

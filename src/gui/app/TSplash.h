#pragma once
// The splash: a borderless picture with its own transparency, centred on the screen, shown until
// the start-up is complete (its owner then destroys it); it can be dragged anywhere on it.
#include <QPixmap>
#include <QPoint>
#include <QWidget>

namespace drivlet::gui {

class TSplash final : public QWidget {
    Q_OBJECT
public:
    explicit TSplash(const QIcon& icon, QWidget* parent = nullptr);
    // The picture, drawn for this program: the icon on a rounded card with the name and version.
    static QPixmap Picture(const QIcon& icon);
    // Centred on the screen it opens on, then shown.
    void ShowSplash();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    QPoint grip_;
};

} // namespace drivlet::gui

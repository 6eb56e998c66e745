#include "gui/tray/TrayIconImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <numbers>

namespace drivlet::gui {
namespace {

// A USB stick on a disc; while busy, a bright arc runs round the disc one seventh per image.
QPixmap DrawImage(int size, int frame) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x5f, 0xa8));
    p.drawEllipse(QRectF(2, 2, 60, 60));

    if (frame > 0) {
        QPen arc(QColor(0xff, 0xc8, 0x2e), 6, Qt::SolidLine, Qt::RoundCap);
        p.setPen(arc);
        p.setBrush(Qt::NoBrush);
        // Qt's angles are in 1/16 degree, counter-clockwise: the arc moves clockwise frame by frame.
        const int start = 90 * 16 - (frame - 1) * (360 * 16 / (kTrayImageCount - 1));
        p.drawArc(QRectF(6, 6, 52, 52), start, -100 * 16);
    }

    // The stick: body and connector.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf4, 0xf6, 0xf8));
    p.drawRoundedRect(QRectF(22, 24, 20, 28), 4, 4);
    p.setBrush(QColor(0xb8, 0xc2, 0xcc));
    p.drawRect(QRectF(25, 12, 14, 12));
    p.setBrush(QColor(0x1f, 0x5f, 0xa8));
    p.drawRect(QRectF(28, 15, 3, 4));
    p.drawRect(QRectF(33, 15, 3, 4));
    return pixmap;
}

} // namespace

std::vector<QIcon> DrawTrayIconImages() {
    std::vector<QIcon> images;
    for (int frame = 0; frame < kTrayImageCount; ++frame) {
        QIcon icon;
        for (int size : {16, 22, 24, 32, 48, 64})
            icon.addPixmap(DrawImage(size, frame));
        images.push_back(icon);
    }
    return images;
}

} // namespace drivlet::gui

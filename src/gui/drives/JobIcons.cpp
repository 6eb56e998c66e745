#include "gui/drives/JobIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace drivlet::gui {
namespace {

constexpr int kSize = 16;

QPixmap Blank(int width = kSize) {
    QPixmap pixmap(width, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawArrows(QPainter& p, const QColor& colour, bool both) {
    p.setPen(QPen(colour, 2));
    p.drawLine(2, 5, 13, 5);
    p.drawLine(10, 2, 13, 5);
    if (both) {
        p.drawLine(3, 11, 14, 11);
        p.drawLine(3, 11, 6, 14);
    } else {
        p.drawLine(10, 8, 13, 5);
    }
}

void DrawType(QPainter& p, int typeIcon) {
    switch (typeIcon) {
    case 0: // two screens joined
        p.setPen(QPen(QColor(0, 128, 255), 1.5));
        p.drawRect(1, 3, 5, 5);
        p.drawRect(10, 8, 5, 5);
        p.drawLine(6, 6, 10, 10);
        break;
    case 1:
        DrawArrows(p, QColor(255, 0, 128), true);
        break;
    case 2:
        DrawArrows(p, QColor(128, 0, 255), false);
        break;
    case 3: // a box being filled
        p.setPen(QPen(QColor(128, 0, 0), 1.5));
        p.setBrush(QColor(255, 200, 200));
        p.drawRect(2, 6, 12, 8);
        p.drawLine(8, 1, 8, 9);
        p.drawLine(5, 6, 8, 9);
        p.drawLine(11, 6, 8, 9);
        break;
    default: { // a warning triangle
        QPainterPath path;
        path.moveTo(8, 1);
        path.lineTo(15, 14);
        path.lineTo(1, 14);
        path.closeSubpath();
        p.setPen(QPen(QColor(160, 0, 0), 1));
        p.setBrush(QColor(255, 210, 0));
        p.drawPath(path);
        p.drawLine(8, 5, 8, 10);
        p.drawPoint(8, 12);
        break;
    }
    }
}

void DrawState(QPainter& p, int state) {
    if (state != 1 && state != 2) return;
    const QColor colour = state == 1 ? QColor(0, 150, 0) : QColor(150, 150, 150);
    p.setPen(QPen(colour, 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.drawLine(8, 8, 8, 4);
    p.drawLine(8, 8, 11, 9);
}

template <class Draw> QIcon Drawn(int width, Draw draw) {
    QPixmap pixmap = Blank(width);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
    }
    return QIcon(pixmap);
}

} // namespace

QIcon JobTypeIcon(int typeIcon) {
    return Drawn(kSize, [&](QPainter& p) { DrawType(p, typeIcon); });
}

QIcon ScheduleStateIcon(int state) {
    return Drawn(kSize, [&](QPainter& p) { DrawState(p, state); });
}

QIcon JobRowIcon(int typeIcon, int scheduleState) {
    return Drawn(2 * kSize + 2, [&](QPainter& p) {
        DrawState(p, scheduleState);
        p.translate(kSize + 2, 0);
        DrawType(p, typeIcon);
    });
}

} // namespace drivlet::gui

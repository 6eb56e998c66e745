#include "gui/drives/SpacePie.h"

#include <QPainter>

namespace drivlet::gui {
namespace {

const QColor kUsedColour(255, 128, 0);
const QColor kFreeColour(17, 136, 255);

} // namespace

SpacePie::SpacePie(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 140);
}

void SpacePie::SetValues(int64_t used, int64_t free) {
    used_ = used;
    free_ = free;
    update();
}

void SpacePie::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int legendHeight = fontMetrics().height() * 2 + 8;
    const int side = std::max(0, std::min(width(), height() - legendHeight) - 8);
    const QRectF circle((width() - side) / 2.0, 4, side, side);
    const double total = static_cast<double>(used_) + static_cast<double>(free_);
    if (total <= 0) {
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawEllipse(circle);
    } else {
        // Qt's angles are in sixteenths of a degree, counter-clockwise from three o'clock.
        const int usedSpan = static_cast<int>(static_cast<double>(used_) / total * 5760.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kUsedColour);
        painter.drawPie(circle, 90 * 16, -usedSpan);
        painter.setBrush(kFreeColour);
        painter.drawPie(circle, 90 * 16 - usedSpan, -(5760 - usedSpan));
    }
    const int box = fontMetrics().height() - 4;
    int y = static_cast<int>(circle.bottom()) + 6;
    for (const auto& [colour, text] : {std::pair{kUsedColour, QStringLiteral("Used Space")},
                                       std::pair{kFreeColour, QStringLiteral("Free Space")}}) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRect(8, y + 2, box, box);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QPoint(8 + box + 6, y + fontMetrics().ascent()), text);
        y += fontMetrics().height() + 2;
    }
}

} // namespace drivlet::gui

#include "gui/app/TSplash.h"

#include "core/app/Constants.h"
#include "gui/text/QtText.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace drivlet::gui {
namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 220;

} // namespace

TSplash::TSplash(const QIcon& icon, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), picture_(Picture(icon)) {
    setWindowTitle(QtText(kProductTitle) + QStringLiteral(" splash"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(picture_.size());
}

QPixmap TSplash::Picture(const QIcon& icon) {
    QPixmap picture(kWidth, kHeight);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(2, 2, kWidth - 4, kHeight - 4), 24, 24);
    QLinearGradient fill(0, 0, 0, kHeight);
    fill.setColorAt(0, QColor(44, 120, 200, 245));
    fill.setColorAt(1, QColor(20, 62, 120, 245));
    painter.fillPath(card, fill);
    painter.setPen(QPen(QColor(255, 255, 255, 90), 2));
    painter.drawPath(card);
    icon.paint(&painter, QRect(32, 56, 108, 108));
    painter.setPen(Qt::white);
    QFont title = painter.font();
    title.setPointSize(30);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(160, 60, kWidth - 170, 56), Qt::AlignLeft | Qt::AlignVCenter,
                     QtText(kProductTitle));
    QFont small = painter.font();
    small.setPointSize(10);
    small.setBold(false);
    painter.setFont(small);
    painter.drawText(QRect(162, 116, kWidth - 172, 44), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Your files, carried safely between\nthis computer and your USB drives"));
    painter.setPen(QColor(255, 255, 255, 170));
    painter.drawText(QRect(24, kHeight - 40, kWidth - 48, 24), Qt::AlignRight | Qt::AlignVCenter,
                     QtText(kVersionText));
    return picture;
}

void TSplash::ShowSplash() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
}

void TSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

void TSplash::mousePressEvent(QMouseEvent* event) {
    grip_ = event->globalPosition().toPoint() - pos();
}

void TSplash::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - grip_);
}

} // namespace drivlet::gui

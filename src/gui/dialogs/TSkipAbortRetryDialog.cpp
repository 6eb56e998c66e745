#include "gui/dialogs/TSkipAbortRetryDialog.h"

#include "gui/text/PlainText.h"
#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QVBoxLayout>

namespace drivlet::gui {

namespace {

constexpr int kFadeIn = 10; // out of 255, per tick
constexpr int kFadeOut = -30;

// Headless platforms cannot show a window's opacity; the fade still runs its steps there.
bool CanFade() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

} // namespace

TSkipAbortRetryDialog::TSkipAbortRetryDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Drivlet"));
    setFixedWidth(kClientWidth);

    picture_ = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    picture_->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(size, size));
    picture_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    title_ = new QLabel(this);
    QFont larger = title_->font();
    larger.setPointSizeF(larger.pointSizeF() * 1.4);
    larger.setBold(true);
    title_->setFont(larger);
    QPalette blue = title_->palette();
    blue.setColor(QPalette::WindowText, QColor(0x00, 0x33, 0x99));
    title_->setPalette(blue);
    title_->setWordWrap(true);

    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title_);
    texts->addWidget(message_);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture_);
    top->addLayout(texts, 1);

    buttonBar_ = new QWidget(this);
    auto* buttons = new QHBoxLayout(buttonBar_);
    retry_ = new QPushButton(QStringLiteral("Retry"), buttonBar_);
    abort_ = new QPushButton(QStringLiteral("Abort"), buttonBar_);
    skip_ = new QPushButton(QStringLiteral("Skip"), buttonBar_);
    buttons->addWidget(retry_);
    buttons->addStretch(1);
    buttons->addWidget(abort_);
    buttons->addStretch(1);
    buttons->addWidget(skip_);
    retry_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttonBar_);

    connect(retry_, &QPushButton::clicked, this, [this] { done(kRetry); });
    connect(abort_, &QPushButton::clicked, this, [this] { done(kAbort); });
    connect(skip_, &QPushButton::clicked, this, [this] { done(kSkip); });

    MakeLabelsPlain(this);
    // As fast as the event loop allows.
    fadeTimer_.setInterval(0);
    connect(&fadeTimer_, &QTimer::timeout, this, &TSkipAbortRetryDialog::FadeStep);
}

void TSkipAbortRetryDialog::SetTitle(const QString& title) {
    title_->setText(title);
}

void TSkipAbortRetryDialog::SetMessage(const QString& message) {
    fullMessage_ = message;
    message_->setToolTip(PlainToolTip(message));
    FitHeight();
}

QString TSkipAbortRetryDialog::Title() const {
    return title_->text();
}

QString TSkipAbortRetryDialog::Message() const {
    return fullMessage_;
}

void TSkipAbortRetryDialog::FitHeight() {
    // Words longer than the line (paths) are shortened in the middle; the rest wraps.
    const int width = std::max(100, kClientWidth - picture_->sizeHint().width() - 40);
    const QFontMetrics metrics(message_->font());
    QStringList lines = fullMessage_.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        QStringList words = line.split(QLatin1Char(' '));
        for (QString& word : words)
            if (metrics.horizontalAdvance(word) > width)
                word = metrics.elidedText(word, Qt::ElideMiddle, width);
        line = words.join(QLatin1Char(' '));
    }
    message_->setText(lines.join(QLatin1Char('\n')));
    if (!layout()) return;
    const int texts = title_->heightForWidth(width) + message_->heightForWidth(width);
    const QMargins margins = layout()->contentsMargins();
    const int height = std::max(picture_->sizeHint().height(), texts + layout()->spacing()) +
                       buttonBar_->sizeHint().height() + margins.top() + margins.bottom() + 8;
    setFixedHeight(height);
}

void TSkipAbortRetryDialog::showEvent(QShowEvent* event) {
    FitHeight();
    QDialog::showEvent(event);
    if (result_ >= 0) return;
    opacity_ = 0;
    fadeStep_ = kFadeIn;
    if (CanFade()) setWindowOpacity(0.0);
    fadeTimer_.start();
}

void TSkipAbortRetryDialog::FadeStep() {
    opacity_ = std::clamp(opacity_ + fadeStep_, 0, 255);
    if (CanFade()) setWindowOpacity(opacity_ / 255.0);
    if (fadeStep_ > 0 && opacity_ >= 255) {
        fadeTimer_.stop();
    } else if (fadeStep_ < 0 && opacity_ <= 0) {
        fadeTimer_.stop();
        QDialog::done(result_);
    }
}

void TSkipAbortRetryDialog::done(int result) {
    if (result_ >= 0) return;
    result_ = result;
    if (!isVisible()) {
        QDialog::done(result);
        return;
    }
    fadeStep_ = kFadeOut;
    fadeTimer_.start();
}

void TSkipAbortRetryDialog::reject() {
    done(kSkip);
}

} // namespace drivlet::gui

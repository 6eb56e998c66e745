#include "gui/schedule/TScheduleDisplay.h"

#include "core/schedule/run/ScheduleJobs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace drivlet::gui {
namespace {

const char* const kDayNames[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                 "Friday", "Saturday", "Sunday"};
const char* const kMonthNames[] = {"01 January",   "02 February", "03 March",    "04 April",
                                   "05 May",       "06 June",     "07 July",     "08 August",
                                   "09 September", "10 October",  "11 November", "12 December"};

} // namespace

TScheduleDisplay::TScheduleDisplay(bool withTime, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Repeats"), this), 0, 0);
    mode_ = new QComboBox(this);
    mode_->addItems({QStringLiteral("Weekly"), QStringLiteral("Monthly"), QStringLiteral("Yearly"),
                     QStringLiteral("One Time Only")});
    top->addWidget(mode_, 0, 1, 1, 2);
    everyLabel_ = new QLabel(QStringLiteral("Repeat every"), this);
    top->addWidget(everyLabel_, 1, 0);
    every_ = new QSpinBox(this);
    every_->setRange(1, 30);
    top->addWidget(every_, 1, 1);
    unit_ = new QLabel(this);
    top->addWidget(unit_, 1, 2);
    layout->addLayout(top);

    panels_ = new QStackedWidget(this);
    auto* weekly = new QWidget(panels_);
    auto* weeklyLayout = new QGridLayout(weekly);
    for (int d = 0; d < 7; ++d) {
        days_[d] = new QCheckBox(QString::fromLatin1(kDayNames[d]), weekly);
        weeklyLayout->addWidget(days_[d], d / 4, d % 4);
        connect(days_[d], &QCheckBox::toggled, this, [this, d](bool on) {
            schedule_.SetWeekDay(static_cast<TWeekDay>(d), on);
            Changed();
        });
    }
    auto* monthly = new QWidget(panels_);
    auto* monthlyLayout = new QHBoxLayout(monthly);
    dayLabel_ = new QLabel(QStringLiteral("Day"), monthly);
    day_ = new QSpinBox(monthly);
    day_->setRange(1, 31);
    lastDay_ = new QCheckBox(QStringLiteral("Last day of the month."), monthly);
    monthlyLayout->addWidget(dayLabel_);
    monthlyLayout->addWidget(day_);
    monthlyLayout->addWidget(lastDay_);
    monthlyLayout->addStretch(1);
    auto* yearly = new QWidget(panels_);
    auto* yearlyLayout = new QHBoxLayout(yearly);
    yearlyLayout->addWidget(new QLabel(QStringLiteral("Month"), yearly));
    month_ = new QComboBox(yearly);
    for (const char* name : kMonthNames)
        month_->addItem(QString::fromLatin1(name));
    yearlyLayout->addWidget(month_);
    yearlyLayout->addWidget(new QLabel(QStringLiteral("Day"), yearly));
    yearDay_ = new QSpinBox(yearly);
    yearDay_->setRange(1, 31);
    yearlyLayout->addWidget(yearDay_);
    yearlyLayout->addStretch(1);
    panels_->addWidget(weekly);
    panels_->addWidget(monthly);
    panels_->addWidget(yearly);
    layout->addWidget(panels_);

    auto* time = new QWidget(this);
    auto* timeLayout = new QHBoxLayout(time);
    timeLayout->setContentsMargins(0, 0, 0, 0);
    timeLayout->addWidget(new QLabel(QStringLiteral("Time"), time));
    hour_ = new QSpinBox(time);
    minute_ = new QSpinBox(time);
    // One beyond each end, so that the boxes wrap as the rule says.
    hour_->setRange(-1, 24);
    minute_->setRange(-1, 60);
    timeLayout->addWidget(new QLabel(QStringLiteral("H"), time));
    timeLayout->addWidget(hour_);
    timeLayout->addWidget(new QLabel(QStringLiteral("M:"), time));
    timeLayout->addWidget(minute_);
    timeLayout->addStretch(1);
    layout->addWidget(time);
    time->setVisible(withTime);

    connect(mode_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        schedule_.ScheduleMode = static_cast<TScheduleMode>(index);
        ApplyModeRule();
        Changed();
        if (!filling_) emit modeChanged(schedule_.ScheduleMode);
    });
    connect(every_, &QSpinBox::valueChanged, this, [this](int value) {
        schedule_.Every = static_cast<uint8_t>(value);
        Changed();
    });
    connect(day_, &QSpinBox::valueChanged, this, [this](int value) {
        schedule_.DayOfMonth = static_cast<uint8_t>(value);
        Changed();
    });
    connect(lastDay_, &QCheckBox::toggled, this, [this](bool on) {
        schedule_.LastDayOFMonth = on;
        dayLabel_->setEnabled(!on);
        day_->setEnabled(!on);
        Changed();
    });
    connect(month_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        schedule_.Month = static_cast<uint8_t>(index + 1);
        Changed();
    });
    connect(yearDay_, &QSpinBox::valueChanged, this, [this](int value) {
        schedule_.DayOfMonthYearMode = static_cast<uint8_t>(value);
        Changed();
    });
    const auto timeChanged = [this] {
        const auto [h, m] = WrapScheduleTime(hour_->value(), minute_->value());
        schedule_.TimeH = h;
        schedule_.TimeM = m;
        if (hour_->value() != h || minute_->value() != m) {
            // Both boxes are set before either tells: a wrap is applied once.
            const QSignalBlocker blockHour(hour_);
            const QSignalBlocker blockMinute(minute_);
            hour_->setValue(h);
            minute_->setValue(m);
        }
        Changed();
    };
    connect(hour_, &QSpinBox::valueChanged, this, timeChanged);
    connect(minute_, &QSpinBox::valueChanged, this, timeChanged);
    ShowControls();
}

void TScheduleDisplay::ShowSchedule(const TSchedule* schedule) {
    TSchedule fresh;
    schedule_.Assign(fresh); // the time stays as the last row had it
    if (schedule) {
        schedule_.Assign(*schedule);
        schedule_.TimeH = schedule->TimeH;
        schedule_.TimeM = schedule->TimeM;
    }
    ShowControls();
}

void TScheduleDisplay::ShowControls() {
    const bool filling = std::exchange(filling_, true);
    const TSchedule shown = schedule_; // the controls' signals write into schedule_ as they are set
    mode_->setCurrentIndex(static_cast<int>(shown.ScheduleMode));
    every_->setValue(shown.Every);
    for (int d = 0; d < 7; ++d)
        days_[d]->setChecked(shown.HasWeekDay(static_cast<TWeekDay>(d)));
    day_->setValue(shown.DayOfMonth);
    lastDay_->setChecked(shown.LastDayOFMonth);
    month_->setCurrentIndex(std::max(0, shown.Month - 1));
    yearDay_->setValue(shown.DayOfMonthYearMode);
    hour_->setValue(shown.TimeH);
    minute_->setValue(shown.TimeM);
    schedule_.Assign(shown);
    schedule_.TimeH = shown.TimeH;
    schedule_.TimeM = shown.TimeM;
    dayLabel_->setEnabled(!shown.LastDayOFMonth);
    day_->setEnabled(!shown.LastDayOFMonth);
    ApplyModeRule();
    filling_ = filling;
}

void TScheduleDisplay::ApplyModeRule() {
    const TScheduleMode mode = schedule_.ScheduleMode;
    panels_->setCurrentIndex(mode == TScheduleMode::smWeekly ? 0 : mode == TScheduleMode::smMonthly ? 1 : 2);
    const char* unit = mode == TScheduleMode::smWeekly    ? "Weeks"
                       : mode == TScheduleMode::smMonthly ? "Months"
                       : mode == TScheduleMode::smYearly  ? "Years"
                                                          : "";
    unit_->setText(QString::fromLatin1(unit));
    const bool repeats = mode != TScheduleMode::smOnesOnly;
    everyLabel_->setEnabled(repeats);
    every_->setEnabled(repeats);
    unit_->setEnabled(repeats);
}

void TScheduleDisplay::Changed() {
    if (!filling_) emit edited();
}

} // namespace drivlet::gui

#pragma once
// The schedule editor: how often a timed schedule repeats (weekly on chosen days, monthly on a day
// or the last day, yearly or once on a date) and, with the time shown, at what hour and minute.
// It edits its own TSchedule; its owner reads it back on save.
#include "core/schedule/TSchedule.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QStackedWidget;

namespace drivlet::gui {

class TScheduleDisplay final : public QWidget {
    Q_OBJECT
public:
    explicit TScheduleDisplay(bool withTime, QWidget* parent = nullptr);

    // A row's schedule: the editor's is reset to the construction values but the time, then given
    // the row's record (none: the reset values stay).
    void ShowSchedule(const TSchedule* schedule);
    const TSchedule& Schedule() const { return schedule_; }

signals:
    // Any control changed by the user.
    void edited();
    void modeChanged(drivlet::TScheduleMode mode);

private:
    void ShowControls();
    void ApplyModeRule();
    void Changed();

    TSchedule schedule_;
    bool filling_ = false;
    QComboBox* mode_ = nullptr;
    QLabel* everyLabel_ = nullptr;
    QSpinBox* every_ = nullptr;
    QLabel* unit_ = nullptr;
    QStackedWidget* panels_ = nullptr;
    std::array<QCheckBox*, 7> days_{};
    QLabel* dayLabel_ = nullptr;
    QSpinBox* day_ = nullptr;
    QCheckBox* lastDay_ = nullptr;
    QComboBox* month_ = nullptr;
    QSpinBox* yearDay_ = nullptr;
    QSpinBox* hour_ = nullptr;
    QSpinBox* minute_ = nullptr;
};

} // namespace drivlet::gui

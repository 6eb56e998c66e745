#include "gui/schedule/SchedulesWindow.h"

#include "core/schedule/ScheduleSave.h"
#include "core/schedule/run/ScheduleJobs.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/schedule/ScheduleRowsModel.h"
#include "gui/schedule/TScheduleDisplay.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

#include <exception>
#include <utility>

namespace drivlet::gui {

SchedulesWindow::SchedulesWindow(ProgramDatabase& database, const IClock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), database_(database), clock_(clock) {
    setWindowTitle(QStringLiteral("Schedules"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Schedule Setting "), this);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    heading->setFont(big);
    layout->addWidget(heading);
    layout->addWidget(new QLabel(
        QStringLiteral("Please note: Scheduled jobs will only be run if Drivlet is running."), this));

    model_ = new ScheduleRowsModel(this);
    list_ = new QTableView(this);
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->verticalHeader()->hide();
    list_->setColumnWidth(ScheduleRowsModel::JobNameColumn, 250);
    list_->setColumnWidth(ScheduleRowsModel::NextRunColumn, 150);
    list_->setColumnWidth(ScheduleRowsModel::ActiveColumn, 80);
    list_->setColumnWidth(ScheduleRowsModel::TypeColumn, 100);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setMinimumHeight(140);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) { Select(now.isValid() ? now.row() : -1); });
    connect(model_, &ScheduleRowsModel::activeToggled, this, [this](int row, bool active) {
        std::optional<ScheduleRunRow> stored = database_.FindSchedule(model_->Rows()[row].ID);
        if (!stored) return Refresh();
        stored->Active = active;
        try {
            database_.SaveSchedule(*stored);
        } catch (const std::exception& e) {
            ShowError(e.what());
            return Refresh();
        }
        if (row == current_ && !editing_) ShowRow();
        emit schedulesChanged();
    });
    layout->addWidget(list_, 1);

    auto* detail = new QGridLayout;
    detail->addWidget(new QLabel(QStringLiteral("Job Name"), this), 0, 0);
    jobName_ = new QLineEdit(this);
    connect(jobName_, &QLineEdit::textEdited, this, &SchedulesWindow::Edited);
    detail->addWidget(jobName_, 0, 1);
    active_ = new QCheckBox(QStringLiteral("Active"), this);
    connect(active_, &QCheckBox::toggled, this, &SchedulesWindow::Edited);
    detail->addWidget(active_, 0, 2);
    auto* modeBox = new QGroupBox(QStringLiteral("Mode"), this);
    auto* modeLayout = new QGridLayout(modeBox);
    mode_ = new QButtonGroup(this);
    const std::pair<const char*, int> modes[] = {{"USB Disk Insertion", 3},
                                                 {"Windows Startup", 0},
                                                 {"Window Shutdown", 1},
                                                 {"Every Day/Week/Month/year", 2}};
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(modes[i].first), modeBox);
        mode_->addButton(radio, modes[i].second);
        modeLayout->addWidget(radio, i / 2, i % 2);
    }
    connect(mode_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) Edited();
    });
    detail->addWidget(modeBox, 1, 0, 1, 3);
    nextRun_ = new QGroupBox(QStringLiteral("Next Run At"), this);
    auto* nextLayout = new QVBoxLayout(nextRun_);
    nextDate_ = new QLabel(nextRun_);
    nextTime_ = new QLabel(nextRun_);
    nextLayout->addWidget(nextDate_);
    nextLayout->addWidget(nextTime_);
    detail->addWidget(nextRun_, 2, 0);
    auto* frequency = new QGroupBox(QStringLiteral("Frequency"), this);
    auto* frequencyLayout = new QVBoxLayout(frequency);
    editor_ = new TScheduleDisplay(/*withTime=*/true, frequency);
    frequencyLayout->addWidget(editor_);
    connect(editor_, &TScheduleDisplay::edited, this, &SchedulesWindow::Edited);
    connect(editor_, &TScheduleDisplay::modeChanged, this, &SchedulesWindow::ShowNextRunGroup);
    detail->addWidget(frequency, 2, 1, 1, 2);
    nextRun_->setMinimumWidth(220);
    detail->setColumnStretch(1, 1);
    layout->addLayout(detail);

    auto* buttons = new QHBoxLayout;
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    auto* refresh = new QPushButton(QStringLiteral("Refresh"), this);
    reset_ = new QPushButton(QStringLiteral("Reset"), this);
    save_ = new QPushButton(QStringLiteral("Save"), this);
    connect(delete_, &QPushButton::clicked, this, &SchedulesWindow::DeleteCurrent);
    connect(refresh, &QPushButton::clicked, this, &SchedulesWindow::Refresh);
    connect(reset_, &QPushButton::clicked, this, &SchedulesWindow::Reset);
    connect(save_, &QPushButton::clicked, this, [this] { (void)Save(); });
    for (QPushButton* button : {delete_, refresh, reset_, save_})
        buttons->addWidget(button);
    buttons->insertStretch(2, 1);
    layout->addLayout(buttons);
    // Wide enough for the list's columns, no taller than a small screen.
    resize(720, 560);
    Refresh();
}

SchedulesWindow::~SchedulesWindow() {
    delete error_.data();
}

void SchedulesWindow::showEvent(QShowEvent* event) {
    if (!editing_) Refresh();
    QWidget::showEvent(event);
}

void SchedulesWindow::Refresh() {
    const int64_t id = current_ >= 0 && current_ < static_cast<int>(model_->Rows().size())
                           ? model_->Rows()[current_].ID
                           : -1;
    editing_ = false;
    model_->SetRows(database_.AllSchedules());
    const int row = model_->RowOf(id);
    Select(row >= 0 ? row : (model_->rowCount() > 0 ? 0 : -1));
}

void SchedulesWindow::Select(int row) {
    // Moving to another row writes the edits of the one left, as a table does.
    if (editing_ && row != current_ && !Save()) {
        const QSignalBlocker block(list_->selectionModel());
        list_->setCurrentIndex(model_->index(current_, 0));
        return;
    }
    current_ = row;
    editing_ = false;
    if (row >= 0 && list_->currentIndex().row() != row) {
        const QSignalBlocker block(list_->selectionModel());
        list_->setCurrentIndex(model_->index(row, 0));
        list_->selectRow(row);
    }
    ShowRow();
}

void SchedulesWindow::ShowRow() {
    filling_ = true;
    const bool has = current_ >= 0 && current_ < static_cast<int>(model_->Rows().size());
    for (QWidget* w : std::initializer_list<QWidget*>{jobName_, active_, editor_, nextRun_})
        w->setEnabled(has);
    for (QAbstractButton* b : mode_->buttons())
        b->setEnabled(has);
    if (has) {
        const ScheduleRunRow& row = model_->Rows()[current_];
        jobName_->setText(QString::fromStdString(row.JobName));
        if (QAbstractButton* mode = mode_->button(row.Mode)) mode->setChecked(true);
        active_->setChecked(row.Active);
        const NextRunTexts next = NextRunAtTexts(row.NextRunTime);
        nextDate_->setText(QString::fromStdString(next.date));
        nextTime_->setText(QString::fromStdString(next.time));
        std::optional<TSchedule> schedule;
        if (!row.Data.empty()) {
            try {
                schedule.emplace();
                schedule->LoadCompressedFromField(row.Data);
            } catch (const std::exception&) {
                schedule.reset(); // a damaged record shows the reset values
            }
        }
        editor_->ShowSchedule(schedule ? &*schedule : nullptr);
    } else {
        jobName_->clear();
        nextDate_->setText(QStringLiteral("N/A"));
        nextTime_->clear();
    }
    filling_ = false;
    ShowNextRunGroup();
    ShowButtons();
}

void SchedulesWindow::Edited() {
    if (filling_ || current_ < 0) return;
    editing_ = true;
    ShowButtons();
}

void SchedulesWindow::ShowNextRunGroup() {
    nextRun_->setEnabled(current_ >= 0 && editor_->Schedule().ScheduleMode != TScheduleMode::smOnesOnly);
}

void SchedulesWindow::ShowButtons() {
    delete_->setEnabled(model_->rowCount() > 0);
    reset_->setEnabled(editing_);
    save_->setEnabled(editing_);
}

bool SchedulesWindow::Save() {
    if (current_ < 0 || current_ >= static_cast<int>(model_->Rows().size())) return false;
    ScheduleRunRow row = model_->Rows()[current_];
    row.JobName = jobName_->text().toStdString();
    if (mode_->checkedId() >= 0) row.Mode = mode_->checkedId();
    row.Active = active_->isChecked();
    TSchedule schedule;
    schedule.Assign(editor_->Schedule());
    schedule.TimeH = editor_->Schedule().TimeH;
    schedule.TimeM = editor_->Schedule().TimeM;
    row.Data = schedule.SaveCompressedToField();
    row.NextRunTime = NextRunTimeOnSave(row.Mode == kRunTimed, schedule, clock_.Now());
    try {
        database_.SaveSchedule(row);
    } catch (const std::exception& e) {
        ShowError(e.what());
        return false;
    }
    editing_ = false;
    model_->SetRow(current_, row);
    ShowRow();
    emit schedulesChanged();
    return true;
}

void SchedulesWindow::Reset() {
    editing_ = false;
    ShowRow();
}

void SchedulesWindow::DeleteCurrent() {
    if (current_ < 0 || current_ >= static_cast<int>(model_->Rows().size())) return;
    try {
        database_.DeleteSchedule(model_->Rows()[current_].ID);
    } catch (const std::exception& e) {
        return ShowError(e.what());
    }
    editing_ = false;
    const int row = current_;
    model_->SetRows(database_.AllSchedules());
    current_ = -1;
    Select(model_->rowCount() == 0 ? -1 : std::min(row, model_->rowCount() - 1));
    emit schedulesChanged();
}

void SchedulesWindow::AddJob(const std::string& jobFile) {
    if (editing_) (void)Save();
    ScheduleRunRow row;
    try {
        row = AddJobToSchedules(database_, jobFile, clock_);
    } catch (const std::exception& e) {
        return ShowError(e.what());
    }
    editing_ = false;
    model_->SetRows(database_.AllSchedules());
    current_ = -1;
    Select(model_->RowOf(row.ID));
    emit schedulesChanged();
}

void SchedulesWindow::ShowError(const std::string& text) {
    delete error_.data();
    error_ = OpenMessageBox(this, text, "Schedules", MessageKind::Error, BoxButtons::Ok, {});
}

} // namespace drivlet::gui

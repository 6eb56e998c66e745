#pragma once
// The Schedules screen: every scheduled job with when it runs (start-up, shut-down, drive
// insertion or the times of its schedule), switched on and off, renamed, edited and deleted; jobs
// come from the drive windows' "Schedule". One window for the program; closing it hides it.
#include "core/db/ProgramDatabase.h"

#include <QPointer>
#include <QWidget>

#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QTableView;

namespace drivlet {
class IClock;
}

namespace drivlet::gui {

class ScheduleRowsModel;
class TScheduleDisplay;

class SchedulesWindow final : public QWidget {
    Q_OBJECT
public:
    SchedulesWindow(ProgramDatabase& database, const IClock& clock, QWidget* parent = nullptr);
    ~SchedulesWindow() override;

    // The job's row, added when the job has none; it becomes the current row.
    void AddJob(const std::string& jobFile);
    // Computes the next run time and writes the current row; false (with a box) when the
    // database refused, the row then stays edited.
    bool Save();
    // Drops the current row's edits.
    void Reset();
    void DeleteCurrent();
    // Reads the table again, keeping the current row.
    void Refresh();

    int CurrentRow() const { return current_; }
    bool Editing() const { return editing_; }
    ScheduleRowsModel& Rows() const { return *model_; }
    TScheduleDisplay& Editor() const { return *editor_; }
    QTableView& List() const { return *list_; }

signals:
    // A row was saved, added, switched or deleted: the drive windows show the new states.
    void schedulesChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Select(int row);
    void ShowRow();
    void Edited();
    void ShowNextRunGroup();
    void ShowButtons();
    void ShowError(const std::string& text);

    ProgramDatabase& database_;
    const IClock& clock_;
    ScheduleRowsModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLineEdit* jobName_ = nullptr;
    QButtonGroup* mode_ = nullptr;
    QCheckBox* active_ = nullptr;
    QGroupBox* nextRun_ = nullptr;
    QLabel* nextDate_ = nullptr;
    QLabel* nextTime_ = nullptr;
    TScheduleDisplay* editor_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* save_ = nullptr;
    QPointer<QMessageBox> error_;
    int current_ = -1;
    bool editing_ = false;
    bool filling_ = false;
};

} // namespace drivlet::gui

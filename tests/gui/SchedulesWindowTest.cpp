// The Schedules screen over a real program database and real job files in a temporary folder,
// with the clock set by the test: a job added once whatever drive path it had, a new row's
// defaults, a monthly schedule saved with its next run time, a start-up row without one, a row
// switched off in the list, the last row deleted; and the editor's time wrapping and its
// one-time-only rule.
#include "gui/schedule/SchedulesWindow.h"

#include "core/records/TArchiveData.h"
#include "core/schedule/TSchedule.h"
#include "gui/schedule/ScheduleRowsModel.h"
#include "gui/schedule/TScheduleDisplay.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace drivlet;
using namespace drivlet::gui;
namespace fs = std::filesystem;

class SchedulesWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<ProgramDatabase> database_;
    std::unique_ptr<ManualClock> clock_;

    std::string MakeJob(const std::string& drive, const std::string& name) {
        const fs::path file = dir_->path() / drive / "Config" / (name + ".Ubk");
        fs::create_directories(file.parent_path());
        TArchiveData job(*clock_);
        job.BackupName = name;
        job.SaveCompressed(file);
        return file.string();
    }

private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        database_ = std::make_unique<ProgramDatabase>(dir_->path() / "ProgramData.udb");
        clock_ = std::make_unique<ManualClock>(EncodeDateTime({2010, 8, 16, 9, 0, 0, 0}));
    }
    void cleanup() {
        database_.reset();
        dir_.reset();
    }

    void aJobIsAddedOnceAndANewRowShowsItsDefaults() {
        SchedulesWindow window(*database_, *clock_);
        QCOMPARE(window.windowTitle(), QStringLiteral("Schedules"));
        QVERIFY(!test::FindByText<QPushButton>(window, "Delete")->isEnabled());
        const std::string onF = MakeJob("F", "Photos");
        QSignalSpy changed(&window, &SchedulesWindow::schedulesChanged);
        window.AddJob(onF);
        // The same job on a drive mounted elsewhere is the same row.
        const std::string onG = (dir_->path() / "G" / "Config" / "Photos.Ubk").string();
        window.AddJob(onG);
        QCOMPARE(window.Rows().rowCount(), 1);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(window.CurrentRow(), 0);
        const QModelIndex name = window.Rows().index(0, ScheduleRowsModel::JobNameColumn);
        QCOMPARE(name.data().toString(), QStringLiteral("Photos"));
        QCOMPARE(window.Rows().index(0, ScheduleRowsModel::TypeColumn).data().toString(),
                 QStringLiteral("Backup Job"));
        QCOMPARE(window.Rows().index(0, ScheduleRowsModel::ActiveColumn).data(Qt::CheckStateRole).toInt(),
                 int(Qt::Checked));
        QVERIFY(test::FindByText<QCheckBox>(window, "Active")->isChecked());
        QVERIFY(test::FindByText<QRadioButton>(window, "Every Day/Week/Month/year")->isChecked());
        QVERIFY(test::FindByText<QLabel>(window, "N/A") != nullptr);
        QVERIFY(test::FindByText<QPushButton>(window, "Delete")->isEnabled());
        QVERIFY(!test::FindByText<QPushButton>(window, "Save")->isEnabled());
    }

    void savingComputesTheNextRunAndOtherModesHaveNone() {
        SchedulesWindow window(*database_, *clock_);
        window.AddJob(MakeJob("F", "Letters"));
        auto* repeats = window.Editor().findChildren<QComboBox*>().front();
        repeats->setCurrentIndex(0);
        repeats->setCurrentIndex(1); // Monthly
        QVERIFY(window.Editing());
        QVERIFY(test::FindByText<QPushButton>(window, "Save")->isEnabled());
        QSpinBox* day = nullptr;
        for (QSpinBox* box : window.Editor().findChildren<QSpinBox*>())
            if (box->maximum() == 31 && box->isVisibleTo(&window.Editor()) && !day) day = box;
        QVERIFY(day);
        day->setValue(20);
        const auto boxes = window.Editor().findChildren<QSpinBox*>();
        QSpinBox* hour = boxes[boxes.size() - 2];
        QSpinBox* minute = boxes.back();
        hour->setValue(14);
        minute->setValue(30);
        QVERIFY(window.Save());
        std::optional<ScheduleRunRow> row = database_->AllSchedules().front();
        QVERIFY(row->NextRunTime.has_value());
        QCOMPARE(*row->NextRunTime, EncodeDateTime({2010, 8, 20, 14, 30, 0, 0}));
        TSchedule stored;
        stored.LoadCompressedFromField(row->Data);
        QCOMPARE(int(stored.DayOfMonth), 20);
        QVERIFY(test::FindByText<QLabel>(window, "Friday 20 of August 2010") != nullptr);

        // Start-up: no next run. Reset drops an edit.
        test::FindByText<QRadioButton>(window, "Windows Startup")->setChecked(true);
        window.Reset();
        QVERIFY(test::FindByText<QRadioButton>(window, "Every Day/Week/Month/year")->isChecked());
        test::FindByText<QRadioButton>(window, "Windows Startup")->setChecked(true);
        QVERIFY(window.Save());
        row = database_->AllSchedules().front();
        QCOMPARE(row->Mode, 0);
        QVERIFY(!row->NextRunTime);
    }

    void theListSwitchesARowAndDeletingTheLastDisablesDelete() {
        SchedulesWindow window(*database_, *clock_);
        window.AddJob(MakeJob("F", "Music"));
        QVERIFY(window.Rows().setData(window.Rows().index(0, ScheduleRowsModel::ActiveColumn), Qt::Unchecked,
                                      Qt::CheckStateRole));
        QVERIFY(!database_->AllSchedules().front().Active);
        QVERIFY(!test::FindByText<QCheckBox>(window, "Active")->isChecked());
        window.DeleteCurrent();
        QCOMPARE(window.Rows().rowCount(), 0);
        QVERIFY(database_->AllSchedules().empty());
        QVERIFY(!test::FindByText<QPushButton>(window, "Delete")->isEnabled());
    }

    void theEditorWrapsItsTimeAndOneTimeOnlyDoesNotRepeat() {
        TScheduleDisplay editor(/*withTime=*/true);
        const auto boxes = editor.findChildren<QSpinBox*>();
        QSpinBox* hour = boxes[boxes.size() - 2];
        QSpinBox* minute = boxes.back();
        hour->setValue(23);
        minute->setValue(60);
        QCOMPARE(editor.Schedule().TimeH, 0);
        QCOMPARE(editor.Schedule().TimeM, 0);
        QCOMPARE(hour->value(), 0);
        minute->setValue(-1);
        QCOMPARE(editor.Schedule().TimeH, 23);
        QCOMPARE(editor.Schedule().TimeM, 59);
        auto* repeats = editor.findChildren<QComboBox*>().front();
        QCOMPARE(repeats->itemText(3), QStringLiteral("One Time Only"));
        repeats->setCurrentIndex(3);
        QVERIFY(editor.Schedule().ScheduleMode == TScheduleMode::smOnesOnly);
        QSpinBox* every = nullptr;
        for (QSpinBox* box : boxes)
            if (box->maximum() == 30) every = box;
        QVERIFY(every && !every->isEnabled());
        // A row's schedule replaces all but the time, which keeps the last row's.
        TSchedule weekly;
        weekly.ScheduleMode = TScheduleMode::smWeekly;
        weekly.SetWeekDay(TWeekDay::dWednesday, true);
        weekly.TimeH = 7;
        editor.ShowSchedule(&weekly);
        QVERIFY(test::FindByText<QCheckBox>(editor, "Wednesday")->isChecked());
        QCOMPARE(editor.Schedule().TimeH, 7);
        editor.ShowSchedule(nullptr);
        QVERIFY(editor.Schedule().ScheduleMode == TScheduleMode::smMonthly);
        QCOMPARE(editor.Schedule().TimeH, 7);
    }
};

QTEST_MAIN(SchedulesWindowTest)
#include "SchedulesWindowTest.moc"

#pragma once
// A drive's window: the jobs found in its "Config" folder, searched on a worker and listed as they
// come; the actions on a job; and the tabs where the jobs run from it show their progress. One
// window per drive path (DriveWindows keeps them).
#include "core/time/DateTimeText.h"
#include "gui/tray/TrayCommand.h"
#include "platform/FileSystem.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QWidget;

namespace drivlet {
class TSearchDrive;
struct TAutoRunFileData;
} // namespace drivlet

namespace drivlet::gui {

class JobRowsModel;

// The window's menu commands, which belong to the tray program.
struct NewDriveServices {
    const IFileSystem& files; // outlives the window
    std::string computerId;
    // 0 not scheduled, 1 scheduled and active, 2 switched off; empty: never scheduled.
    std::function<int(const std::string& jobFile)> scheduleStateOf;
    // How "Last Run At" reads; empty: the user's short date and long time.
    DateTimeTextFormat lastRunText;
    // Jobs started from the window still run, so closing it only hides it; empty: none do.
    std::function<bool()> jobsRunning;
};

class TNewDrive final : public QMainWindow {
    Q_OBJECT
public:
    TNewDrive(const std::string& drivePath, NewDriveServices services, QWidget* parent = nullptr);
    ~TNewDrive() override;

    // The path with a trailing "/" (added when missing), as windows are told apart.
    static std::string NormalDrivePath(std::string drivePath);
    const std::string& DrivePath() const { return drivePath_; }

    // The job tabs; the first holds the job list.
    QTabWidget& Pages() { return *pages_; }
    JobRowsModel& Rows() { return *rows_; }
    QTableView& JobList() { return *list_; }

    // Starts a search unless one runs.
    void Refresh();
    // Asks the running search to stop.
    void StopSearch();
    bool Searching() const;
    // Reads every row's schedule state again (after schedules changed).
    void RefreshStateIcons();
    // A close that waited for the search or the jobs goes ahead once both are over.
    void BusyChanged();

    // The selected row, -1 when none.
    int SelectedRow() const;
    void RunSelected();
    void EditSelected();
    void DeleteSelected();
    void OpenRestoreSelected();
    void ScheduleSelected();

signals:
    void runRequested(const QString& jobFile);
    // The selected job's "Schedule": the Schedules screen shows (or adds) its row.
    void scheduleRequested(const QString& jobFile);
    void trayCommand(drivlet::gui::TrayCommand command);
    void searchEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    QWidget* BuildJobPage();
    void BuildMenus();
    void UpdateActions();
    void OnSearchStatus(const QString& text);
    void OnSearchRow(const TAutoRunFileData& row);
    void OnSearchEnd();
    void ShowSearching(bool searching);
    void ShowLater(const QString& what);
    void ShowContextMenu(const QPoint& at);

    std::string drivePath_;
    NewDriveServices services_;
    bool closePending_ = false;
    bool refreshAgain_ = false;

    JobRowsModel* rows_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QTableView* list_ = nullptr;
    QWidget* progressArea_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QProgressBar* busyBar_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* runButton_ = nullptr;
    QPushButton* scheduleButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;

    // Last: joined first when the window goes.
    std::unique_ptr<TSearchDrive> search_;
};

} // namespace drivlet::gui

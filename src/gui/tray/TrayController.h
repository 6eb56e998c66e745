#pragma once
// The resident controller: the tray icon with its menu, balloons and animation, the settings and
// the program database, the two timers (deleted-files alert, timed schedules), drive arrival and
// the schedule runner, the Exit command and the platform's shut-down query. Everything runs on the
// GUI thread; questions are boxes answered by callback.
#include "core/db/ProgramDatabase.h"
#include "core/records/TProgramData.h"
#include "core/schedule/run/ScheduleRunner.h"
#include "core/schedule/run/ShutdownCoordinator.h"
#include "gui/tray/ITrayIcon.h"
#include "gui/tray/TrayServices.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMessageBox;

namespace drivlet {
class IClock;
class IShellNotifySource;
} // namespace drivlet

namespace drivlet::gui {

inline constexpr const char* kBalloonTitle = "Drivlet is ready for your computer";
inline constexpr const char* kExitQuestion = "Are you sure you want to exit Drivlet?";

struct TrayEnvironment {
    std::filesystem::path programDataRoot;
    std::string computerId;
    const IClock& clock;
    // The drive paths of the mounted volumes, in mount-table order.
    std::function<std::vector<std::string>()> mountedDrives;
};

class TrayController final : public QObject {
    Q_OBJECT
public:
    // Loads the settings, creates the deleted-files folder, opens (or creates) the program
    // database and the "Tmp" folder; an error there reaches the caller. The icon stays hidden
    // until MakeVisible; the timers run from here on.
    TrayController(TrayEnvironment environment, TrayServices services, std::unique_ptr<ITrayIcon> icon);
    ~TrayController() override;

    // Drive arrivals of the feed, handed to this thread by a queued call. False when the feed
    // refused (the rest works without it).
    bool StartDriveNotification(IShellNotifySource& feed);

    // The start's last step: the icon shown and the start-up schedules run.
    void MakeVisible();

    // A drive mounted at `drivePath` (with its trailing "/").
    void DriveArrived(const std::string& drivePath);
    void RunSchedules(SchedulePass pass);
    // The deleted-files alert, also on demand; the measured total in bytes.
    void MeasureDeletedSize();
    int64_t DeletedSize() const { return deletedSize_; }

    // The platform asks whether it may shut down or log off; refused while jobs run, with the
    // balloon, and carried out once they have ended.
    [[nodiscard]] ShutdownAnswer ShutdownQuery(bool isLogOff);
    // Jobs' finish messages stay unshown from the first shut-down query on.
    bool FinishMessagesSuppressed() const { return shutdown_.FinishMessagesSuppressed(); }
    // The shut-down must be held back (jobs run, or shut-down schedules are still to run).
    bool ShutdownBlocked() const { return blocked_; }

    // A second start asked for the program's windows.
    void RaiseWindows();

    // The menu's Exit: asked first, then as ExitNow.
    void Exit();
    // Ends the program without asking: the running jobs are cancelled and it quits once they have
    // ended (a termination signal).
    void ExitNow();

    TProgramData& Settings() { return settings_; }
    ProgramDatabase& Database() { return *database_; }
    QMenu& Menu() { return menu_; }
    const std::vector<QIcon>& Images() const { return images_; }
    int RunningJobs() const { return shutdown_.RunningJobs(); }
    bool Exiting() const { return exiting_; }
    bool Animating() const { return animation_.isActive(); }

public slots:
    // The number of jobs whose status panels are active: the icon animates while it is above 0.
    void SetRunningJobs(int count);

signals:
    void shutdownBlockChanged(bool block);

private:
    void BuildMenu();
    void ComesLater(const QString& command);
    void OpenDrive();
    void Help();
    void Quit();
    void NextImage();
    void AskFileNotFound(const FileNotFoundQuestion& question, std::function<void(bool)> answer);
    void ReportError(const std::string& message);
    void UpdateShutdownBlock();
    bool CanLaunch() const;

    TrayEnvironment environment_;
    TrayServices services_;
    std::unique_ptr<ITrayIcon> icon_;
    TProgramData settings_;
    std::optional<ProgramDatabase> database_;
    std::unique_ptr<ScheduleRunner> runner_;
    ShutdownCoordinator shutdown_;

    std::vector<QIcon> images_;
    QMenu menu_;
    QTimer animation_;
    QTimer alertTimer_;
    QTimer scheduleTimer_;
    int frame_ = 0;
    int64_t deletedSize_ = 0;
    bool exiting_ = false;
    bool blocked_ = false;
    bool shutdownSchedulesExist_ = false;
    bool alertFailed_ = false;

    uint64_t driveRegistration_ = 0;
    IShellNotifySource* driveFeed_ = nullptr;

    QPointer<QMessageBox> exitBox_;
    QPointer<QMessageBox> errorBox_;
    std::vector<QPointer<QMessageBox>> questions_;
};

} // namespace drivlet::gui

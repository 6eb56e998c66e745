#pragma once
// The tray program's face of the resident session: the icon with its menu, balloons and
// animation, the one-second tick, drive arrivals from the platform's feed, the Exit command, and
// the boxes the session's questions and notices are shown in. The rules (schedules, arrivals,
// running jobs, shut-down) are the session's. Everything runs on the GUI thread; questions are
// boxes answered by callback.
#include "core/app/UpdateCheck.h"
#include "core/resident/ResidentSession.h"
#include "gui/tray/ITrayIcon.h"
#include "gui/tray/TrayCommand.h"
#include "gui/tray/TrayServices.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMessageBox;
namespace drivlet::gui {
class AboutWindow;
class TSliderForm;
class SchedulesWindow;
class UpdateCheckClient;
class OptionsWindow;
} // namespace drivlet::gui

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
    // The user's configuration folder (its "autostart" folder holds the launch at log-in) and
    // this program's full path; the Options window switches that launch.
    std::filesystem::path configHome = {};
    std::string programPath = {};
    // Where the update check asks.
    std::string updateServer = std::string(kUpdateServerAddress);
};

class TrayController final : public QObject, private IResidentFrontEnd {
    Q_OBJECT
public:
    // Loads the settings, creates the deleted-files folder, opens (or creates) the program
    // database and the "Tmp" folder; an error there reaches the caller. The icon stays hidden
    // until MakeVisible; the tick runs from here on.
    TrayController(TrayEnvironment environment, TrayServices services, std::unique_ptr<ITrayIcon> icon);
    ~TrayController() override;

    // Drive arrivals of the feed, handed to this thread by a queued call. False when the feed
    // refused (the rest works without it).
    bool StartDriveNotification(IShellNotifySource& feed);

    // The start's completion, in this order: the Options window made, the icon shown, the start-up
    // schedules run, `startShown` called (it closes the splash), the icon drawn afresh, the
    // update check (when the settings ask for it) and the balloon saying the program is ready.
    void MakeVisible(const std::function<void()>& startShown = {});

    // A drive mounted at `drivePath` (with its trailing "/").
    void DriveArrived(const std::string& drivePath) { session_->DriveArrived(drivePath); }
    void RunSchedules(SchedulePass pass) { session_->RunSchedules(pass); }
    // The deleted-files alert, also on demand; the measured total in bytes.
    void MeasureDeletedSize() { session_->MeasureDeletedSize(); }
    int64_t DeletedSize() const { return session_->DeletedSize(); }

    // The platform asks whether it may shut down or log off; refused while jobs run, with the
    // balloon, and carried out once they have ended.
    [[nodiscard]] ShutdownAnswer ShutdownQuery(bool isLogOff) { return session_->ShutdownQuery(isLogOff); }
    // Jobs' finish messages stay unshown from the first shut-down query on.
    bool FinishMessagesSuppressed() const { return session_->FinishMessagesSuppressed(); }
    // The shut-down must be held back (jobs run, or shut-down schedules are still to run).
    bool ShutdownBlocked() const { return session_->ShutdownBlocked(); }

    // A command of a drive window's menu, done as the tray menu's.
    void Command(TrayCommand command);
    // A second start asked for the program's windows.
    void RaiseWindows();

    // The menu's Exit: asked first, then as ExitNow.
    void Exit();
    // Ends the program without asking: the running jobs are cancelled and it quits once they have
    // ended (a termination signal).
    void ExitNow();

    ResidentSession& Session() { return *session_; }
    // Where the drive windows count their runs.
    RunRegistry& Runs() { return session_->Runs(); }
    TProgramData& Settings() { return session_->Settings(); }
    ProgramDatabase& Database() { return session_->Database(); }
    QMenu& Menu() { return menu_; }
    // The Options window, created at the end of the start (or when first asked for), shown and
    // brought to the front.
    OptionsWindow& ShowOptions();
    OptionsWindow* Options() const { return options_.get(); }
    // Asks the update server for the latest version; the menu's check tells every outcome, the
    // start-up check only a newer version. Nothing waits for the reply.
    void CheckForUpdates(bool withMessages);
    bool CheckingForUpdates() const;
    // The notification slider with the running jobs; made with the controller, hidden. A click on
    // the icon shows it when the settings' mini window is on.
    TSliderForm& Slider() { return *slider_; }
    // The Schedules screen, made when first asked for, shown and brought to the front.
    SchedulesWindow& ShowSchedules();
    // The About window, made when first asked for.
    AboutWindow& ShowAbout();
    const std::vector<QIcon>& Images() const { return images_; }
    int RunningJobs() const { return session_->RunningJobs(); }
    bool Exiting() const { return session_->Exiting(); }
    bool Animating() const { return animation_.isActive(); }

signals:
    void shutdownBlockChanged(bool block);
    // The Schedules screen changed a row.
    void schedulesChanged();

private:
    void BuildMenu();
    OptionsWindow& CreateOptions();
    void ComesLater(const QString& command);
    void OpenDrive();
    void Help();
    void NextImage();
    void ReportError(const std::string& message);

    // What the session asks of the tray.
    void Launch(const std::string& jobFile) override;
    bool CanLaunch() const override { return static_cast<bool>(services_.launchJob); }
    void ShowDrive(const std::string& drivePath) override;
    void AskFileNotFound(const FileNotFoundQuestion& question, std::function<void(bool ok)> answer) override;
    void Notify(const ResidentNotice& notice) override;
    void BlockShutdown(bool block) override { emit shutdownBlockChanged(block); }
    bool EndSession(bool logOff) override;
    void RunsChanged(int count) override;
    void Quit() override;

    TrayEnvironment environment_;
    TrayServices services_;
    std::unique_ptr<ITrayIcon> icon_;
    std::vector<QIcon> images_;
    std::unique_ptr<ResidentSession> session_;

    QMenu menu_;
    QTimer animation_;
    QTimer tick_;
    int frame_ = 0;

    uint64_t driveRegistration_ = 0;
    IShellNotifySource* driveFeed_ = nullptr;

    std::unique_ptr<OptionsWindow> options_;
    std::unique_ptr<AboutWindow> about_;
    std::unique_ptr<TSliderForm> slider_;
    std::unique_ptr<SchedulesWindow> schedules_;
    std::unique_ptr<UpdateCheckClient> update_;
    QPointer<QMessageBox> updateBox_;
    // What the balloon says: "Drivlet", or the deleted-files warning once it has been given.
    QString balloonText_ = QStringLiteral("Drivlet");
    BalloonIcon balloonIcon_ = BalloonIcon::Information;
    QPointer<QMessageBox> exitBox_;
    QPointer<QMessageBox> errorBox_;
    std::vector<QPointer<QMessageBox>> questions_;
};

} // namespace drivlet::gui

#include "gui/tray/TrayController.h"

#include "core/app/UpdateCheck.h"
#include "core/drives/DriveRegistry.h"
#include "core/schedule/run/DeletedSizeAlert.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/tray/TrayIconImages.h"
#include "platform/ShellNotifySource.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include <algorithm>

namespace drivlet::gui {
namespace {

constexpr int kAnimationIntervalMs = 200;
constexpr int kAlertIntervalMs = 6000;
constexpr int kScheduleIntervalMs = 1000;

// Hands arrivals from the feed's thread to the controller's: a queued call, dropped by Qt when
// the controller is gone before it runs.
class DriveArrivalSink final : public IShellNotifySink {
public:
    explicit DriveArrivalSink(TrayController* controller) : controller_(controller) {}
    void Deliver(const ShellNotification& n) override {
        if (!(n.event & (shcne::DriveAdd | shcne::MediaInserted)) || !n.itemA) return;
        QMetaObject::invokeMethod(
            controller_, [c = controller_, path = *n.itemA] { c->DriveArrived(path); }, Qt::QueuedConnection);
    }

private:
    TrayController* controller_;
};

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

TrayController::TrayController(TrayEnvironment environment, TrayServices services,
                               std::unique_ptr<ITrayIcon> icon)
    : environment_(std::move(environment)), services_(std::move(services)), icon_(std::move(icon)),
      settings_(environment_.programDataRoot),
      shutdown_({[this] { RunSchedules(SchedulePass::Shutdown); }, [this] { return runner_->Busy(); },
                 [this](bool logOff) {
                     return services_.completePendingShutdown && services_.completePendingShutdown(logOff);
                 }}),
      images_(DrawTrayIconImages()) {
    settings_.LoadCompressed(TProgramData::SettingsFile(environment_.programDataRoot));
    std::filesystem::create_directories(settings_.DeletedFolder);
    database_.emplace(ProgramDatabase::PathFor(environment_.programDataRoot));
    std::filesystem::create_directories(environment_.programDataRoot / "Tmp");

    ScheduleRunnerServices runnerServices{
        *database_,
        environment_.clock,
        IsFile,
        environment_.mountedDrives,
        [this](const std::string& file) {
            if (!exiting_ && services_.launchJob) services_.launchJob(file);
        },
        [this](const FileNotFoundQuestion& question, std::function<void(bool)> answer) {
            AskFileNotFound(question, std::move(answer));
        },
        [this](const std::string& message) { ReportError(message); }};
    runner_ = std::make_unique<ScheduleRunner>(std::move(runnerServices), settings_.ScheduleRunMode);
    shutdownSchedulesExist_ = !database_->ActiveSchedules(kRunAtShutdown).empty();
    runner_->OnIdle = [this] {
        shutdown_.SchedulesIdle();
        UpdateShutdownBlock();
    };

    icon_->SetToolTip(QStringLiteral("Drivlet"));
    icon_->SetIcon(images_.front());
    icon_->SetDoubleClickHandler([this] { OpenDrive(); });
    BuildMenu();
    icon_->SetMenu(&menu_);

    animation_.setInterval(kAnimationIntervalMs);
    connect(&animation_, &QTimer::timeout, this, &TrayController::NextImage);
    alertTimer_.setInterval(kAlertIntervalMs);
    connect(&alertTimer_, &QTimer::timeout, this, &TrayController::MeasureDeletedSize);
    scheduleTimer_.setInterval(kScheduleIntervalMs);
    connect(&scheduleTimer_, &QTimer::timeout, this, [this] {
        if (!CanLaunch()) return;
        runner_->SetScheduleRunMode(settings_.ScheduleRunMode);
        runner_->Tick();
    });
    alertTimer_.start();
    scheduleTimer_.start();
    UpdateShutdownBlock();
}

TrayController::~TrayController() {
    animation_.stop();
    alertTimer_.stop();
    scheduleTimer_.stop();
    if (driveFeed_ && driveRegistration_) driveFeed_->Deregister(driveRegistration_);
    // Boxes still open would answer into a controller that is gone.
    for (auto& box : questions_)
        delete box.data();
    delete exitBox_.data();
    delete errorBox_.data();
}

bool TrayController::StartDriveNotification(IShellNotifySource& feed) {
    if (driveFeed_ && driveRegistration_) driveFeed_->Deregister(driveRegistration_);
    driveFeed_ = &feed;
    driveRegistration_ =
        feed.Register({kShellNotifySources, shcne::DriveAdd | shcne::MediaInserted, 1024, {}},
                      std::make_shared<DriveArrivalSink>(this));
    return driveRegistration_ != 0;
}

void TrayController::MakeVisible() {
    icon_->SetVisible(true);
    RunSchedules(SchedulePass::Startup);
}

void TrayController::BuildMenu() {
    // Names the popup's window for the desktop (and for anything looking for it).
    menu_.setWindowTitle(QStringLiteral("Drivlet menu"));
    QAction* open = menu_.addAction(QStringLiteral("Open Drive"), this, &TrayController::OpenDrive);
    menu_.setDefaultAction(open);
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Options"), this, [this] { ComesLater(QStringLiteral("Options")); });
    menu_.addAction(QStringLiteral("Schedules"), this, [this] { ComesLater(QStringLiteral("Schedules")); });
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Update"), this, [this] { ComesLater(QStringLiteral("Update")); });
    QAction* help = menu_.addAction(QStringLiteral("Help"), this, &TrayController::Help);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* about =
        menu_.addAction(QStringLiteral("About"), this, [this] { ComesLater(QStringLiteral("About")); });
    about->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    menu_.addSeparator();
    QAction* exit = menu_.addAction(QStringLiteral("Exit"), this, &TrayController::Exit);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    exit->setToolTip(QStringLiteral("Exit Program"));
    exit->setStatusTip(QStringLiteral("Exit Program"));
    // Menus of the notification area are shown away from any window, so show what they bind.
    for (QAction* action : menu_.actions())
        action->setShortcutVisibleInContextMenu(true);
}

void TrayController::ComesLater(const QString& command) {
    OpenMessageBox(nullptr, (command + " comes in a later version of Drivlet.").toStdString(),
                   command.toStdString(), MessageKind::Information, BoxButtons::Ok, {});
}

void TrayController::OpenDrive() {
    if (exiting_) return;
    if (services_.openDrive)
        services_.openDrive();
    else
        ComesLater(QStringLiteral("Open Drive"));
}

void TrayController::Help() {
    QDesktopServices::openUrl(
        QUrl(QString::fromUtf8(kUpdateServerAddress.data(), kUpdateServerAddress.size()) +
             QStringLiteral("/support.php")));
}

void TrayController::Exit() {
    if (exiting_) return;
    // An answered box is only hidden until its deletion comes round.
    if (exitBox_ && exitBox_->isVisible()) {
        exitBox_->raise();
        exitBox_->activateWindow();
        return;
    }
    QPointer<TrayController> self(this);
    exitBox_ = OpenMessageBox(nullptr, kExitQuestion, "Drivlet", MessageKind::Confirmation, BoxButtons::YesNo,
                              [self](int reply) {
                                  if (self && reply == dlg::Yes) self->ExitNow();
                              });
}

void TrayController::ExitNow() {
    if (exiting_) return;
    exiting_ = true;
    delete exitBox_.data();
    alertTimer_.stop();
    scheduleTimer_.stop();
    icon_->SetVisible(false);
    UpdateShutdownBlock();
    const int running = services_.runningJobs ? services_.runningJobs() : RunningJobs();
    if (running <= 0) {
        Quit();
        return;
    }
    // The program ends once the cancelled jobs have ended (SetRunningJobs(0)); their workers are
    // released by the cancel, and the event loop keeps running meanwhile.
    if (services_.cancelAll) services_.cancelAll();
}

void TrayController::Quit() {
    if (services_.quit)
        services_.quit();
    else
        QCoreApplication::quit();
}

void TrayController::SetRunningJobs(int count) {
    count = std::max(count, 0);
    shutdown_.SetRunningJobs(count);
    if (count > 0) {
        if (!animation_.isActive()) animation_.start();
    } else {
        animation_.stop();
        frame_ = 0;
        icon_->SetIcon(images_.front());
    }
    UpdateShutdownBlock();
    if (exiting_ && count == 0) Quit();
}

void TrayController::NextImage() {
    frame_ = (frame_ + 1) % static_cast<int>(images_.size());
    icon_->SetIcon(images_[frame_]);
}

void TrayController::DriveArrived(const std::string& drivePath) {
    if (exiting_) return;
    if (!IsDriveKnown(drivePath, environment_.computerId)) return;
    if (settings_.DriveAutoRun && services_.showDrive) services_.showDrive(drivePath);
    if (CanLaunch()) runner_->RunDriveInsertion(drivePath);
}

bool TrayController::CanLaunch() const {
    // A pass hands its rows on and moves them to their next time: with no one to start the jobs,
    // the rows are left as they are rather than spent.
    return static_cast<bool>(services_.launchJob);
}

void TrayController::RunSchedules(SchedulePass pass) {
    if (!CanLaunch()) return;
    runner_->SetScheduleRunMode(settings_.ScheduleRunMode);
    runner_->RunSchedules(pass);
    UpdateShutdownBlock();
}

void TrayController::AskFileNotFound(const FileNotFoundQuestion& question, std::function<void(bool)> answer) {
    QPointer<TrayController> self(this);
    auto box = OpenMessageBox(nullptr, question.text, question.title, MessageKind::Confirmation,
                              BoxButtons::OkCancel, [self, answer = std::move(answer)](int reply) {
                                  if (!self) return;
                                  answer(reply == dlg::Ok);
                                  self->UpdateShutdownBlock();
                              });
    questions_.erase(std::remove(questions_.begin(), questions_.end(), nullptr), questions_.end());
    questions_.push_back(box);
}

void TrayController::ReportError(const std::string& message) {
    // A database that keeps failing would otherwise open a box every second.
    if (errorBox_ && errorBox_->isVisible()) return;
    errorBox_ = OpenMessageBox(nullptr, message, "Drivlet", MessageKind::Error, BoxButtons::Ok, {});
}

void TrayController::MeasureDeletedSize() {
    try {
        const DeletedSizeAlert alert = drivlet::MeasureDeletedSize(*database_, settings_.MaxDeletedSize);
        alertFailed_ = false;
        deletedSize_ = alert.deletedSize;
        if (alert.overLimit)
            icon_->ShowBalloon(kBalloonTitle, QString::fromStdString(alert.balloonText),
                               BalloonIcon::Warning);
        shutdownSchedulesExist_ = !database_->ActiveSchedules(kRunAtShutdown).empty();
        UpdateShutdownBlock();
    } catch (const std::exception& e) {
        // Said once, not every six seconds, until a measurement works again.
        if (!alertFailed_) ReportError(e.what());
        alertFailed_ = true;
    }
}

ShutdownAnswer TrayController::ShutdownQuery(bool isLogOff) {
    runner_->SetScheduleRunMode(settings_.ScheduleRunMode);
    ShutdownAnswer answer = shutdown_.ShutdownQuery(isLogOff);
    if (!answer.allow)
        icon_->ShowBalloon(kBalloonTitle, QString::fromStdString(answer.balloonText),
                           BalloonIcon::Information);
    UpdateShutdownBlock();
    return answer;
}

void TrayController::RaiseWindows() {
    if (services_.raiseAll) services_.raiseAll();
}

void TrayController::UpdateShutdownBlock() {
    // Held while jobs run or may still start, and while shut-down schedules wait for the query
    // that runs them; released before a pending power-off is carried out.
    const bool block = !exiting_ && (RunningJobs() > 0 || runner_->Busy() ||
                                     (!shutdown_.ShutdownJobsDone() && shutdownSchedulesExist_));
    if (block == blocked_) return;
    blocked_ = block;
    emit shutdownBlockChanged(block);
}

} // namespace drivlet::gui

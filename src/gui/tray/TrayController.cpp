#include "gui/tray/TrayController.h"

#include "core/app/UpdateCheck.h"
#include "core/drives/DriveRegistry.h"
#include "core/schedule/run/DeletedSizeAlert.h"
#include "gui/about/AboutWindow.h"
#include "gui/app/BringForward.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/options/OptionsWindow.h"
#include "gui/schedule/SchedulesWindow.h"
#include "gui/tray/TSliderForm.h"
#include "gui/tray/TrayIconImages.h"
#include "gui/update/UpdateCheckClient.h"
#include "platform/ShellNotifySource.h"
#include "platform/linux/LinuxFileSystem.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include <algorithm>

namespace drivlet::gui {
namespace {

constexpr int kAnimationIntervalMs = 200;
constexpr int kTickIntervalMs = 1000;

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

} // namespace

TrayController::TrayController(TrayEnvironment environment, TrayServices services,
                               std::unique_ptr<ITrayIcon> icon)
    : environment_(std::move(environment)), services_(std::move(services)), icon_(std::move(icon)),
      images_(DrawTrayIconImages()) {
    session_ = std::make_unique<ResidentSession>(
        ResidentEnvironment{environment_.programDataRoot, environment_.computerId, environment_.clock,
                            environment_.mountedDrives, InstalledMessageDialogs()},
        static_cast<IResidentFrontEnd&>(*this));
    std::filesystem::create_directories(Settings().DeletedFolder);
    std::filesystem::create_directories(environment_.programDataRoot / "Tmp");

    icon_->SetToolTip(QStringLiteral("Drivlet"));
    icon_->SetIcon(images_.front());
    icon_->SetDoubleClickHandler([this] { OpenDrive(); });
    slider_ = std::make_unique<TSliderForm>();
    icon_->SetClickHandler([this] {
        if (Settings().MiniWindows && !Exiting()) slider_->ShowSlider();
    });
    BuildMenu();
    icon_->SetMenu(&menu_);

    animation_.setInterval(kAnimationIntervalMs);
    connect(&animation_, &QTimer::timeout, this, &TrayController::NextImage);
    tick_.setInterval(kTickIntervalMs);
    connect(&tick_, &QTimer::timeout, this, [this] { session_->Tick(std::chrono::steady_clock::now()); });
    tick_.start();
}

TrayController::~TrayController() {
    animation_.stop();
    tick_.stop();
    if (driveFeed_ && driveRegistration_) driveFeed_->Deregister(driveRegistration_);
    // Boxes still open would answer into a controller that is gone.
    for (auto& box : questions_)
        delete box.data();
    delete exitBox_.data();
    delete errorBox_.data();
    delete updateBox_.data();
}

bool TrayController::StartDriveNotification(IShellNotifySource& feed) {
    if (driveFeed_ && driveRegistration_) driveFeed_->Deregister(driveRegistration_);
    driveFeed_ = &feed;
    driveRegistration_ =
        feed.Register({kShellNotifySources, shcne::DriveAdd | shcne::MediaInserted, 1024, {}},
                      std::make_shared<DriveArrivalSink>(this));
    return driveRegistration_ != 0;
}

void TrayController::MakeVisible(const std::function<void()>& startShown) {
    (void)CreateOptions();
    icon_->SetVisible(true);
    session_->Start();
    if (startShown) startShown();
    icon_->SetVisible(true);
    if (!Animating() && images_.size() > 1) {
        icon_->SetIcon(images_[1]);
        icon_->SetIcon(images_[0]);
    }
    if (Settings().CheckForUpdates) CheckForUpdates(false);
    icon_->ShowBalloon(kBalloonTitle, balloonText_, balloonIcon_);
}

void TrayController::BuildMenu() {
    // Names the popup's window for the desktop (and for anything looking for it).
    menu_.setWindowTitle(QStringLiteral("Drivlet menu"));
    QAction* open = menu_.addAction(QStringLiteral("Open Drive"), this, &TrayController::OpenDrive);
    menu_.setDefaultAction(open);
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Options"), this, [this] { (void)ShowOptions(); });
    menu_.addAction(QStringLiteral("Schedules"), this, [this] { (void)ShowSchedules(); });
    menu_.addSeparator();
    menu_.addAction(QStringLiteral("Update"), this, [this] { CheckForUpdates(true); });
    QAction* help = menu_.addAction(QStringLiteral("Help"), this, &TrayController::Help);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    QAction* about = menu_.addAction(QStringLiteral("About"), this, [this] { (void)ShowAbout(); });
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

OptionsWindow& TrayController::CreateOptions() {
    if (!options_) {
        options_ = std::make_unique<OptionsWindow>(
            OptionsServices{Settings(), environment_.programDataRoot, Database(), LinuxFileSystem::Instance(),
                            AutostartEntry(environment_.configHome, environment_.programPath),
                            [this] { return DeletedSize(); }, [this] { MeasureDeletedSize(); }});
        if (!images_.empty()) options_->setWindowIcon(images_.front());
    }
    return *options_;
}

OptionsWindow& TrayController::ShowOptions() {
    OptionsWindow& window = CreateOptions();
    BringForward(window);
    return window;
}

void TrayController::CheckForUpdates(bool withMessages) {
    if (!update_) update_ = std::make_unique<UpdateCheckClient>(environment_.updateServer);
    update_->Check([this, withMessages](std::optional<std::string> body) {
        const UpdateMessage message = UpdateMessageFor(body, withMessages);
        if (message.form == UpdateMessage::Form::None || Exiting()) return;
        delete updateBox_.data();
        const bool question = message.form == UpdateMessage::Form::Question;
        updateBox_ = OpenMessageBox(
            nullptr, message.text, std::string(kCheckForUpdatesTitle), message.kind,
            question ? BoxButtons::YesNo : BoxButtons::Ok, [this, question](int reply) {
                if (question && reply == dlg::Yes)
                    QDesktopServices::openUrl(
                        QUrl(QString::fromStdString(UpgradePageAddress(environment_.updateServer))));
            });
    });
}

bool TrayController::CheckingForUpdates() const {
    return update_ && update_->Checking();
}

SchedulesWindow& TrayController::ShowSchedules() {
    if (!schedules_) {
        schedules_ = std::make_unique<SchedulesWindow>(Database(), environment_.clock);
        if (!images_.empty()) schedules_->setWindowIcon(images_.front());
        connect(schedules_.get(), &SchedulesWindow::schedulesChanged, this,
                &TrayController::schedulesChanged);
    }
    BringForward(*schedules_);
    return *schedules_;
}

AboutWindow& TrayController::ShowAbout() {
    if (!about_) about_ = std::make_unique<AboutWindow>(images_.empty() ? QIcon() : images_.front());
    BringForward(*about_);
    return *about_;
}

void TrayController::ComesLater(const QString& command) {
    OpenMessageBox(nullptr, (command + " comes in a later version of Drivlet.").toStdString(),
                   command.toStdString(), MessageKind::Information, BoxButtons::Ok, {});
}

void TrayController::OpenDrive() {
    if (Exiting()) return;
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
    if (Exiting()) return;
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
    if (Exiting()) return;
    delete exitBox_.data();
    tick_.stop();
    icon_->SetVisible(false);
    session_->Exit();
}

void TrayController::Quit() {
    if (services_.quit)
        services_.quit();
    else
        QCoreApplication::quit();
}

void TrayController::RunsChanged(int count) {
    if (count > 0) {
        if (!animation_.isActive()) animation_.start();
    } else {
        animation_.stop();
        frame_ = 0;
        icon_->SetIcon(images_.front());
    }
}

void TrayController::NextImage() {
    frame_ = (frame_ + 1) % static_cast<int>(images_.size());
    icon_->SetIcon(images_[frame_]);
}

void TrayController::Launch(const std::string& jobFile) {
    if (services_.launchJob) services_.launchJob(jobFile);
}

void TrayController::ShowDrive(const std::string& drivePath) {
    if (services_.showDrive) services_.showDrive(drivePath);
}

bool TrayController::EndSession(bool logOff) {
    return services_.completePendingShutdown && services_.completePendingShutdown(logOff);
}

void TrayController::AskFileNotFound(const FileNotFoundQuestion& question, std::function<void(bool)> answer) {
    QPointer<TrayController> self(this);
    auto box = OpenMessageBox(nullptr, question.text, question.title, MessageKind::Confirmation,
                              BoxButtons::OkCancel, [self, answer = std::move(answer)](int reply) {
                                  if (self) answer(reply == dlg::Ok);
                              });
    questions_.erase(std::remove(questions_.begin(), questions_.end(), nullptr), questions_.end());
    questions_.push_back(box);
}

void TrayController::Notify(const ResidentNotice& notice) {
    switch (notice.event) {
    case ResidentEvent::DeletedOverLimit:
        balloonText_ = QString::fromStdString(notice.text);
        balloonIcon_ = BalloonIcon::Warning;
        icon_->ShowBalloon(kBalloonTitle, balloonText_, balloonIcon_);
        break;
    case ResidentEvent::ShutdownRefused:
        icon_->ShowBalloon(kBalloonTitle, QString::fromStdString(notice.text), BalloonIcon::Information);
        break;
    case ResidentEvent::DeletedSizeFailed:
        // Said once, not at every look, until a measurement works again.
        if (notice.first) ReportError(notice.text);
        break;
    case ResidentEvent::ScheduleFailed:
        ReportError(notice.text);
        break;
    case ResidentEvent::DriveArrived:
    case ResidentEvent::DriveNotKnown:
        break;
    }
}

void TrayController::ReportError(const std::string& message) {
    // A database that keeps failing would otherwise open a box every second.
    if (errorBox_ && errorBox_->isVisible()) return;
    errorBox_ = OpenMessageBox(nullptr, message, "Drivlet", MessageKind::Error, BoxButtons::Ok, {});
}

void TrayController::Command(TrayCommand command) {
    switch (command) {
    case TrayCommand::OpenDrive:
        OpenDrive();
        break;
    case TrayCommand::ExitProgram:
        Exit();
        break;
    case TrayCommand::Options:
        (void)ShowOptions();
        break;
    case TrayCommand::Help:
        Help();
        break;
    case TrayCommand::Schedules:
        (void)ShowSchedules();
        break;
    case TrayCommand::Upgrade:
        CheckForUpdates(true);
        break;
    case TrayCommand::About:
        (void)ShowAbout();
        break;
    }
}

void TrayController::RaiseWindows() {
    if (services_.raiseAll) services_.raiseAll();
    for (QWidget* window : {static_cast<QWidget*>(options_.get()), static_cast<QWidget*>(about_.get()),
                            static_cast<QWidget*>(schedules_.get())})
        if (window && window->isVisible()) BringForward(*window);
}

} // namespace drivlet::gui

#include "gui/app/TrayApplication.h"

#include "core/app/AutostartEntry.h"
#include "core/app/ProgramDataRoot.h"
#include "core/app/ProgramFolders.h"
#include "core/drives/VolumeInfo.h"
#include "gui/app/BringForward.h"
#include "gui/app/TSplash.h"
#include "gui/app/TerminationSignals.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/drives/TOpenDrive.h"
#include "gui/launch/DriveWindows.h"
#include "gui/schedule/SchedulesWindow.h"
#include "gui/tray/SystemTrayIcon.h"
#include "gui/tray/TrayController.h"
#include "platform/ApplicationInstance.h"
#include "platform/LocalTime.h"
#include "platform/ShellNotifySource.h"
#include "platform/VolumeSystem.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/LinuxVolumeSystem.h"
#include "platform/linux/LogindClient.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>

#include <iostream>

namespace drivlet::gui {
namespace {

// Shown when the program cannot come up; the program ends once it is closed.
int FailToStart(QApplication& app, const std::string& what) {
    std::cerr << "drivlet: " << what << "\n";
    OpenMessageBox(nullptr, what, "Drivlet cannot start", MessageKind::Error, BoxButtons::Ok,
                   [](int) { QCoreApplication::exit(1); });
    return app.exec();
}

} // namespace

int RunTrayProgram(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Drivlet"));
    // No display name: the platform would append it to every window's title.
    QApplication::setQuitOnLastWindowClosed(false);
    // "-autorun" (the start with the session) is accepted and changes nothing; so is anything else.

    static QtMessageDialogs dialogs;
    InstallMessageDialogs(&dialogs);

    // Declared before the guard so that the guard, and with it the thread that hears a second
    // start, ends first.
    std::unique_ptr<IShellNotifySource> driveFeed;
    std::unique_ptr<TrayController> controller;
    std::unique_ptr<LogindClient> logind;
    // Declared after the controller: the windows (and the runs on them) go first.
    std::unique_ptr<DriveWindows> windows;
    // The buses of the drives the Open Drive dialog lists; DRIVLET_SYS_ROOT stands a tree of
    // its own in for /sys there (the desktop test shows its drives as USB sticks).
    std::unique_ptr<IVolumeSystem> driveBuses;
    std::unique_ptr<TOpenDrive> openDrive;

    TApplicationInstance instance;
    try {
        // A second copy has asked the first to come to the front; it creates nothing.
        if (instance.IsSecondInstance()) return 0;
    } catch (const std::exception& e) {
        return FailToStart(app, std::string("the single-instance guard: ") + e.what());
    }

    std::filesystem::path root;
    std::unique_ptr<IVolumeSystem> volumes = MakeVolumeSystem();
    try {
        root = ProgramDataRoot(ProcessEnvironment());
        LinuxFileSystemOptions files;
        files.temporaryJournal = root / "Temporaries";
        LinuxFileSystem::SetInstanceOptions(std::move(files));
        CreateProgramFolders(root, LinuxFileSystem::Instance());
        std::filesystem::current_path(root);

        TrayServices services;
        services.showDrive = [&windows](const std::string& drive) {
            if (windows) (void)windows->ShowDrive(drive);
        };
        // One Open Drive dialog, made when first asked for; the drive chosen opens its window.
        services.openDrive = [&openDrive, &windows, &volumes, &driveBuses] {
            if (!openDrive) {
                VolumePaths paths;
                if (auto sysRoot = ProcessEnvironment()("DRIVLET_SYS_ROOT")) paths.sysRoot = *sysRoot;
                driveBuses = std::make_unique<LinuxVolumeSystem>(paths);
                openDrive = std::make_unique<TOpenDrive>(
                    OpenDriveServices{*driveBuses, LinuxFileSystem::Instance(), ComputerIdentity(*volumes)});
                openDrive->SetFilter(QStringLiteral("USB"));
                QObject::connect(openDrive.get(), &TOpenDrive::driveChosen, openDrive.get(),
                                 [&windows](const QString& path) {
                                     if (windows) (void)windows->ShowDrive(path.toStdString());
                                 });
            } else {
                openDrive->RefreshDriveList();
            }
            openDrive->open();
            BringForward(*openDrive);
        };
        // Only schedules the user made launch jobs this way.
        services.launchJob = [&windows](const std::string& file) {
            if (windows) windows->LaunchJob(file, /*scheduled=*/true);
        };
        services.raiseAll = [&windows] {
            if (windows) windows->RaiseAll();
        };
        services.completePendingShutdown = [&logind](bool logOff) {
            return logind && logind->EndSession(logOff);
        };
        TrayEnvironment environment{
            root,
            ComputerIdentity(*volumes),
            SystemClock::Instance(),
            [&volumes] {
                std::vector<std::string> drives;
                for (const MountedDrive& d : volumes->MountedDrives())
                    drives.push_back(d.drivePath);
                return drives;
            },
            ConfigHomeFolder(ProcessEnvironment()),
            QCoreApplication::applicationFilePath().toStdString(),
            ProcessEnvironment()("DRIVLET_UPDATE_SERVER").value_or(std::string(kUpdateServerAddress))};
        controller = std::make_unique<TrayController>(std::move(environment), std::move(services),
                                                      std::make_unique<SystemTrayIcon>());
        TrayController* owner = controller.get();
        // The windows run the jobs; the controller's session counts them for the shut-down rules.
        DriveWindowServices windowServices{LinuxFileSystem::Instance(),
                                           SystemClock::Instance(),
                                           ComputerIdentity(*volumes),
                                           root,
                                           {},
                                           [owner] { return owner->Settings().AutoCloseJobTab; },
                                           [owner](bool on) { owner->Settings().AutoCloseJobTab = on; },
                                           [owner] { return owner->FinishMessagesSuppressed(); },
                                           &owner->Database(),
                                           {},
                                           {},
                                           {},
                                           KnownReachOf(owner->Database(), SystemClock::Instance(),
                                                        ProcessEnvironment()("HOME").value_or(std::string())),
                                           &owner->Runs()};
        windows = std::make_unique<DriveWindows>(std::move(windowServices));
        windows->SetSlider(&owner->Slider());
    } catch (const std::exception& e) {
        return FailToStart(app, e.what());
    }

    // Drive arrival; without it the program still runs its other schedules.
    driveFeed = MakeShellNotifySource();
    if (!controller->StartDriveNotification(*driveFeed))
        std::cerr << "drivlet: drive arrivals cannot be watched here\n";

    TrayController* tray = controller.get();
    // The drive windows' menus are the tray's commands.
    QObject::connect(windows.get(), &DriveWindows::trayCommand, tray, &TrayController::Command);
    QObject::connect(windows.get(), &DriveWindows::scheduleRequested, tray,
                     [tray](const QString& jobFile) { tray->ShowSchedules().AddJob(jobFile.toStdString()); });
    QObject::connect(tray, &TrayController::schedulesChanged, windows.get(),
                     &DriveWindows::RefreshScheduleStates);
    instance.ListenForFrontRequests([tray] {
        QMetaObject::invokeMethod(
            tray, [tray] { tray->RaiseWindows(); }, Qt::QueuedConnection);
    });

    logind = std::make_unique<LogindClient>("", "", std::string(kThreadsRunningText));
    QObject::connect(tray, &TrayController::shutdownBlockChanged, tray,
                     [client = logind.get()](bool block) { client->SetBlock(block); });
    logind->SetBlock(tray->ShutdownBlocked());
    // The machine goes down whatever we answer; the shut-down schedules still get their start.
    logind->OnPrepareForShutdown([tray] {
        QMetaObject::invokeMethod(
            tray, [tray] { (void)tray->ShutdownQuery(false); }, Qt::QueuedConnection);
    });
    // The desktop session ending: refused while jobs run, and ended by force once they are done.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, tray, [tray](QSessionManager& manager) {
        if (tray->ShutdownQuery(true).allow) return;
        // The session manager takes a cancel only from a client it has let interact.
        if (manager.allowsInteraction()) {
            manager.cancel();
            manager.release();
        }
    });

    // Cancels the jobs and ends once they have stopped, as Exit does.
    TerminationSignals termination([tray](int) { tray->ExitNow(); });

    // The splash until the start is complete, two seconds on.
    auto splash = std::make_unique<TSplash>(tray->Images().empty() ? QIcon() : tray->Images().front());
    splash->ShowSplash();
    QTimer::singleShot(kIconDelayMs, tray,
                       [tray, &splash] { tray->MakeVisible([&splash] { splash.reset(); }); });
    const int code = app.exec();
    // Null while they go, so that nothing the controller calls meanwhile reaches them.
    windows.reset();
    return code;
}

} // namespace drivlet::gui

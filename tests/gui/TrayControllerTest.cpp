// The tray controller with a recording icon: its menu, the Exit question, the animation while jobs
// run, drive arrival from a mount table written by the test, the schedules it launches through its
// services, the deleted-files alert and the shut-down query.
#include "gui/tray/TrayController.h"
#include "core/app/MessageDialogs.h"
#include "core/drives/DriveRegistry.h"
#include "core/schedule/run/DeletedSizeAlert.h"
#include "core/schedule/run/ShutdownCoordinator.h"
#include "gui/about/AboutWindow.h"
#include "gui/app/TSplash.h"
#include "gui/app/TerminationSignals.h"
#include "gui/options/OptionsWindow.h"
#include "gui/schedule/SchedulesWindow.h"
#include "gui/tray/TSliderForm.h"
#include "gui/tray/TrayIconImages.h"
#include "platform/linux/LinuxFileSystem.h"
#include "platform/linux/MountTableNotifySource.h"
#include "support/GuiTestSupport.h"
#include "support/HeldRuns.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <csignal>
#include <memory>
#include <set>

using namespace drivlet;
using namespace drivlet::gui;
using drivlet::test::WaitUntil;

namespace {

constexpr const char* kComputer = "1A2B - 3C4D";

struct Balloon {
    QString title, text;
    BalloonIcon icon;
};

// What the controller did to its icon; shared with the test, which keeps it after the controller.
struct IconRecord {
    bool visible = false;
    QString toolTip;
    std::vector<qint64> icons; // cache keys, in the order set
    std::vector<Balloon> balloons;
    QMenu* menu = nullptr;
    std::function<void()> doubleClick;
    std::function<void()> click;
};

class RecordingTrayIcon final : public ITrayIcon {
public:
    explicit RecordingTrayIcon(std::shared_ptr<IconRecord> record) : r_(std::move(record)) {}
    void SetVisible(bool visible) override { r_->visible = visible; }
    void SetIcon(const QIcon& icon) override { r_->icons.push_back(icon.cacheKey()); }
    void SetToolTip(const QString& text) override { r_->toolTip = text; }
    void ShowBalloon(const QString& title, const QString& text, BalloonIcon icon) override {
        r_->balloons.push_back({title, text, icon});
    }
    void SetMenu(QMenu* menu) override { r_->menu = menu; }
    void SetDoubleClickHandler(std::function<void()> handler) override {
        r_->doubleClick = std::move(handler);
    }
    void SetClickHandler(std::function<void()> handler) override { r_->click = std::move(handler); }

private:
    std::shared_ptr<IconRecord> r_;
};

// What the controller asked of the drive windows and the program.
struct ServiceRecord {
    std::vector<std::string> shown, launched;
    int quits = 0;
    std::vector<bool> forcedEnds; // log-off?
};

std::string MountLine(int id, const std::string& mountPoint, const std::string& fsType) {
    return std::to_string(id) + " 1 8:" + std::to_string(id) + " / " + mountPoint +
           " rw,relatime shared:" + std::to_string(id) + " - " + fsType + " /dev/x" + std::to_string(id) +
           " rw\n";
}

// The visible message box, if one is open.
QMessageBox* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

} // namespace

class TrayControllerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::shared_ptr<IconRecord> icon_;
    std::shared_ptr<ServiceRecord> services_;
    std::unique_ptr<ManualClock> clock_;
    std::vector<std::string> mounted_;

    std::unique_ptr<TrayController> MakeController() {
        auto record = services_;
        TrayServices services;
        services.showDrive = [record](const std::string& d) { record->shown.push_back(d); };
        services.launchJob = [record](const std::string& f) { record->launched.push_back(f); };
        services.quit = [record] { ++record->quits; };
        services.completePendingShutdown = [record](bool logOff) {
            record->forcedEnds.push_back(logOff);
            return true;
        };
        TrayEnvironment environment{dir_->path() / "root", kComputer, *clock_, [this] { return mounted_; }};
        return std::make_unique<TrayController>(std::move(environment), std::move(services),
                                                std::make_unique<RecordingTrayIcon>(icon_));
    }

    // A drive folder that this computer has used, with a job file in its Config folder.
    std::string KnownDrive(const std::string& name, const std::string& jobFile = {}) {
        const std::filesystem::path drive = dir_->path() / name;
        std::filesystem::create_directories(drive);
        const std::string drivePath = drive.string() + "/";
        RegisterDrive(drivePath, kComputer, LinuxFileSystem::Instance(), SilentDialogs());
        if (!jobFile.empty()) test::WriteFile(drive / "Config" / jobFile, "job");
        return drivePath;
    }

    static IMessageDialogs& SilentDialogs() {
        static RecordingNoDialogs dialogs;
        return dialogs;
    }
    class RecordingNoDialogs final : public IMessageDialogs {
    public:
        int ShowNotice(const std::string&, const std::string&, MessageKind, const std::string&) override {
            return dlg::Ok;
        }
        int AskOkCancel(const std::string&, const std::string&, MessageKind, const std::string&) override {
            return dlg::Cancel;
        }
        int AskYesNo(const std::string&, const std::string&, bool, MessageKind, const std::string&) override {
            return dlg::No;
        }
    };

private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        icon_ = std::make_shared<IconRecord>();
        services_ = std::make_shared<ServiceRecord>();
        clock_ = std::make_unique<ManualClock>(40400.5); // 2010-08-08 12:00
        mounted_ = {"/"};
    }

    void cleanup() {
        while (QMessageBox* box = OpenBox())
            delete box;
    }

    void startsHiddenWithItsFoldersAndMenuInOrder() {
        auto tray = MakeController();
        const auto root = dir_->path() / "root";
        QVERIFY(std::filesystem::is_directory(root / "Tmp"));
        QVERIFY(std::filesystem::is_directory(root / "Deleted"));
        QVERIFY(std::filesystem::is_regular_file(root / "ConfigData" / "ProgramData.udb"));

        QVERIFY(!icon_->visible);
        QCOMPARE(icon_->toolTip, QStringLiteral("Drivlet"));
        QCOMPARE(icon_->icons.back(), tray->Images().front().cacheKey());
        QCOMPARE(int(tray->Images().size()), kTrayImageCount);

        QCOMPARE(icon_->menu, &tray->Menu());
        QStringList items, shortcuts;
        for (QAction* a : tray->Menu().actions()) {
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
            shortcuts << a->shortcut().toString();
        }
        QCOMPARE(items, (QStringList{"Open Drive", "-", "Options", "Schedules", "-", "Update", "Help",
                                     "About", "-", "Exit"}));
        QCOMPARE(shortcuts, (QStringList{"", "", "", "", "", "", "F1", "Ctrl+A", "", "Ctrl+X"}));
        QCOMPARE(tray->Menu().defaultAction()->text(), QStringLiteral("Open Drive"));
        QCOMPARE(tray->Menu().actions().back()->toolTip(), QStringLiteral("Exit Program"));

        // The start's completion closes the splash after the start-up schedules, checks for no
        // update (the setting is off) and says the program is ready.
        bool splashClosed = false;
        tray->MakeVisible([&] { splashClosed = true; });
        QVERIFY(icon_->visible);
        QVERIFY(splashClosed);
        QVERIFY(!tray->CheckingForUpdates());
        QCOMPARE(icon_->balloons.back().title, QString(kBalloonTitle));
        QCOMPARE(icon_->balloons.back().text, QStringLiteral("Drivlet"));
        QVERIFY(icon_->balloons.back().icon == BalloonIcon::Information);

        // The Options window is made with the start and shown by the menu and by a drive window's
        // menu alike; closing it only hides it.
        QVERIFY(tray->Options() != nullptr);
        QVERIFY(!tray->Options()->isVisible());
        tray->Menu().actions()[2]->trigger();
        QVERIFY(tray->Options()->isVisible());
        QCOMPARE(tray->Options()->windowTitle(), QStringLiteral("Options"));
        OptionsWindow* options = tray->Options();
        options->close();
        QVERIFY(!options->isVisible());
        tray->Command(TrayCommand::Options);
        QCOMPARE(tray->Options(), options);
        QVERIFY(options->isVisible());
        // A second start brings it back when minimised.
        options->showMinimized();
        tray->RaiseWindows();
        QVERIFY(!(options->windowState() & Qt::WindowMinimized));
        options->close();

        // About, from the menu (Ctrl+A) and from a drive window's Help menu: one window.
        tray->Menu().actions()[7]->trigger();
        QWidget* about = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == QStringLiteral("About Drivlet")) about = w;
        QVERIFY(about);
        about->close();
        tray->Command(TrayCommand::About);
        QCOMPARE(&tray->ShowAbout(), about);
        about->close();

        // Schedules shows its one window.
        tray->Menu().actions()[3]->trigger();
        QWidget* schedules = &tray->ShowSchedules();
        QCOMPARE(schedules->windowTitle(), QStringLiteral("Schedules"));
        QVERIFY(schedules->isVisible());
        schedules->close();
        tray->Command(TrayCommand::Schedules);
        QVERIFY(schedules->isVisible());
        schedules->close();

        // A click on the icon shows the slider only with the mini window on.
        QVERIFY(icon_->click);
        icon_->click();
        QVERIFY(!tray->Slider().isVisible());
        tray->Settings().MiniWindows = true;
        icon_->click();
        QVERIFY(tray->Slider().isVisible());
        tray->Slider().hide();

        // A double-click on the icon is Open Drive.
        QVERIFY(icon_->doubleClick);
        icon_->doubleClick();
        QVERIFY(WaitUntil([] { return OpenBox() != nullptr; }));
        QCOMPARE(OpenBox()->text(), QStringLiteral("Open Drive"));
    }

    void exitIsAskedAndWaitsForTheCancelledJobs() {
        auto tray = MakeController();
        test::HeldRuns held(tray->Runs());
        tray->MakeVisible();
        QAction* exit = tray->Menu().actions().back();

        exit->trigger();
        QMessageBox* box = OpenBox();
        QVERIFY(box);
        QCOMPARE(box->informativeText(), QStringLiteral("Are you sure you want to exit Drivlet?"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Drivlet"));
        box->button(QMessageBox::No)->click();
        QVERIFY(WaitUntil([] { return OpenBox() == nullptr; }));
        QCOMPARE(services_->quits, 0);
        QVERIFY(icon_->visible);
        QVERIFY(!tray->Exiting());

        // Two jobs run: Yes cancels them, and the program ends when the last has ended.
        held.Set(2);
        exit->trigger();
        exit->trigger(); // asked once, not twice
        box = OpenBox();
        QVERIFY(box);
        box->button(QMessageBox::Yes)->click();
        QVERIFY(WaitUntil([&held] { return held.Cancelled() == 2; }));
        QVERIFY(OpenBox() == nullptr);
        QVERIFY(!icon_->visible);
        QCOMPARE(services_->quits, 0);
        held.Set(1);
        QCOMPARE(services_->quits, 0);
        held.Set(0);
        QCOMPARE(services_->quits, 1);
    }

    void terminationSignalCancelsTheJobsAndEndsAfterThem() {
        auto tray = MakeController();
        test::HeldRuns held(tray->Runs());
        tray->MakeVisible();
        held.Set(1);
        std::vector<int> seen;
        {
            TerminationSignals termination([&](int signal) {
                seen.push_back(signal);
                tray->ExitNow();
            });
            QVERIFY(termination.Installed());
            QCOMPARE(::raise(SIGTERM), 0);
            QVERIFY(WaitUntil([&] { return !seen.empty(); }));
        }
        QCOMPARE(seen, std::vector<int>{SIGTERM});
        QCOMPARE(held.Cancelled(), 1);
        QVERIFY(!icon_->visible);
        QCOMPARE(services_->quits, 0);
        held.Set(0);
        QCOMPARE(services_->quits, 1);
    }

    void iconAnimatesWhileJobsRun() {
        auto tray = MakeController();
        test::HeldRuns held(tray->Runs());
        std::vector<qint64> frames;
        for (const QIcon& i : tray->Images())
            frames.push_back(i.cacheKey());
        QCOMPARE(int(std::set<qint64>(frames.begin(), frames.end()).size()), kTrayImageCount);

        icon_->icons.clear();
        held.Set(1);
        // Every image in turn, then round again.
        QVERIFY(WaitUntil([this] { return icon_->icons.size() >= kTrayImageCount + 1; }));
        for (size_t i = 0; i < kTrayImageCount + 1; ++i)
            QCOMPARE(icon_->icons[i], frames[(i + 1) % kTrayImageCount]);

        held.Set(2);
        held.Set(0);
        QVERIFY(!tray->Animating());
        QCOMPARE(icon_->icons.back(), frames.front());
        QCOMPARE(tray->RunningJobs(), 0);
    }

    void knownDriveArrivingOpensItsWindowAndRunsItsSchedules() {
        const std::filesystem::path table = dir_->path() / "mountinfo";
        test::WriteFile(table, MountLine(1, "/", "ext4"));
        MountTableNotifySource feed({table, std::chrono::milliseconds(0)});

        auto tray = MakeController();
        // Scheduled when the stick was mounted elsewhere; it runs from where it is now.
        ScheduleRunRow row = tray->Database().AddSchedule("/media/old/STICK/Config/Photos.Ubk", "Photos");
        row.Mode = kRunAtDriveInsertion;
        tray->Database().SaveSchedule(row);
        QVERIFY(tray->StartDriveNotification(feed));

        const std::string stranger = dir_->path().string() + "/stranger/";
        std::filesystem::create_directories(stranger);
        const std::string stick = KnownDrive("stick", "Photos.Ubk");
        test::WriteFile(table, MountLine(1, "/", "ext4") +
                                   MountLine(2, dir_->path().string() + "/stranger", "ext4") +
                                   MountLine(3, dir_->path().string() + "/stick", "vfat"));
        feed.RescanNow();
        QVERIFY(WaitUntil([this] { return !services_->launched.empty(); }));
        // Events keep their order, so the stranger was dealt with first: left alone.
        QCOMPARE(services_->shown, std::vector<std::string>{stick});
        QCOMPARE(services_->launched, std::vector<std::string>{stick + "Config/Photos.Ubk"});

        // With auto-run off no window opens, but the schedules still run.
        tray->Settings().DriveAutoRun = false;
        const std::string second = KnownDrive("second", "Photos.Ubk");
        tray->DriveArrived(second);
        QCOMPARE(services_->shown.size(), size_t(1));
        QCOMPARE(services_->launched.back(), second + "Config/Photos.Ubk");
    }

    void missingJobFileIsAskedForAndOkLooksAgain() {
        auto tray = MakeController();
        const std::string stick = KnownDrive("stick");
        const std::string job = stick + "Config/Docs.Ubk";
        ScheduleRunRow row = tray->Database().AddSchedule(job, "Docs");
        row.Mode = kRunAtStartup;
        tray->Database().SaveSchedule(row);
        tray->Settings().ScheduleRunMode = TScheduleRunMode::srmAsk;

        tray->MakeVisible();
        QMessageBox* box = OpenBox();
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("File Not Found"));
        QCOMPARE(box->informativeText().toStdString(), FileNotFoundText(job, "Docs"));
        QVERIFY(services_->launched.empty());

        // The user puts the drive in, then answers OK: the file is looked for again and run.
        test::WriteFile(job, "job");
        box->button(QMessageBox::Ok)->click();
        QVERIFY(WaitUntil([this] { return !services_->launched.empty(); }));
        QCOMPARE(services_->launched, std::vector<std::string>{job});
        QVERIFY(!tray->ShutdownBlocked());
    }

    void aDueRowIsRunAndMovedOnButNotSpentWithoutALauncher() {
        auto tray = MakeController();
        const std::string job = KnownDrive("stick", "Docs.Ubk") + "Config/Docs.Ubk";
        ScheduleRunRow row = tray->Database().AddSchedule(job, "Docs");
        row.NextRunTime = clock_->Now() + 1.0 / 1440;
        tray->Database().SaveSchedule(row);
        clock_->Advance(2.0 / 1440);

        // Nobody to start it (the drive windows are not there): the row keeps its time.
        TrayServices none;
        auto bare = std::make_unique<TrayController>(
            TrayEnvironment{dir_->path() / "root", kComputer, *clock_, [this] { return mounted_; }}, none,
            std::make_unique<RecordingTrayIcon>(std::make_shared<IconRecord>()));
        bare->RunSchedules(SchedulePass::Timed);
        QCOMPARE(bare->Database().FindSchedule(row.ID)->NextRunTime, row.NextRunTime);
        bare.reset();

        tray->RunSchedules(SchedulePass::Timed);
        QCOMPARE(services_->launched, std::vector<std::string>{job});
        QVERIFY(tray->Database().FindSchedule(row.ID)->NextRunTime != row.NextRunTime);
    }

    void deletedFilesOverTheLimitWarnInABalloon() {
        auto tray = MakeController();
        tray->Settings().MaxDeletedSize = 5000LL * 1024 * 1024;
        tray->Database().LogDeletedFile("a", 5000LL * 1024 * 1024);
        tray->MeasureDeletedSize();
        QVERIFY(icon_->balloons.empty()); // equal is not over
        QCOMPARE(tray->DeletedSize(), 5000LL * 1024 * 1024);

        tray->Database().LogDeletedFile("b", 1);
        tray->MeasureDeletedSize();
        QCOMPARE(int(icon_->balloons.size()), 1);
        QCOMPARE(icon_->balloons[0].text.toStdString(), std::string(kDeletedOverloadText));
        QCOMPARE(icon_->balloons[0].title, QString(kBalloonTitle));
        QVERIFY(icon_->balloons[0].icon == BalloonIcon::Warning);
        // The ready balloon then repeats the warning.
        tray->MakeVisible();
        QCOMPARE(icon_->balloons.back().text.toStdString(), std::string(kDeletedOverloadText));
        QVERIFY(icon_->balloons.back().icon == BalloonIcon::Warning);
    }

    void theSplashIsABorderlessPictureWithItsOwnTransparency() {
        TSplash splash(QIcon(QPixmap(16, 16)));
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(splash.testAttribute(Qt::WA_TranslucentBackground));
        const QImage picture = TSplash::Picture(QIcon()).toImage();
        QCOMPARE(splash.size(), picture.size());
        QVERIFY(picture.hasAlphaChannel());
        QCOMPARE(qAlpha(picture.pixel(0, 0)), 0); // the rounded corner shows what is behind
        QVERIFY(qAlpha(picture.pixel(picture.width() / 2, picture.height() / 2)) > 200);
        splash.ShowSplash();
        QVERIFY(splash.isVisible());
    }

    void shutdownWhileJobsRunIsRefusedAndCarriedOutAfterwards() {
        auto tray = MakeController();
        test::HeldRuns held(tray->Runs());
        std::vector<bool> blocks;
        connect(tray.get(), &TrayController::shutdownBlockChanged, this,
                [&blocks](bool b) { blocks.push_back(b); });
        held.Set(1);
        QVERIFY(tray->ShutdownBlocked());

        const ShutdownAnswer answer = tray->ShutdownQuery(false);
        QVERIFY(!answer.allow);
        QCOMPARE(icon_->balloons.back().text.toStdString(), std::string(kThreadsRunningText));
        QVERIFY(icon_->balloons.back().icon == BalloonIcon::Information);
        QVERIFY(tray->FinishMessagesSuppressed());
        QVERIFY(services_->forcedEnds.empty());

        held.Set(0);
        QCOMPARE(services_->forcedEnds, std::vector<bool>{false});
        QCOMPARE(blocks, (std::vector<bool>{true, false}));
        // Nothing runs now: the next query is allowed at once.
        QVERIFY(tray->ShutdownQuery(true).allow);
    }
};

QTEST_MAIN(TrayControllerTest)
#include "TrayControllerTest.moc"

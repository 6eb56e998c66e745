// Jobs run from their drive's window as a user runs them: the row selected, Run pressed, the
// questions answered in their boxes, the status panel on a new tab, the files where they belong
// and the finish message with the run's totals; the sync's conflicts answered in their window.
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "core/schedule/run/ShutdownCoordinator.h"
#include "gui/drives/JobRowsModel.h"
#include "gui/drives/TNewDrive.h"
#include "gui/launch/DriveWindows.h"
#include "gui/status/JobLogModel.h"
#include "gui/status/TThreadStatuesFrame.h"
#include "gui/sync/GuiConflictPrompt.h"
#include "gui/sync/TFileSyncPromptDlg.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/GuiTestSupport.h"
#include "support/OpenBoxes.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <filesystem>

using namespace drivlet;
using namespace drivlet::gui;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kNow = EncodeDateTime({2024, 10, 4, 20, 15, 0, 0});
const TDateTime kOlder = EncodeDateTime({2024, 6, 1, 10, 0, 0, 0});
const TDateTime kNewer = EncodeDateTime({2024, 6, 2, 10, 0, 0, 0});

TFileSyncPromptDlg* OpenConflictWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<TFileSyncPromptDlg*>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

} // namespace

class WholePathTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;
    LinuxFileSystem files_;
    ManualClock clock_{kNow};
    std::string drive_;
    std::string source_;
    RunRegistry runs_;
    std::unique_ptr<ShutdownCoordinator> shutdown_;

    std::unique_ptr<DriveWindows> Windows(KnownReach known = {}) {
        DriveWindowServices services{files_, clock_, "PC-1", dir_->path() / "ProgramData"};
        services.knownReach = std::move(known);
        services.runSettings = [] { return RunSettings{}; };
        services.isDriveRoot = AnyFolderIsADrive;
        ShutdownCoordinator* shutdown = shutdown_.get();
        services.finishMessagesSuppressed = [shutdown] { return shutdown->FinishMessagesSuppressed(); };
        // Counted where the shut-down rules read them, as in the resident session.
        services.runs = &runs_;
        return std::make_unique<DriveWindows>(std::move(services));
    }
    std::string BackupJob(const std::string& pc) {
        TArchiveData job;
        job.BackupName = "Docs";
        job.PCID = pc;
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.ArchiveType = TArchiveType::atFile;
        job.ArchiveMode = TArchiveMode::amIncremental;
        job.Destination = "/Backups/Docs";
        job.FolderList.Add(source_);
        const std::string file = drive_ + "Config/Docs.Ubk";
        job.SaveCompressed(file);
        return file;
    }
    // A two-way sync of the drive's Docs with a computer folder, asking about conflicts: each name
    // is older on the drive than on the computer. Returns the job file; empty when the times cannot be set.
    std::string ConflictingSyncJob(const std::string& computer, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            WriteFile(drive_ + "Docs/" + name, std::string("drive ") + name);
            WriteFile(computer + name, std::string("pc ") + name);
            if (!files_.SetFileTime(drive_ + "Docs/" + name, kOlder).ok() ||
                !files_.SetFileTime(computer + name, kNewer).ok())
                return {};
        }
        TSyncData sync;
        sync.SyncName = "Synced";
        sync.PCID = "PC-1";
        sync.FolderAList.Add("/Docs/");
        sync.FolderBList.Add(computer);
        sync.SyncDirection = TSyncDirection::sdBidi;
        sync.SyncDefaultAction = TSyncDefaultAction::sdaAsk;
        const std::string job = drive_ + "Config/Synced.Usy";
        sync.SaveCompressed(job);
        return job;
    }
    // Opens the drive, selects the job's row and presses Run.
    TNewDrive* RunFromWindow(DriveWindows& windows, const std::string& jobFile) {
        TNewDrive* window = windows.ShowDrive(drive_);
        if (!window || !WaitUntil([&] { return !window->Searching(); })) return nullptr;
        const int row = window->Rows().RowOf(jobFile);
        if (row < 0) return nullptr;
        window->JobList().selectRow(row);
        window->findChild<QPushButton*>("runButton")->click();
        return window;
    }
    static TThreadStatuesFrame* PanelOn(TNewDrive& window, int tab) {
        return tab < window.Pages().count() ? window.Pages().widget(tab)->findChild<TThreadStatuesFrame*>()
                                            : nullptr;
    }

private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        drive_ = dir_->path().string() + "/STICK/";
        source_ = dir_->path().string() + "/home/hal/Docs/";
        fs::create_directories(drive_ + "Config");
        fs::create_directories(drive_ + "Backups/Docs");
        WriteFile(source_ + "a.txt", "alpha");
        WriteFile(source_ + "sub/b.txt", "bravo");
        shutdown_ = std::make_unique<ShutdownCoordinator>(
            ShutdownActions{[] {}, {}, [](bool) { return true; }, [this] { return runs_.Count(); }});
    }
    void cleanup() {
        for (QMessageBox* box : OpenBoxes())
            delete box;
        shutdown_.reset();
        dir_.reset();
    }

    void aBackupRunFromItsWindowFillsTheTargetTheLogAndTheFinishMessage() {
        const std::string job = BackupJob("PC-1");
        auto windows = Windows();
        QSignalSpy counts(windows.get(), &DriveWindows::runningJobsChanged);
        TNewDrive* window = RunFromWindow(*windows, job);
        QVERIFY(window);
        QCOMPARE(window->Pages().count(), 2);
        QCOMPARE(window->Pages().tabText(1), QString("Docs"));
        TThreadStatuesFrame* panel = PanelOn(*window, 1);
        QVERIFY(panel);
        QCOMPARE(windows->RunningJobs(), 1);
        QCOMPARE(shutdown_->RunningJobs(), 1);

        QMessageBox* box = WaitForBox("Job Completed.");
        QVERIFY(box);
        // Two files; the folder "sub" is not counted.
        QCOMPARE(box->informativeText(),
                 QString("Backup file operation completed !\nTotal Files : 2\nErrors : 0"));
        QCOMPARE(box->windowTitle(), QString("Drivlet"));
        QCOMPARE(box->icon(), QMessageBox::Information);
        QVERIFY(panel->JobEnded());
        QVERIFY(panel->Run()->Outcome().Complete());
        QCOMPARE(windows->RunningJobs(), 0);
        QCOMPARE(shutdown_->RunningJobs(), 0);
        QVERIFY(counts.count() >= 2);
        QCOMPARE(counts.first()[0].toInt(), 1);
        QCOMPARE(counts.last()[0].toInt(), 0);

        const std::string target = drive_ + "Backups/Docs/" + source_.substr(1);
        QCOMPARE(ReadFile(target + "a.txt"), std::string("alpha"));
        QCOMPARE(ReadFile(target + "sub/b.txt"), std::string("bravo"));
        QVERIFY(panel->LogModel().rowCount() >= 2);
        Press(box, QMessageBox::Ok);

        // The start time was written back, and the list shows it once searched again.
        window->Refresh();
        QVERIFY(WaitUntil([&] { return !window->Searching() && window->Rows().rowCount() == 1; }));
        QVERIFY(window->Rows().Row(0).LastRunAt != "N/A");

        // Once the shut-down has begun, jobs end without a message.
        QVERIFY(shutdown_->ShutdownQuery(false).allow);
        QSignalSpy finished(windows.get(), &DriveWindows::jobFinished);
        window->JobList().selectRow(0);
        window->findChild<QPushButton*>("runButton")->click();
        QVERIFY(WaitUntil([&] { return finished.count() == 1; }));
        QVERIFY(OpenBoxes("Job Completed.").empty());
        QCOMPARE(window->Pages().count(), 3);
    }

    // The job copies the user's documents onto the drive: before its first run here the user
    // sees where from, in plain text; No starts nothing, Yes runs it and is not asked again.
    void aJobsFirstRunShowsItsReachAndNoStartsNothing() {
        const std::string job = BackupJob("PC-1");
        auto windows =
            Windows(KnownReachIn(dir_->path() / "ProgramData", clock_, dir_->path().string() + "/home/hal"));
        TNewDrive* window = RunFromWindow(*windows, job);
        QVERIFY(window);
        QMessageBox* box = WaitForBox("First run on this computer");
        QVERIFY(box);
        QVERIFY2(box->informativeText().contains(
                     QString::fromStdString(source_ + "\n    will be copied to the drive")),
                 qPrintable(box->informativeText()));
        QVERIFY(box->informativeText().contains(QString::fromStdString(job)));
        Press(box, QMessageBox::No);
        QVERIFY(WaitUntil([] { return OpenBoxes("First run on this computer").empty(); }));
        QCOMPARE(window->Pages().count(), 1);
        QVERIFY(!fs::exists(drive_ + "Backups/Docs/" + source_.substr(1)));

        window->findChild<QPushButton*>("runButton")->click();
        Press(WaitForBox("First run on this computer"), QMessageBox::Yes);
        Press(WaitForBox("Job Completed."), QMessageBox::Ok);
        QCOMPARE(ReadFile(drive_ + "Backups/Docs/" + source_.substr(1) + "a.txt"), std::string("alpha"));
        window->findChild<QPushButton*>("runButton")->click();
        QVERIFY(WaitForBox("Job Completed."));
        QVERIFY(OpenBoxes("First run on this computer").empty());
        Press(WaitForBox("Job Completed."), QMessageBox::Ok);
    }

    void anotherComputersJobIsAskedAboutAndNoStartsNothing() {
        const std::string job = BackupJob("PC-2");
        auto windows = Windows();
        TNewDrive* window = RunFromWindow(*windows, job);
        QVERIFY(window);
        QMessageBox* box = WaitForBox("Load Job");
        QVERIFY(box);
        QVERIFY(box->informativeText().startsWith(
            "You have selected job settings that belong to a deferent pc."));
        QVERIFY2(window->Pages().count() == 1, "no tab while the question is open");
        Press(box, QMessageBox::No);
        QVERIFY(WaitUntil([] { return OpenBoxes("Load Job").empty(); }));
        QCOMPARE(window->Pages().count(), 1);
        QCOMPARE(windows->RunningJobs(), 0);
        QVERIFY(!fs::exists(drive_ + "Backups/Docs/" + source_.substr(1)));

        window->findChild<QPushButton*>("runButton")->click();
        box = WaitForBox("Load Job");
        QVERIFY(box);
        Press(box, QMessageBox::Yes);
        QVERIFY(WaitForBox("Job Completed."));
        QCOMPARE(window->Pages().count(), 2);
        QCOMPARE(ReadFile(drive_ + "Backups/Docs/" + source_.substr(1) + "a.txt"), std::string("alpha"));
        Press(WaitForBox("Job Completed."), QMessageBox::Ok);

        // A job that cannot be read (started as a schedule would start it) is refused in a box,
        // gets no tab and is left as it is.
        WriteFile(drive_ + "Config/Bad.Ubk", "damaged");
        windows->LaunchJob(drive_ + "Config/Bad.Ubk");
        QVERIFY(WaitUntil([] {
            for (QMessageBox* open : OpenBoxes())
                if (open->icon() == QMessageBox::Critical) return true;
            return false;
        }));
        QCOMPARE(window->Pages().count(), 2);
        QCOMPARE(ReadFile(drive_ + "Config/Bad.Ubk"), std::string("damaged"));
    }

    void aMissingFolderIsAskedAboutEscapeAnswersNoAndClosingTheBoxRunsTheJob() {
        std::string job = BackupJob("PC-1");
        TArchiveData data;
        QVERIFY(data.LoadCompressed(job) == LoadResult::Loaded);
        data.FolderList.Add(dir_->path().string() + "/home/hal/Gone/");
        data.SaveCompressed(job);
        auto windows = Windows();
        TNewDrive* window = RunFromWindow(*windows, job);
        QVERIFY(window);
        QMessageBox* box = WaitForBox("Folder Missing");
        QVERIFY(box);
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(WaitUntil([] { return OpenBoxes("Folder Missing").empty(); }));
        QCOMPARE(window->Pages().count(), 1);
        QVERIFY(!fs::exists(drive_ + "Backups/Docs/" + source_.substr(1)));

        // Closed from its title bar: no answer, and the job runs with what is there.
        window->findChild<QPushButton*>("runButton")->click();
        box = WaitForBox("Folder Missing");
        QVERIFY(box);
        box->close();
        QMessageBox* done = WaitForBox("Job Completed.");
        QVERIFY(done);
        QCOMPARE(ReadFile(drive_ + "Backups/Docs/" + source_.substr(1) + "a.txt"), std::string("alpha"));
        Press(done, QMessageBox::Ok);

        // Another computer's job goes ahead only on Yes.
        data.PCID = "PC-2";
        data.SaveCompressed(job);
        window->findChild<QPushButton*>("runButton")->click();
        box = WaitForBox("Load Job");
        QVERIFY(box);
        box->close();
        QVERIFY(WaitUntil([] { return OpenBoxes("Load Job").empty(); }));
        QVERIFY(OpenBoxes("Folder Missing").empty());
        QCOMPARE(windows->RunningJobs(), 0);
        QCOMPARE(window->Pages().count(), 2);
    }

    void aTwoWaySyncAsksItsConflictsInTheConflictWindow() {
        const std::string computer = dir_->path().string() + "/home/hal/Synced/";
        const std::string job = ConflictingSyncJob(computer, {"a.txt", "b.txt"});
        QVERIFY(!job.empty());

        auto windows = Windows();
        TNewDrive* window = RunFromWindow(*windows, job);
        QVERIFY(window);
        TFileSyncPromptDlg* conflicts = nullptr;
        QVERIFY(WaitUntil([&] { return (conflicts = OpenConflictWindow()) != nullptr; }));
        QCOMPARE(conflicts->List()->model()->rowCount(), 2);
        // The drive's older copies win, for all of them.
        conflicts->List()->selectAll();
        conflicts->ResolutionButton(TConflictResolution::UseDrive)->click();
        conflicts->OkButton()->click();

        QMessageBox* box = WaitForBox("Job Completed.");
        QVERIFY(box);
        QVERIFY2(box->informativeText().startsWith("Sync file operation completed !\nTotal Files : "),
                 qPrintable(box->informativeText()));
        QVERIFY(box->informativeText().endsWith("\nErrors : 0"));
        for (const char* name : {"a.txt", "b.txt"}) {
            QCOMPARE(ReadFile(computer + name), std::string("drive ") + name);
            QCOMPARE(ReadFile(drive_ + "Docs/" + name), std::string("drive ") + name);
        }
        QVERIFY(fs::exists(drive_ + "Config/Synced.Usdb"));
        TThreadStatuesFrame* panel = PanelOn(*window, 1);
        QVERIFY(panel && panel->Run()->Outcome().Complete());
    }

    void cancelAllEndsEveryRunAndTellsTheCountOnce() {
        // A sync held at its conflict window stands for a long run.
        const std::string computer = dir_->path().string() + "/home/hal/Synced/";
        const std::string job = ConflictingSyncJob(computer, {"a.txt"});
        QVERIFY(!job.empty());

        auto windows = Windows();
        QSignalSpy counts(windows.get(), &DriveWindows::runningJobsChanged);
        QPointer<TNewDrive> window = RunFromWindow(*windows, job);
        QVERIFY(window);
        QVERIFY(WaitUntil([] { return OpenConflictWindow() != nullptr; }));
        QCOMPARE(windows->RunningJobs(), 1);

        // Closing the window while its job runs only hides it.
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window);
        QVERIFY(!window->isVisible());
        QVERIFY(OpenConflictWindow());
        QCOMPARE(windows->RunningJobs(), 1);

        counts.clear();
        windows->CancelAll();
        QVERIFY(WaitUntil([&] { return windows->RunningJobs() == 0; }));
        QCOMPARE(counts.count(), 1);
        QCOMPARE(counts[0][0].toInt(), 0);
        QCOMPARE(ReadFile(computer + "a.txt"), std::string("pc a.txt"));
        QCOMPARE(ReadFile(drive_ + "Docs/a.txt"), std::string("drive a.txt"));
        // A cancelled run is never called completed.
        QMessageBox* box = WaitForBox("Job Canceled.");
        QVERIFY(box);
        QVERIFY2(
            box->informativeText().startsWith("Sync file operation canceled, not every file was done !\n"),
            qPrintable(box->informativeText()));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        box->close();
        // The closed window goes once its job has ended.
        QVERIFY(WaitUntil([&] { return window.isNull(); }));
        QCOMPARE(windows->Window(drive_), nullptr);
    }
};

QTEST_MAIN(WholePathTest)
#include "WholePathTest.moc"

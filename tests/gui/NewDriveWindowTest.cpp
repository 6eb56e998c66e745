// A drive's window over a real drive folder: what the rows show (kinds, colours, schedule states,
// damaged files), deleting a job with its databases, and Refresh/Stop with a search held midway.
#include "core/db/ProgramDatabase.h"
#include "core/drives/DriveRegistry.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "engine/EngineTestSupport.h"
#include "gui/drives/JobRowsModel.h"
#include "gui/drives/TNewDrive.h"
#include "gui/launch/DriveWindows.h"
#include "support/GuiTestSupport.h"
#include "support/OpenBoxes.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <condition_variable>
#include <filesystem>
#include <mutex>

using namespace drivlet;
using namespace drivlet::gui;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kNow = EncodeDateTime({2024, 10, 4, 20, 15, 0, 0});

// Holds every listing of a folder until the test lets it go, so that a search can be caught
// while it runs.
class GatedFileSystem final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;

    FileStatus ListFolder(const fs::path& folder, const FolderVisitor& visit,
                          ListDetail detail) const override {
        {
            std::unique_lock lock(mutex_);
            ++waiting_;
            changed_.wait(lock, [this] { return open_; });
            --waiting_;
        }
        return ForwardingFileSystem::ListFolder(folder, visit, detail);
    }
    void Open(bool open) {
        std::lock_guard lock(mutex_);
        open_ = open;
        changed_.notify_all();
    }
    int Waiting() const {
        std::lock_guard lock(mutex_);
        return waiting_;
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable int waiting_ = 0;
    bool open_ = true;
};

QColor ColourOf(const JobRowsModel& rows, int row, int column) {
    return rows.data(rows.index(row, column), Qt::ForegroundRole).value<QColor>();
}

QString TextOf(const JobRowsModel& rows, int row, int column) {
    return rows.data(rows.index(row, column), Qt::DisplayRole).toString();
}

} // namespace

class NewDriveWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;
    LinuxFileSystem files_;
    ManualClock clock_{kNow};
    std::unique_ptr<ProgramDatabase> database_;
    std::string drive_;
    std::string config_;

    DriveWindowServices Services(const IFileSystem& files) {
        DriveWindowServices services{files, clock_, "PC-1", dir_->path() / "ProgramData"};
        services.runSettings = [] { return RunSettings{}; };
        services.isDriveRoot = AnyFolderIsADrive;
        services.database = database_.get();
        services.lastRunText = [](TDateTime value) { return DefaultDateTimeText(value); };
        return services;
    }
    void SaveBackup(const std::string& name, const std::string& jobName, TArchiveDir direction,
                    const std::string& pc, TDateTime lastUpdate = 0) {
        TArchiveData job;
        job.BackupName = jobName;
        job.ArchiveDir = direction;
        job.PCID = pc;
        job.LastUpdate = lastUpdate;
        job.SaveCompressed(config_ + name);
    }
    TNewDrive* Searched(DriveWindows& windows) {
        TNewDrive* window = windows.ShowDrive(drive_);
        if (window && !WaitUntil([&] { return !window->Searching(); })) return nullptr;
        return window;
    }

private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        drive_ = dir_->path().string() + "/STICK/";
        config_ = drive_ + "Config/";
        fs::create_directories(config_);
        RecordingDialogs dialogs;
        RegisterDrive(drive_, "PC-1", files_, dialogs);
        database_ = std::make_unique<ProgramDatabase>(ProgramDatabase::PathFor(dir_->path() / "ProgramData"));
    }
    void cleanup() {
        for (QMessageBox* box : OpenBoxes())
            delete box;
        database_.reset();
        dir_.reset();
    }

    void rowsShowKindOwnerColourAndScheduleStateSortedByType() {
        SaveBackup("Backup2011-03-24 13-57-31 042.Ubk", "Photos", TArchiveDir::amPcToUsb, "PC-1",
                   EncodeDateTime({2011, 3, 24, 13, 57, 31, 0}));
        SaveBackup("Move 2011.Umv", "Old mail", TArchiveDir::amUsbToPc, "PC-2");
        TSyncData sync;
        sync.SyncName = "Docs";
        sync.PCID = "PC-1";
        sync.SaveCompressed(config_ + "sync 2011.Usy");
        TPCSyncData between;
        between.SyncName = "Both laptops";
        between.SyncDataItems.Add().ID = "item-1";
        between.SaveCompressed(config_ + "Laptops.Upcsy");
        WriteFile(config_ + "bad.Ubk", "not a saved record");
        WriteFile(config_ + "notes.txt", "not a job");
        SaveBackup(".hidden.ubk", "Hidden", TArchiveDir::amPcToUsb, "PC-1");
        fs::create_directories(config_ + "x.ubk");
        ScheduleRunRow off = database_->AddSchedule(drive_ + "Config/sync 2011.Usy", "Docs");
        off.Active = false;
        database_->SaveSchedule(off);
        database_->AddSchedule("/media/old/STICK/Config/backup2011-03-24 13-57-31 042.ubk", "Photos");

        DriveWindows windows(Services(files_));
        QCOMPARE(windows.ShowDrive(drive_ + "nowhere"), nullptr);
        TNewDrive* window = Searched(windows);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QString::fromStdString("New Drive Detected. " + drive_));
        // The same drive without its trailing separator is the same window.
        QCOMPARE(windows.ShowDrive(drive_.substr(0, drive_.size() - 1)), window);
        // A second start (or the drive again) brings a minimised window back, not just raised.
        window->showMinimized();
        windows.RaiseAll();
        QVERIFY(!(window->windowState() & Qt::WindowMinimized));
        window->showMinimized();
        QCOMPARE(windows.ShowDrive(drive_), window);
        QVERIFY(!(window->windowState() & Qt::WindowMinimized));
        QVERIFY(WaitUntil([&] { return !window->Searching(); }));

        const JobRowsModel& rows = window->Rows();
        QCOMPARE(rows.rowCount(), 5);
        QCOMPARE(rows.columnCount(), 5);
        const QStringList headers{"Type", "Job Name", "Archived Name", "Last Run At", "PC ID"};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(rows.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers[c]);
        const QStringList types{"<Error>", "Backup To USB", "File / Folder Sync", "Move From USB",
                                "PC-PC Sync"};
        for (int r = 0; r < 5; ++r)
            QCOMPARE(TextOf(rows, r, JobRowsModel::TypeColumn), types[r]);

        // The damaged file: its path kept, the rest unreadable, no row colour, its owner cell pink.
        QCOMPARE(TextOf(rows, 0, JobRowsModel::FileColumn), QString::fromStdString(config_ + "bad.Ubk"));
        for (int c : {JobRowsModel::NameColumn, JobRowsModel::LastRunColumn, JobRowsModel::PcColumn})
            QCOMPARE(TextOf(rows, 0, c), QString("<Error Loading Data>"));
        QVERIFY(!rows.data(rows.index(0, JobRowsModel::TypeColumn), Qt::ForegroundRole).isValid());
        QCOMPARE(ColourOf(rows, 0, JobRowsModel::PcColumn), QColor(255, 0, 128));
        QCOMPARE(rows.data(rows.index(0, 0), JobRowsModel::TypeIconRole).toInt(), -1);

        // This computer's backup: red, its owner blue, scheduled (another mount point, other case).
        QCOMPARE(TextOf(rows, 1, JobRowsModel::NameColumn), QString("Photos"));
        QCOMPARE(TextOf(rows, 1, JobRowsModel::LastRunColumn), QString("2011-03-24 13:57:31"));
        QCOMPARE(ColourOf(rows, 1, JobRowsModel::TypeColumn), QColor(255, 0, 0));
        QCOMPARE(ColourOf(rows, 1, JobRowsModel::NameColumn), QColor(255, 0, 0));
        QCOMPARE(ColourOf(rows, 1, JobRowsModel::PcColumn), QColor(0, 128, 255));
        QCOMPARE(rows.data(rows.index(1, 0), JobRowsModel::ScheduleStateRole).toInt(), 1);
        QCOMPARE(rows.data(rows.index(1, 0), JobRowsModel::TypeIconRole).toInt(), 3);
        QVERIFY(!rows.data(rows.index(1, 0), Qt::DecorationRole).value<QIcon>().isNull());

        QCOMPARE(ColourOf(rows, 2, JobRowsModel::TypeColumn), QColor(255, 0, 128));
        QCOMPARE(rows.data(rows.index(2, 0), JobRowsModel::ScheduleStateRole).toInt(), 2);
        QCOMPARE(rows.data(rows.index(2, 0), JobRowsModel::TypeIconRole).toInt(), 1);

        // Another computer's move, never run: teal, its owner orange, not scheduled.
        QCOMPARE(TextOf(rows, 3, JobRowsModel::LastRunColumn), QString("N/A"));
        QCOMPARE(ColourOf(rows, 3, JobRowsModel::TypeColumn), QColor(0, 128, 128));
        QCOMPARE(ColourOf(rows, 3, JobRowsModel::PcColumn), QColor(254, 174, 10));
        QCOMPARE(rows.data(rows.index(3, 0), JobRowsModel::ScheduleStateRole).toInt(), 0);

        QCOMPARE(TextOf(rows, 4, JobRowsModel::LastRunColumn), QString("<N/A>"));
        QCOMPARE(TextOf(rows, 4, JobRowsModel::PcColumn), QString("<N/A>"));
        QCOMPARE(ColourOf(rows, 4, JobRowsModel::TypeColumn), QColor(0, 128, 255));

        // Run does nothing on the damaged row and on the computer-to-computer row.
        QSignalSpy runs(window, &TNewDrive::runRequested);
        for (int r : {0, 4}) {
            window->JobList().selectRow(r);
            window->findChild<QPushButton*>("runButton")->click();
        }
        QCOMPARE(runs.count(), 0);
        window->JobList().selectRow(3);
        window->findChild<QPushButton*>("runButton")->click();
        QCOMPARE(runs.count(), 1);
        QCOMPARE(runs[0][0].toString(), QString::fromStdString(config_ + "Move 2011.Umv"));

        // A schedule switched on later shows once the states are read again.
        off.Active = true;
        database_->SaveSchedule(off);
        window->RefreshStateIcons();
        QCOMPARE(rows.data(rows.index(2, 0), JobRowsModel::ScheduleStateRole).toInt(), 1);
        QCOMPARE(window->Pages().count(), 1);
        QCOMPARE(window->Pages().widget(0)->findChild<QTableView*>("jobList"), &window->JobList());
    }

    void deleteAsksThenRemovesTheJobAndItsDatabasesOnly() {
        const std::string stem = config_ + "Backup2011-03-24 13-57-31 042";
        SaveBackup("Backup2011-03-24 13-57-31 042.Ubk", "Photos", TArchiveDir::amPcToUsb, "PC-1");
        WriteFile(stem + ".Udb", "backup database");
        WriteFile(stem + ".Usdb", "sync database");
        SaveBackup("Other.Ubk", "Music", TArchiveDir::amPcToUsb, "PC-1");
        WriteFile(config_ + "Other.Udb", "its database");

        DriveWindows windows(Services(files_));
        TNewDrive* window = Searched(windows);
        QVERIFY(window);
        QCOMPARE(window->Rows().rowCount(), 2);
        const int row = window->Rows().RowOf(stem + ".Ubk");
        QVERIFY(row >= 0);
        auto* deleteButton = window->findChild<QPushButton*>("deleteButton");
        QVERIFY2(!deleteButton->isEnabled(), "nothing is selected yet");
        window->JobList().selectRow(row);
        QVERIFY(deleteButton->isEnabled());

        // No: nothing is touched.
        deleteButton->click();
        QMessageBox* box = WaitForBox("Delete Job");
        QVERIFY(box);
        QCOMPARE(box->informativeText(),
                 QString("Are you sure you want to permanently delete this job ?\r\nJob Name : Photos"));
        QCOMPARE(box->windowTitle(), QString("Drivlet"));
        Press(box, QMessageBox::No);
        QVERIFY(WaitUntil([] { return OpenBoxes().empty(); }));
        QVERIFY(fs::exists(stem + ".Ubk") && fs::exists(stem + ".Udb") && fs::exists(stem + ".Usdb"));
        QCOMPARE(window->Rows().rowCount(), 2);

        // Yes: the job and both companions go; the other job and its database stay.
        window->JobList().selectRow(window->Rows().RowOf(stem + ".Ubk"));
        deleteButton->click();
        box = WaitForBox("Delete Job");
        QVERIFY(box);
        Press(box, QMessageBox::Yes);
        QVERIFY(WaitUntil([&] { return window->Rows().rowCount() == 1; }));
        QVERIFY(!fs::exists(stem + ".Ubk"));
        QVERIFY(!fs::exists(stem + ".Udb"));
        QVERIFY(!fs::exists(stem + ".Usdb"));
        QVERIFY(fs::exists(config_ + "Other.Ubk") && fs::exists(config_ + "Other.Udb"));
        QCOMPARE(TextOf(window->Rows(), 0, JobRowsModel::NameColumn), QString("Music"));

        // A damaged job can still be deleted.
        WriteFile(config_ + "bad.Usy", "damaged");
        window->findChild<QPushButton*>("refreshButton")->click();
        QVERIFY(WaitUntil([&] { return !window->Searching() && window->Rows().rowCount() == 2; }));
        window->JobList().selectRow(window->Rows().RowOf(config_ + "bad.Usy"));
        deleteButton->click();
        box = WaitForBox("Delete Job");
        QVERIFY(box);
        QVERIFY(box->informativeText().endsWith("Job Name : <Error Loading Data>"));
        Press(box, QMessageBox::Yes);
        QVERIFY(WaitUntil([&] { return window->Rows().rowCount() == 1; }));
        QVERIFY(!fs::exists(config_ + "bad.Usy"));
    }

    void refreshShowsTheBusyAreaAndStopEndsTheSearch() {
        SaveBackup("a.Ubk", "Photos", TArchiveDir::amPcToUsb, "PC-1");
        GatedFileSystem gated(files_);
        gated.Open(false);
        DriveWindows windows(Services(gated));
        QPointer<TNewDrive> window = windows.ShowDrive(drive_);
        QVERIFY(window);
        QVERIFY(window->Searching());
        auto* refresh = window->findChild<QPushButton*>("refreshButton");
        auto* stop = window->findChild<QPushButton*>("stopButton");
        auto* busy = window->findChild<QProgressBar*>("searchBusy");
        auto* status = window->findChild<QLabel*>("searchStatus");
        QVERIFY(WaitUntil([&] { return gated.Waiting() == 1; }));
        QVERIFY(
            WaitUntil([&] { return status->text() == QString::fromStdString(" Searching..." + config_); }));
        QVERIFY(!refresh->isVisible());
        QVERIFY(stop->isVisible() && stop->isEnabled());
        QVERIFY(busy->isVisible());
        QCOMPARE(busy->maximum(), 0);

        // Stop: the button goes grey at once; the search ends before its first file.
        stop->click();
        QVERIFY(!stop->isEnabled());
        QVERIFY(window->Searching());
        window->Refresh(); // ignored while the search winds down
        gated.Open(true);
        QVERIFY(WaitUntil([&] { return !window->Searching(); }));
        QCOMPARE(window->Rows().rowCount(), 0);
        QVERIFY(refresh->isVisible());
        QVERIFY(!busy->isVisible());

        refresh->click();
        QVERIFY(WaitUntil([&] { return !window->Searching(); }));
        QCOMPARE(window->Rows().rowCount(), 1);

        // Closing while a search runs hides the window; it goes once the search has ended.
        gated.Open(false);
        refresh->click();
        QVERIFY(WaitUntil([&] { return gated.Waiting() == 1; }));
        window->close();
        QVERIFY(window);
        QVERIFY(!window->isVisible());
        gated.Open(true);
        QVERIFY(WaitUntil([&] { return window.isNull(); }));
        QCOMPARE(windows.Window(drive_), nullptr);

        // Opened again: a new window and a new search.
        TNewDrive* again = Searched(windows);
        QVERIFY(again);
        QCOMPARE(again->Rows().rowCount(), 1);
    }

    void theFeaturesStillToComeSaySo() {
        SaveBackup("a.Ubk", "Photos", TArchiveDir::amPcToUsb, "PC-1");
        DriveWindows windows(Services(files_));
        TNewDrive* window = Searched(windows);
        QVERIFY(window);
        window->findChild<QPushButton*>("newBackupButton")->click();
        QMessageBox* box = WaitForBox("Not available yet");
        QVERIFY(box);
        QVERIFY(box->informativeText().contains("backup wizard"));
        Press(box, QMessageBox::Ok);
        const QPoint row = window->JobList().visualRect(window->Rows().index(0, 1)).center();
        QTest::mouseClick(window->JobList().viewport(), Qt::LeftButton, {}, row);
        QTest::mouseDClick(window->JobList().viewport(), Qt::LeftButton, {}, row);
        QVERIFY(WaitForBox("Not available yet"));
    }
};

QTEST_MAIN(NewDriveWindowTest)
#include "NewDriveWindowTest.moc"

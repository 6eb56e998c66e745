// The job status panel: its tab, its handlers and clock driven by hand, and real backups run
// through the job runner into it: every log line arrives, Cancel and the low-disk question
// reach the worker, Auto Close takes the tab away, and the log is saved byte for byte.
#include "core/engine/TThreadBase.h"
#include "core/launch/JobRunner.h"
#include "core/records/TArchiveData.h"
#include "engine/EngineTestSupport.h"
#include "gui/dialogs/TSkipAbortRetryDialog.h"
#include "gui/status/JobLogModel.h"
#include "gui/status/TThreadStatuesFrame.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <filesystem>
#include <future>
#include <set>

using namespace drivlet;
using namespace drivlet::gui;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 9, 12, 18, 30, 0, 0});
constexpr double kSecond = 1.0 / 86400;

std::string FixedStamp(TDateTime) {
    return "12/09/2024 18:30:00";
}

// A folder standing for a drive, a computer folder with files, and the runner over them.
struct BackupSetup {
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string source = root + "home/gail/Docs/";

    explicit BackupSetup(int fileCount) {
        fs::create_directories(drive + "Config");
        fs::create_directories(drive + "Backups");
        fs::create_directories(source);
        for (int i = 0; i < fileCount; ++i)
            WriteFile(source + "sub" + std::to_string(i % 10) + "/f" + std::to_string(i) + ".txt",
                      "content " + std::to_string(i));
    }
    std::string JobFile() {
        TArchiveData job(clock);
        job.BackupName = "Docs";
        job.PCID = "PC-1";
        job.ArchiveDir = TArchiveDir::amPcToUsb;
        job.ArchiveMode = TArchiveMode::amIncremental;
        job.Destination = "/Backups/";
        job.FolderList.Add(source);
        const std::string file = drive + "Config/Docs.ubk";
        job.SaveCompressed(file);
        return file;
    }
    // Started into the panel with the panel's wake, and handed to it.
    bool StartInto(TThreadStatuesFrame& panel, const IFileSystem& fileSystem) {
        const JobRunner runner{{{fileSystem, clock}, "PC-1", {}, AnyFolderIsADrive}};
        PreparedJob job = runner.Prepare(JobFile());
        if (!job.Ready()) return false;
        const RunSink sink = panel.Sink();
        StartOptions options;
        options.wake = sink.wake;
        const std::vector<int> yes(job.Questions().size(), dlg::Yes);
        JobStart start = runner.Start(std::move(job), yes, sink.events, options);
        if (!start.Started()) return false;
        panel.AttachRun(std::move(start.run));
        return true;
    }
};

std::vector<std::string> Column(const JobLogModel& model, int column) {
    std::vector<std::string> values;
    for (int row = 0; row < model.rowCount(); ++row)
        values.push_back(model.index(row, column).data().toString().toStdString());
    return values;
}

} // namespace

class StatusPanelTest : public QObject {
    Q_OBJECT
private slots:
    void aTabIsCaptionedNamedAndSelectedWithTheBusyBarRunning();
    void statusProgressLogAndErrorHandlersShowWhatTheWorkerSaid();
    void theClockShowsElapsedAndCountsTheRemainingTimeDown();
    void aRealBackupReachesTheLogLineByLineAndEndsWithClose();
    void cancelDuringTheLowDiskQuestionEndsTheRunCancelled();
    void retryInTheLowDiskQuestionLetsTheCopyGoOn();
    void autoCloseTakesTheTabAwayAfterTheFinishedSignal();
    void aPanelTakenDownWhileItsJobWaitsEndsTheJobFirst();
    void theLogIsSavedThroughTheSaveDialogByteForByte();
    void aSaveThatCannotWriteShowsWhyAndKeepsTheLog();
};

void StatusPanelTest::aTabIsCaptionedNamedAndSelectedWithTheBusyBarRunning() {
    ManualClock clock{kStart};
    QTabWidget pages;
    pages.addTab(new QWidget, QStringLiteral("Jobs"));
    TThreadStatuesFrame* blank = CreateJobTab("   ", pages, clock, false);
    QCOMPARE(pages.count(), 2);
    QCOMPARE(pages.tabText(1), QStringLiteral("New Job"));
    QCOMPARE(pages.currentIndex(), 1);
    const QRegularExpression tabName(QStringLiteral("^Tab([0-9A-F]{32})$"));
    const QRegularExpressionMatch match = tabName.match(pages.widget(1)->objectName());
    QVERIFY2(match.hasMatch(), qPrintable(pages.widget(1)->objectName()));
    QCOMPARE(blank->objectName(), QStringLiteral("Frame") + match.captured(1));
    QVERIFY(pages.widget(1)->isAncestorOf(blank));
    QVERIFY(blank->BusyBarRunning());
    QCOMPARE(blank->TotalBar()->maximum(), 0);
    QCOMPARE(blank->ElapsedText(), QStringLiteral("00:00:00"));
    QCOMPARE(blank->SpeedText(), QStringLiteral("Speed"));
    QCOMPARE(blank->RemainingText(), QStringLiteral("Remaing time"));
    QCOMPARE(blank->FileActionText(), QStringLiteral("--------------------"));
    QVERIFY(!blank->CancelButton()->isEnabled());
    QVERIFY(!blank->AutoCloseBox()->isChecked());

    TThreadStatuesFrame* named = CreateJobTab(" Photos ", pages, clock, true);
    QCOMPARE(pages.currentIndex(), 2);
    QCOMPARE(pages.tabText(2).trimmed(), QStringLiteral("Photos"));
    QVERIFY(named->AutoCloseBox()->isChecked());
    QVERIFY(pages.widget(1)->objectName() != pages.widget(2)->objectName());

    QList<bool> toggles;
    connect(named, &TThreadStatuesFrame::autoCloseToggled, [&](bool on) { toggles.append(on); });
    named->AutoCloseBox()->click();
    QCOMPARE(toggles, QList<bool>{false});
}

void StatusPanelTest::statusProgressLogAndErrorHandlersShowWhatTheWorkerSaid() {
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    ProbeThread sender({files, clock});
    TThreadStatuesFrame panel(clock, false);
    panel.SetDateTimeFormat(FixedStamp);

    panel.OnStatus(sender, {"Counting files", -1, "N/A", -1});
    QVERIFY(panel.BusyBarRunning());
    QCOMPARE(panel.StatusText(), QStringLiteral("Counting files"));
    panel.OnStatus(sender, {"Copying", 40, "1.00KB/s", 10 * kSecond});
    QVERIFY(!panel.BusyBarRunning());
    QCOMPARE(panel.TotalBar()->maximum(), 100);
    QCOMPARE(panel.TotalBar()->value(), 40);
    QVERIFY(!panel.ErrorState());
    panel.OnStatus(sender, {"Copying", -1, "1.00KB/s", -1});
    QVERIFY(panel.BusyBarRunning());
    panel.OnStatus(sender, {"Thread Error : the drive is gone", -1, "N/A", -1, StatusPhase::ThreadError});
    QVERIFY(panel.ErrorState());
    QVERIFY(!panel.BusyBarRunning());

    QStringList progressed;
    QStringList errors;
    connect(&panel, &TThreadStatuesFrame::fileProgress, [&](const QString& t) { progressed.append(t); });
    connect(&panel, &TThreadStatuesFrame::threadError, [&](const QString& t) { errors.append(t); });
    panel.OnFileProgress(sender, {"Copying File: a.txt", 57.9});
    QCOMPARE(panel.FileActionText(), QStringLiteral("Copying File: a.txt"));
    QCOMPARE(panel.FileBar()->value(), 57);
    QCOMPARE(progressed, QStringList{QStringLiteral("Copying File: a.txt")});

    panel.OnLogEntry(sender, {"/home/a.txt", "Copy File", "Done", false});
    panel.OnLogEntry(sender, {"/home/b.txt", "Copy File", "Access denied", true});
    panel.OnThreadError(sender, {"Thread Error : the drive is gone", 5});
    QCOMPARE(panel.ErrorCount(), int64_t{1});
    QCOMPARE(errors.size(), 1);
    QVERIFY(WaitUntil([&] { return panel.LogModel().rowCount() == 3; }));
    const JobLogModel& model = panel.LogModel();
    QCOMPARE(Column(model, JobLogModel::Action),
             (std::vector<std::string>{"Copy File", "Copy File", "Thread Error"}));
    QCOMPARE(Column(model, JobLogModel::FileName),
             (std::vector<std::string>{"/home/a.txt", "/home/b.txt", "Thread Error : the drive is gone"}));
    QCOMPARE(Column(model, JobLogModel::Info), (std::vector<std::string>{"Done", "Access denied", ""}));
    QCOMPARE(Column(model, JobLogModel::TimeStamp)[0], std::string("12/09/2024 18:30:00"));
    for (int row = 0; row < 3; ++row)
        QCOMPARE(model.index(row, 0).data(Qt::UserRole).toInt(), row);

    // A flood of lines reaches the view in one batch, however many there are.
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 100000; ++i)
        panel.OnLogEntry(sender, {"/home/f" + std::to_string(i), "Copy File", "Done", false});
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(WaitUntil([&] { return model.rowCount() == 100003; }));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.index(100002, JobLogModel::FileName).data().toString(), QStringLiteral("/home/f99999"));

    // Clear takes the lines, not the count the finish message reports.
    panel.ClearButton()->click();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(panel.ErrorCount(), int64_t{1});
}

void StatusPanelTest::theClockShowsElapsedAndCountsTheRemainingTimeDown() {
    LinuxFileSystem files;
    ManualClock clock{kStart};
    TThreadStatuesFrame panel(clock, false);
    // Before any run the start is unknown.
    panel.Tick();
    QCOMPARE(panel.ElapsedText(), QStringLiteral("N/A"));

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto run = std::make_unique<JobRun>(JobKind::Backup, "Docs", &panel, panel.Sink().wake);
    auto worker = std::make_unique<ProbeThread>(ThreadServices{files, clock});
    worker->body = [released](ProbeThread&) { released.wait(); };
    run->Start(std::move(worker));
    JobRun& started = *run;
    panel.AttachRun(std::move(run));
    QVERIFY(panel.CancelButton()->isEnabled());
    QVERIFY(WaitUntil([&] { return started.Worker().StartTime() != 0; }));

    clock.Set(kStart + (3600 + 2 * 60 + 3) * kSecond);
    panel.Tick();
    QCOMPARE(panel.ElapsedText(), QStringLiteral("01 : 02 : 03"));

    panel.OnStatus(started.Worker(), {"Copying", 10, "N/A", 10 * kSecond});
    panel.Tick();
    QCOMPARE(panel.SpeedText(), QStringLiteral("Speed  N/A"));
    QCOMPARE(panel.RemainingText(), QStringLiteral("Remaing time N/A"));

    panel.OnStatus(started.Worker(), {"Copying", 10, "1.00KB/s", 10 * kSecond});
    QStringList shown;
    for (int tick = 0; tick < 10; ++tick) {
        panel.Tick();
        shown.append(panel.RemainingText());
    }
    QCOMPARE(panel.SpeedText(), QStringLiteral("Speed  1.00KB/s"));
    QCOMPARE(shown.front(), QStringLiteral("Remaing time 00 : 00 : 09"));
    QCOMPARE(shown[8], QStringLiteral("Remaing time 00 : 00 : 01"));
    QCOMPARE(shown[9], QStringLiteral("Remaing time N/A"));
    // A fresh estimate replaces the countdown.
    panel.OnStatus(started.Worker(), {"Copying", 20, "1.00KB/s", 5 * kSecond});
    panel.Tick();
    QCOMPARE(panel.RemainingText(), QStringLiteral("Remaing time 00 : 00 : 04"));

    release.set_value();
    QVERIFY(WaitUntil([&] { return panel.JobEnded(); }));
}

void StatusPanelTest::aRealBackupReachesTheLogLineByLineAndEndsWithClose() {
    constexpr int kFiles = 2000;
    BackupSetup setup(kFiles);
    TThreadStatuesFrame panel(setup.clock, false);
    panel.show();
    int started = 0;
    int finished = 0;
    bool finalOutcome = false;
    connect(&panel, &TThreadStatuesFrame::jobStarted, [&] { ++started; });
    connect(&panel, &TThreadStatuesFrame::jobFinished, [&](TThreadStatuesFrame* p) {
        ++finished;
        finalOutcome = p->Run()->Ended() && p->Run()->Outcome().filesDone >= kFiles;
    });
    QVERIFY(setup.StartInto(panel, setup.files));
    QCOMPARE(started, 1);
    QVERIFY(WaitUntil([&] { return finished == 1; }));
    QVERIFY(finalOutcome);
    QVERIFY(panel.JobEnded());
    QVERIFY(panel.Run()->Outcome().Complete());

    std::set<std::string> logged;
    for (const std::string& name : Column(panel.LogModel(), JobLogModel::FileName))
        if (name.ends_with(".txt")) QVERIFY2(logged.insert(name).second, name.c_str());
    QCOMPARE(static_cast<int>(logged.size()), kFiles);
    QVERIFY(fs::exists(setup.drive + "Backups/" + setup.source.substr(1) + "sub3/f1993.txt"));
    QCOMPARE(panel.ErrorCount(), int64_t{0});

    QVERIFY(panel.CloseButton()->isVisible());
    QVERIFY(panel.CancelButton()->isHidden());
    QCOMPARE(panel.TotalBar()->value(), 100);
    QVERIFY(!panel.BusyBarRunning());
    QCOMPARE(panel.FileActionText(), QStringLiteral("--------------------"));
    QVERIFY(panel.Run()->Worker().Finished());
    QList<TThreadStatuesFrame*> closing;
    connect(&panel, &TThreadStatuesFrame::closeRequested, [&](TThreadStatuesFrame* p) { closing.append(p); });
    panel.CloseButton()->click();
    QCOMPARE(closing, QList<TThreadStatuesFrame*>{&panel});
    QCOMPARE(finished, 1);
}

void StatusPanelTest::cancelDuringTheLowDiskQuestionEndsTheRunCancelled() {
    BackupSetup setup(3);
    LowSpaceFileSystem full(setup.files, {0});
    TThreadStatuesFrame panel(setup.clock, false);
    panel.show();
    QVERIFY(setup.StartInto(panel, full));
    QVERIFY(WaitUntil([&] { return panel.LowDiskDialog() && panel.LowDiskDialog()->isVisible(); }));
    QVERIFY(!panel.JobEnded());
    QVERIFY(!panel.LowDiskDialog()->Title().isEmpty());

    panel.CancelButton()->click();
    QCOMPARE(panel.CancelButton()->text(), QStringLiteral("Canceling..."));
    QVERIFY(!panel.CancelButton()->isEnabled());
    QVERIFY(WaitUntil([&] { return panel.JobEnded(); }));
    QVERIFY(panel.Run()->Outcome().cancelled);
    QVERIFY(panel.CloseButton()->isVisible());
    // The question went with the run; nothing was written.
    QVERIFY(WaitUntil([&] { return panel.LowDiskDialog() == nullptr; }));
    QVERIFY(!fs::exists(setup.drive + "Backups/" + setup.source.substr(1) + "sub0/f0.txt"));
}

void StatusPanelTest::retryInTheLowDiskQuestionLetsTheCopyGoOn() {
    BackupSetup setup(1);
    LowSpaceFileSystem lowThenRoomy(setup.files, {0, int64_t{1} << 40});
    TThreadStatuesFrame panel(setup.clock, false);
    panel.show();
    QVERIFY(setup.StartInto(panel, lowThenRoomy));
    QVERIFY(WaitUntil([&] { return panel.LowDiskDialog() && panel.LowDiskDialog()->isVisible(); }));
    panel.LowDiskDialog()->RetryButton()->click();
    QVERIFY(WaitUntil([&] { return panel.JobEnded(); }));
    QVERIFY2(panel.Run()->Outcome().Complete(), panel.Run()->Outcome().finishMessage.c_str());
    QCOMPARE(ReadFile(setup.drive + "Backups/" + setup.source.substr(1) + "sub0/f0.txt"),
             std::string("content 0"));
    QVERIFY(lowThenRoomy.SpaceQueries() >= 2);
}

void StatusPanelTest::autoCloseTakesTheTabAwayAfterTheFinishedSignal() {
    BackupSetup setup(5);
    QTabWidget pages;
    pages.addTab(new QWidget, QStringLiteral("Jobs"));
    QPointer<TThreadStatuesFrame> panel = CreateJobTab("Docs", pages, setup.clock, true);
    QPointer<QWidget> tab = pages.widget(1);
    QStringList order;
    connect(panel, &TThreadStatuesFrame::jobFinished, [&] { order.append("finished"); });
    connect(panel, &TThreadStatuesFrame::closeRequested, [&] { order.append("close"); });
    QVERIFY(setup.StartInto(*panel, setup.files));
    QVERIFY(WaitUntil([&] { return tab.isNull(); }));
    QVERIFY(panel.isNull());
    QCOMPARE(pages.count(), 1);
    QCOMPARE(pages.currentIndex(), 0);
    QCOMPARE(order, (QStringList{"finished", "close"}));
}

void StatusPanelTest::aPanelTakenDownWhileItsJobWaitsEndsTheJobFirst() {
    BackupSetup setup(3);
    LowSpaceFileSystem full(setup.files, {0});
    auto panel = std::make_unique<TThreadStatuesFrame>(setup.clock, false);
    panel->show();
    int finished = 0;
    bool cancelled = false;
    connect(panel.get(), &TThreadStatuesFrame::jobFinished, [&](TThreadStatuesFrame* p) {
        ++finished;
        cancelled = p->Run()->Outcome().cancelled;
    });
    QVERIFY(setup.StartInto(*panel, full));
    QVERIFY(WaitUntil([&] { return panel->LowDiskDialog() != nullptr; }));
    // The worker waits on the question; taking the panel down releases and joins it.
    panel.reset();
    QCOMPARE(finished, 1);
    QVERIFY(cancelled);
    QVERIFY(!fs::exists(setup.drive + "Backups/" + setup.source.substr(1) + "sub0/f0.txt"));
}

void StatusPanelTest::theLogIsSavedThroughTheSaveDialogByteForByte() {
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    ProbeThread sender({files, clock});
    TThreadStatuesFrame panel(clock, false);
    panel.SetDateTimeFormat(FixedStamp);
    panel.show();
    const std::string banner(82, '=');
    const std::string head = banner + "\r\n\t\t\t\tDrivlet File Log\r\n" + banner +
                             "\r\nTime Stamp\t\tAction\t\tStatus\tFile Name\r\n" + banner + "\r\n";
    const std::string tail = banner + "\r\nEnd Log.\r\n";

    const auto save = [&](const fs::path& file) {
        // The last dialog deletes itself once closed.
        QVERIFY(WaitUntil([&] { return !panel.findChild<QFileDialog*>(QStringLiteral("SaveLogDialog")); }));
        panel.SaveButton()->click();
        auto* dialog = panel.findChild<QFileDialog*>(QStringLiteral("SaveLogDialog"));
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("log"));
        QVERIFY(dialog->selectedFiles().value(0).endsWith(QStringLiteral("Drivlet.log")));
        dialog->selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog*>(dialog)->accept(); // as the dialog's own Save button
    };

    const fs::path empty = dir / "empty.log";
    save(empty);
    QVERIFY(WaitUntil([&] { return fs::exists(empty); }));
    QCOMPARE(ReadFile(empty), head + tail);

    panel.OnLogEntry(sender, {"/home/a.txt", "Copy File", "Done", false});
    panel.OnLogEntry(sender, {"/home/b.txt", "Copy File", "Access denied", true});
    panel.OnThreadError(sender, {"Disk full", 28});
    const std::string body = "12/09/2024 18:30:00\tCopy File\tSuccess\t/home/a.txt\r\n"
                             "12/09/2024 18:30:00\tCopy File\tFailed\t/home/b.txt\r\n"
                             "12/09/2024 18:30:00\tThread Error\tThread Error\tDisk full\r\n";
    // Replacing a file is asked first, without a nested loop: No keeps it, Yes replaces it.
    for (const QMessageBox::StandardButton reply : {QMessageBox::No, QMessageBox::Yes}) {
        save(empty);
        QMessageBox* box = nullptr;
        QVERIFY(WaitUntil([&] {
            for (QMessageBox* candidate : panel.findChildren<QMessageBox*>())
                if (candidate->isVisible()) box = candidate;
            return box != nullptr;
        }));
        box->button(reply)->click();
        QVERIFY(WaitUntil([&] { return panel.findChildren<QMessageBox*>().isEmpty(); }));
        QCOMPARE(ReadFile(empty), reply == QMessageBox::No ? head + tail : head + body + tail);
    }
}

void StatusPanelTest::aSaveThatCannotWriteShowsWhyAndKeepsTheLog() {
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    ProbeThread sender({files, clock});
    TThreadStatuesFrame panel(clock, false);
    panel.show();
    panel.OnLogEntry(sender, {"/home/a.txt", "Copy File", "Done", false});
    // A link into a folder that does not exist: the name is free, the write fails.
    const fs::path dangling = dir / "gone.log";
    fs::create_symlink(dir / "missing" / "x.log", dangling);
    QStringList failures;
    connect(&panel, &TThreadStatuesFrame::logSaveFailed, [&](const QString& why) { failures.append(why); });
    panel.SaveButton()->click();
    auto* dialog = panel.findChild<QFileDialog*>(QStringLiteral("SaveLogDialog"));
    QVERIFY(dialog);
    dialog->selectFile(QString::fromStdString(dangling.string()));
    static_cast<QDialog*>(dialog)->accept();
    QVERIFY(WaitUntil([&] { return !failures.isEmpty(); }));
    QVERIFY(!failures.front().isEmpty());
    QMessageBox* box = nullptr;
    QVERIFY(WaitUntil([&] {
        for (QMessageBox* candidate : panel.findChildren<QMessageBox*>())
            if (candidate->isVisible()) box = candidate;
        return box != nullptr;
    }));
    QVERIFY(box->informativeText().contains(failures.front()) || box->text().contains(failures.front()));
    box->button(QMessageBox::Ok)->click();
    QVERIFY(WaitUntil([&] { return panel.LogModel().rowCount() == 1; }));
    QVERIFY(!fs::exists(dir / "missing"));
}

QTEST_MAIN(StatusPanelTest)
#include "StatusPanelTest.moc"

// The conflict window and the prompt that shows it: rows, details, resolutions for some rows or
// all, and real sync runs with conflicts answered by pressing the window's buttons.
#include "core/launch/JobRunner.h"
#include "core/records/TSyncData.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/status/TThreadStatuesFrame.h"
#include "gui/sync/ConflictListModel.h"
#include "gui/sync/GuiConflictPrompt.h"
#include "gui/sync/ShowInFileManager.h"
#include "gui/sync/TFileSyncPromptDlg.h"
#include "gui/text/PlainText.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTextDocument>

#include <filesystem>

using namespace drivlet;
using namespace drivlet::gui;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

const TDateTime kStart = EncodeDateTime({2024, 6, 3, 8, 0, 0, 0});
const TDateTime kOlder = EncodeDateTime({2024, 6, 1, 8, 0, 0, 0});
const TDateTime kNewer = EncodeDateTime({2024, 6, 2, 8, 0, 0, 0});

std::string PlainDate(TDateTime value) {
    const DateParts p = DecodeDateTime(value);
    return std::to_string(p.day) + "." + std::to_string(p.month) + "." + std::to_string(p.year);
}

TFilePair Pair(const std::string& drive, int64_t driveSize, const std::string& computer, int64_t computerSize,
               TFileAction newest) {
    TFilePair pair;
    pair.FileA.Assign(drive, driveSize, kOlder);
    pair.FileB.Assign(computer, computerSize, kNewer);
    pair.FileAction = newest;
    pair.Ask = true;
    return pair;
}

QString Cell(const TFileSyncPromptDlg& window, int viewRow, int column) {
    return window.List()->model()->index(viewRow, column).data().toString();
}

int ViewRowOf(const TFileSyncPromptDlg& window, const QString& name) {
    for (int row = 0; row < window.List()->model()->rowCount(); ++row)
        if (Cell(window, row, ConflictListModel::Name) == name) return row;
    return -1;
}

void Select(TFileSyncPromptDlg& window, const QStringList& names) {
    QItemSelectionModel* selection = window.List()->selectionModel();
    selection->clearSelection();
    for (const QString& name : names) {
        const QModelIndex index = window.List()->model()->index(ViewRowOf(window, name), 0);
        selection->setCurrentIndex(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

// A folder standing for a drive and a computer folder with the same files changed on both sides.
struct SyncSetup {
    TempDir dir;
    LinuxFileSystem files;
    ManualClock clock{kStart};
    const std::string root = dir.path().string() + "/";
    const std::string drive = root + "STICK/";
    const std::string computer = root + "home/carol/Docs/";

    SyncSetup() {
        fs::create_directories(drive + "Config");
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            Make(drive + "Docs/" + name, std::string("drive ") + name, kOlder);
            Make(computer + name, std::string("pc ") + name, kNewer);
        }
    }
    void Make(const std::string& path, const std::string& content, TDateTime time) {
        fs::create_directories(fs::path(path).parent_path());
        WriteFile(path, content);
        files.SetFileTime(path, time);
    }
    std::string JobFile() {
        TSyncData job;
        job.SyncName = "Docs";
        job.PCID = "PC-1";
        job.FolderAList.Add("/Docs/");
        job.FolderBList.Add(computer);
        job.SyncDirection = TSyncDirection::sdBidi;
        job.SyncDefaultAction = TSyncDefaultAction::sdaAsk;
        const std::string file = drive + "Config/Docs.Usy";
        job.SaveCompressed(file);
        return file;
    }
    bool StartInto(TThreadStatuesFrame& panel, GuiConflictPrompt& prompt) {
        const JobRunner runner{{{files, clock}, "PC-1", {}, AnyFolderIsADrive}};
        PreparedJob job = runner.Prepare(JobFile());
        if (!job.Ready()) return false;
        const std::vector<int> yes(job.Questions().size(), dlg::Yes);
        const RunSink sink = panel.Sink();
        StartOptions options;
        options.prompt = &prompt;
        options.wake = sink.wake;
        JobStart start = runner.Start(std::move(job), yes, sink.events, options);
        if (!start.Started()) return false;
        panel.AttachRun(std::move(start.run));
        return true;
    }
};

// Stands for the desktop's file manager on the session bus.
class FakeFileManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

// Takes the URLs the desktop would open.
class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

} // namespace

class ConflictWindowTest : public QObject {
    Q_OBJECT
private slots:
    void rowsAreSortedWithTheirDatesTypesAndTheNewestVersion();
    void theDetailsAndResolutionsFollowTheSelection();
    void nothingToAskAnswersAtOnceAndDeletionsAreAskedYesOrNo();
    void aRealSyncAppliesTheResolutionsChosenInTheWindow();
    void cancellingTheWindowCancelsTheRunAndTouchesNothing();
    void withoutAFileManagerOnTheBusTheFoldersAreOpened();
    void theFileManagerIsAskedToShowTheFilesSelected();
    void namesHoldingMarkupAreShownAsTheyAre();
};

void ConflictWindowTest::rowsAreSortedWithTheirDatesTypesAndTheNewestVersion() {
    std::vector<TFilePair> pairs;
    pairs.push_back(Pair("/m/STICK/Docs/zeta.DOC", 10, "/home/c/zeta.DOC", 20, TFileAction::faCopyBA));
    pairs.push_back(
        Pair("/m/STICK/Docs/alpha.doc", 2048, "/home/c/alpha.doc", 3000000, TFileAction::faCopyBA));
    pairs.push_back(Pair("/m/STICK/Docs/README", 5, "/home/c/README", -1, TFileAction::faCopyAB));
    TFileSyncPromptDlg window(pairs, PlainDate);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("File Conflicts"));
    QCOMPARE(window.List()->model()->rowCount(), 3);
    QCOMPARE(Cell(window, 0, ConflictListModel::Name), QStringLiteral("alpha.doc"));
    QCOMPARE(Cell(window, 1, ConflictListModel::Name), QStringLiteral("README"));
    QCOMPARE(Cell(window, 2, ConflictListModel::Name), QStringLiteral("zeta.DOC"));
    QCOMPARE(Cell(window, 0, ConflictListModel::Drive), QStringLiteral("1.6.2024"));
    QCOMPARE(Cell(window, 0, ConflictListModel::Computer), QStringLiteral("2.6.2024"));
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(Cell(window, row, ConflictListModel::Action), QStringLiteral("Use the newest version"));
        QCOMPARE(window.List()->model()->index(row, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(0x0080FF));
    }
    // .DOC and .doc share one entry after the folder and the unknown type.
    const ConflictListModel& model = window.Model();
    QCOMPARE(model.IconIndex(0), model.IconIndex(1));
    QCOMPARE(model.IconIndex(0), 2);
    QCOMPARE(model.IconIndex(2), FileTypeCache::kUnknown);
    QCOMPARE(window.Types().Count(), 3);
    QCOMPARE(window.Types().TypeName(FileTypeCache::kUnknown), QStringLiteral("Unknown File"));
    QCOMPARE(window.Types().TypeName(FileTypeCache::kFolder), QStringLiteral("File Folder"));
    QVERIFY(!window.Types().TypeName(2).isEmpty());

    // Before any selection: nothing to show and nothing to choose.
    QCOMPARE(window.NameLabel()->text(), QStringLiteral("N/A"));
    QCOMPARE(window.DetailLabel(TFileSyncPromptDlg::Side::Computer, TFileSyncPromptDlg::Detail::Size)->text(),
             QStringLiteral("N/A"));
    QVERIFY(!window.ResolutionButton(TConflictResolution::DoNothing)->isEnabled());
    QVERIFY(!window.RepeatButton()->isEnabled());

    // OK without touching anything keeps the newer-wins rule for every pair.
    window.OkButton()->click();
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(window.Resolutions(), std::vector<TConflictResolution>(3, TConflictResolution::UseNewest));
}

void ConflictWindowTest::theDetailsAndResolutionsFollowTheSelection() {
    std::vector<TFilePair> pairs;
    pairs.push_back(Pair("/m/STICK/Docs/zeta.DOC", 10, "/home/c/zeta.DOC", 20, TFileAction::faCopyBA));
    pairs.push_back(
        Pair("/m/STICK/Docs/alpha.doc", 2048, "/home/c/alpha.doc", 3000000, TFileAction::faCopyBA));
    pairs.push_back(Pair("/m/STICK/Docs/README", 5, "/home/c/README", -1, TFileAction::faCopyAB));
    TFileSyncPromptDlg window(pairs, PlainDate);
    QStringList opened;
    window.SetOpener([&](const QStringList& paths) { opened += paths; });
    window.show();
    using Side = TFileSyncPromptDlg::Side;
    using Detail = TFileSyncPromptDlg::Detail;

    Select(window, {QStringLiteral("README")});
    QCOMPARE(window.NameLabel()->text(), QStringLiteral("README"));
    QCOMPARE(window.NameLabel()->toolTip(), QStringLiteral("/m/STICK/Docs/README"));
    QCOMPARE(window.TypeLabel()->text(), QStringLiteral("Unknown File"));
    QCOMPARE(window.DetailLabel(Side::Computer, Detail::Size)->text(), QStringLiteral("File Not Found"));
    QCOMPARE(window.DetailLabel(Side::Drive, Detail::Size)->text(), QStringLiteral("5 Bytes"));
    QCOMPARE(window.DetailLabel(Side::Drive, Detail::Modified)->text(), QStringLiteral("1.6.2024"));
    QCOMPARE(window.DetailLabel(Side::Drive, Detail::Location)->text(), QStringLiteral("/m/STICK/Docs"));
    QCOMPARE(window.DetailLabel(Side::Computer, Detail::Location)->text(), QStringLiteral("/home/c"));
    QVERIFY(window.ResolutionButton(TConflictResolution::UseNewest)->isChecked());
    QVERIFY(window.RepeatButton()->isEnabled());

    window.ResolutionButton(TConflictResolution::DoNothing)->click();
    const int readme = ViewRowOf(window, QStringLiteral("README"));
    QCOMPARE(Cell(window, readme, ConflictListModel::Action), QStringLiteral("Do nothing"));
    QCOMPARE(window.List()->model()->index(readme, 1).data(Qt::ForegroundRole).value<QColor>(),
             QColor(0xFF0080));

    Select(window, {QStringLiteral("alpha.doc")});
    QCOMPARE(window.DetailLabel(Side::Drive, Detail::Size)->text(), QStringLiteral("2 KB"));
    QCOMPARE(window.DetailLabel(Side::Computer, Detail::Size)->text(), QStringLiteral("2.86 MB"));
    // Choosing for two rows at once; the radio shows the first selected row's resolution.
    Select(window, {QStringLiteral("alpha.doc"), QStringLiteral("zeta.DOC")});
    window.ResolutionButton(TConflictResolution::UseComputer)->click();
    QCOMPARE(window.Resolutions(), (std::vector<TConflictResolution>{TConflictResolution::UseComputer,
                                                                     TConflictResolution::UseComputer,
                                                                     TConflictResolution::DoNothing}));
    QCOMPARE(window.List()->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0x009148));
    Select(window, {QStringLiteral("README"), QStringLiteral("zeta.DOC")});
    QVERIFY(window.ResolutionButton(TConflictResolution::DoNothing)->isChecked());

    window.List()->doubleClicked(window.List()->currentIndex());
    QCOMPARE(opened, (QStringList{QStringLiteral("/m/STICK/Docs/README"), QStringLiteral("/home/c/README")}));

    window.ResolutionButton(TConflictResolution::UseDrive)->click();
    window.RepeatButton()->click();
    QCOMPARE(window.Resolutions(), std::vector<TConflictResolution>(3, TConflictResolution::UseDrive));
    QCOMPARE(window.List()->model()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(0x72AE00));

    window.List()->selectionModel()->clearSelection();
    QCOMPARE(window.NameLabel()->text(), QStringLiteral("N/A"));
    QVERIFY(window.TypeLabel()->text().isEmpty());
    QVERIFY(!window.RepeatButton()->isEnabled());
    opened.clear();
    window.OpenSelectedInFileManager();
    QVERIFY(opened.isEmpty());
}

void ConflictWindowTest::nothingToAskAnswersAtOnceAndDeletionsAreAskedYesOrNo() {
    GuiConflictPrompt prompt;
    Answer<ConflictAnswer> none;
    std::future<ConflictAnswer> noneFuture = none.Future();
    prompt.Resolve({}, none);
    QVERIFY(none.Given());
    QVERIFY(!prompt.ConflictWindow());
    const ConflictAnswer nothing = noneFuture.get();
    QVERIFY(nothing.has_value() && nothing->empty());

    for (const QMessageBox::StandardButton reply : {QMessageBox::Yes, QMessageBox::No}) {
        Answer<bool> answer;
        std::future<bool> future = answer.Future();
        prompt.ConfirmDeletions({"/home/c/Photos/"}, 12, answer);
        QVERIFY(prompt.DeletionsBox());
        QVERIFY(!answer.Given());
        const QString shown = prompt.DeletionsBox()->text() + prompt.DeletionsBox()->informativeText();
        QVERIFY2(shown.contains(QStringLiteral("/home/c/Photos/")) && shown.contains(QStringLiteral("12")),
                 qPrintable(shown));
        prompt.DeletionsBox()->button(reply)->click();
        QVERIFY(WaitUntil([&] { return answer.Given(); }));
        QCOMPARE(future.get(), reply == QMessageBox::Yes);
    }
}

void ConflictWindowTest::aRealSyncAppliesTheResolutionsChosenInTheWindow() {
    SyncSetup setup;
    TThreadStatuesFrame panel(setup.clock, false);
    GuiConflictPrompt prompt(&panel);
    QVERIFY(setup.StartInto(panel, prompt));
    QVERIFY(WaitUntil([&] { return prompt.ConflictWindow() && prompt.ConflictWindow()->isVisible(); }));
    TFileSyncPromptDlg& window = *prompt.ConflictWindow();
    QCOMPARE(window.List()->model()->rowCount(), 3);
    QVERIFY(!panel.JobEnded());

    Select(window, {QStringLiteral("b.txt")});
    window.ResolutionButton(TConflictResolution::DoNothing)->click();
    Select(window, {QStringLiteral("c.txt")});
    window.ResolutionButton(TConflictResolution::UseDrive)->click();
    window.OkButton()->click();
    QVERIFY(WaitUntil([&] { return panel.JobEnded(); }));
    QVERIFY2(panel.Run()->Outcome().Complete(), panel.Run()->Outcome().finishMessage.c_str());

    // a.txt: the newer computer file won; b.txt: left alone; c.txt: the drive's older one chosen.
    QCOMPARE(ReadFile(setup.drive + "Docs/a.txt"), std::string("pc a.txt"));
    QCOMPARE(ReadFile(setup.computer + "a.txt"), std::string("pc a.txt"));
    QCOMPARE(ReadFile(setup.drive + "Docs/b.txt"), std::string("drive b.txt"));
    QCOMPARE(ReadFile(setup.computer + "b.txt"), std::string("pc b.txt"));
    QCOMPARE(ReadFile(setup.computer + "c.txt"), std::string("drive c.txt"));
    QCOMPARE(ReadFile(setup.drive + "Docs/c.txt"), std::string("drive c.txt"));
}

void ConflictWindowTest::cancellingTheWindowCancelsTheRunAndTouchesNothing() {
    for (const bool byCloseBox : {false, true}) {
        SyncSetup setup;
        TThreadStatuesFrame panel(setup.clock, false);
        GuiConflictPrompt prompt(&panel);
        QVERIFY(setup.StartInto(panel, prompt));
        QVERIFY(WaitUntil([&] { return prompt.ConflictWindow() && prompt.ConflictWindow()->isVisible(); }));
        Select(*prompt.ConflictWindow(), {QStringLiteral("a.txt")});
        prompt.ConflictWindow()->ResolutionButton(TConflictResolution::UseDrive)->click();
        if (byCloseBox)
            prompt.ConflictWindow()->close();
        else
            prompt.ConflictWindow()->CancelButton()->click();
        QVERIFY(WaitUntil([&] { return panel.JobEnded(); }));
        QVERIFY(panel.Run()->Outcome().cancelled);
        QVERIFY2(panel.StatusText().contains(QStringLiteral("Canceled")), qPrintable(panel.StatusText()));
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            QCOMPARE(ReadFile(setup.drive + "Docs/" + name), std::string("drive ") + name);
            QCOMPARE(ReadFile(setup.computer + name), std::string("pc ") + name);
        }
    }
}

void ConflictWindowTest::withoutAFileManagerOnTheBusTheFoldersAreOpened() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() &&
        bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1")))
        QSKIP("a file manager is on this session bus; it would be asked instead");
    TempDir dir;
    WriteFile(dir / "drive" / "a.txt", "a");
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    // A file that is there, and one that is not: each folder opens once.
    ShowInFileManager({QString::fromStdString((dir / "drive" / "a.txt").string()),
                       QString::fromStdString((dir / "pc" / "a.txt").string())});
    QVERIFY(WaitUntil([&] { return catcher.opened.size() == 2; }));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QStringList folders;
    for (const QUrl& url : catcher.opened)
        folders.append(url.toLocalFile());
    folders.sort();
    QCOMPARE(folders, (QStringList{QString::fromStdString((dir / "drive").string()),
                                   QString::fromStdString((dir / "pc").string())}));
}

void ConflictWindowTest::theFileManagerIsAskedToShowTheFilesSelected() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) QSKIP("no session bus here (run under dbus-run-session to include this case)");
    FakeFileManager manager;
    if (!bus.registerService(QStringLiteral("org.freedesktop.FileManager1")) ||
        !bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                            QDBusConnection::ExportAllSlots))
        QSKIP("the file manager's name is taken on this bus");
    TempDir dir;
    WriteFile(dir / "a.txt", "a");
    WriteFile(dir / "b.txt", "b");
    ShowInFileManager(
        {QString::fromStdString((dir / "a.txt").string()), QString::fromStdString((dir / "b.txt").string())});
    QVERIFY(WaitUntil([&] { return manager.shown.size() == 2; }));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    QCOMPARE(manager.shown.front(),
             QUrl::fromLocalFile(QString::fromStdString((dir / "a.txt").string())).toString());
}

// A file on the drive named to look like markup, and a message beginning with a job file's path:
// every label shows the characters themselves, and a tooltip carries them escaped.
void ConflictWindowTest::namesHoldingMarkupAreShownAsTheyAre() {
    // (A name cannot hold a slash, so the heading is never closed; Qt renders it all the same.)
    const QString name = QStringLiteral("<h1>Click Yes<br>.txt");
    std::vector<TFilePair> pairs;
    pairs.push_back(Pair("/m/STICK/Docs/" + name.toStdString(), 10, "/home/c/" + name.toStdString(), 20,
                         TFileAction::faCopyBA));
    TFileSyncPromptDlg window(pairs, PlainDate);
    window.show();
    Select(window, {name});
    QCOMPARE(window.NameLabel()->text(), name);
    for (const QLabel* label : window.findChildren<QLabel*>())
        QCOMPARE(label->textFormat(), Qt::PlainText);
    // The tooltip is the whole path, shown as it is (escaped where Qt would take it for markup).
    const QString tip = window.NameLabel()->toolTip();
    QTextDocument rendered;
    rendered.setHtml(tip);
    QCOMPARE(Qt::mightBeRichText(tip) ? rendered.toPlainText() : tip,
             QStringLiteral("/m/STICK/Docs/") + name);

    const std::string text = "<b>/m/STICK/Config/Job.Ubk</b>: The job is already running";
    const QPointer<QMessageBox> box =
        OpenMessageBox(nullptr, text, "<i>Load Job</i>", MessageKind::Error, BoxButtons::Ok, {}, "Drivlet");
    QVERIFY(box);
    bool shown = false;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        QCOMPARE(label->textFormat(), Qt::PlainText);
        shown = shown || label->text() == QString::fromStdString(text);
    }
    QVERIFY(shown);
    box->close();
}

QTEST_MAIN(ConflictWindowTest)
#include "ConflictWindowTest.moc"

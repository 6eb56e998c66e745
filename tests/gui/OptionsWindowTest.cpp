// The Options window over a real settings record, program database, store folder and autostart
// folder in a temporary folder: its controls filled from the settings, Save writing the file a
// restart reads back, the launch at log-in switched with its caption, and the store emptied after
// the question (answered by callback) with the used size then reading 0.00.
#include "gui/options/OptionsWindow.h"

#include "core/db/ProgramDatabase.h"
#include "core/records/TProgramData.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

#include <unistd.h>

using namespace drivlet;
using namespace drivlet::gui;
using drivlet::test::WaitUntil;
namespace fs = std::filesystem;

class OptionsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<TProgramData> settings_;
    std::unique_ptr<ProgramDatabase> database_;
    int64_t measured_ = 0;

    fs::path Root() const { return dir_->path() / "root"; }
    fs::path ConfigHome() const { return dir_->path() / "config"; }

    std::unique_ptr<OptionsWindow> MakeWindow() {
        return std::make_unique<OptionsWindow>(OptionsServices{
            *settings_, Root(), *database_, LinuxFileSystem::Instance(),
            AutostartEntry(ConfigHome(), "/opt/drivlet/bin/drivlet"), [this] { return measured_; },
            [this] { measured_ = database_->DeletedFilesSize(); }});
    }

private slots:
    void init() {
        dir_ = std::make_unique<test::TempDir>();
        fs::create_directories(Root() / "ConfigData");
        settings_ = std::make_unique<TProgramData>(Root());
        database_ = std::make_unique<ProgramDatabase>(ProgramDatabase::PathFor(Root()));
        measured_ = 0;
    }
    void cleanup() {
        database_.reset();
        dir_.reset();
    }

    void controlsShowTheSettingsAndSaveWritesWhatARestartReads() {
        settings_->ShowHidden = true;
        settings_->ScheduleRunMode = TScheduleRunMode::srmNext;
        settings_->MaxDeletedSize = int64_t{1500} * 1048576 + 12345;
        auto window = MakeWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Options"));
        // The store folder is made when the window is.
        QVERIFY(fs::is_directory(settings_->DeletedFolder));
        QVERIFY(test::FindByText<QCheckBox>(*window, "Display hidden files")->isChecked());
        QVERIFY(test::FindByText<QCheckBox>(*window, "Auto start when USB drive is inserted ")->isChecked());
        QVERIFY(!test::FindByText<QCheckBox>(*window, "Enable mini window")->isChecked());
        QVERIFY(test::FindByText<QRadioButton>(*window, "Run as USB disk insertion")->isChecked());
        auto* limit = window->findChild<QSpinBox*>();
        QCOMPARE(limit->value(), 1500);
        QCOMPARE(limit->minimum(), 100);
        QCOMPARE(limit->maximum(), 6000000);
        QCOMPARE(limit->singleStep(), 100);
        QVERIFY(test::FindByText<QLabel>(*window, QString::fromStdString(settings_->DeletedFolder)) !=
                nullptr);

        // Edits stay in the window until Save.
        test::FindByText<QCheckBox>(*window, "Auto start when USB drive is inserted ")->setChecked(false);
        test::FindByText<QCheckBox>(*window, "Enable mini window")->setChecked(true);
        test::FindByText<QRadioButton>(*window, "Skip")->setChecked(true);
        limit->setValue(5000);
        const fs::path store = dir_->path() / "My Store";
        fs::create_directories(store);
        window->ChooseFolder(QString::fromStdString(store.string()));                      // no trailing "/"
        window->ChooseFolder(QString::fromStdString((dir_->path() / "missing").string())); // ignored
        QVERIFY(settings_->DriveAutoRun);
        QVERIFY(!fs::exists(TProgramData::SettingsFile(Root())));

        QVERIFY(window->Save());
        QVERIFY(fs::exists(TProgramData::SettingsFile(Root())));
        TProgramData restarted(Root());
        QVERIFY(restarted.LoadCompressed(TProgramData::SettingsFile(Root())) == LoadResult::Loaded);
        QCOMPARE(restarted.MaxDeletedSize, int64_t{5000} * 1048576);
        QCOMPARE(restarted.DeletedFolder, store.string() + "/");
        QVERIFY(!restarted.DriveAutoRun);
        QVERIFY(restarted.MiniWindows);
        QVERIFY(restarted.ShowHidden);
        QVERIFY(restarted.ScheduleRunMode == TScheduleRunMode::srmSkip);
    }

    void aSettingsFileThatCannotBeWrittenIsSaidAndTheWindowStays() {
        if (geteuid() == 0) QSKIP("root writes into a read-only folder");
        auto window = MakeWindow();
        fs::permissions(Root() / "ConfigData", fs::perms::owner_read | fs::perms::owner_exec);
        QVERIFY(!window->Save());
        QMessageBox* box = nullptr;
        QVERIFY(WaitUntil([&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
            return box != nullptr;
        }));
        QVERIFY(box->informativeText().contains("could not be saved"));
        fs::permissions(Root() / "ConfigData", fs::perms::owner_all);
    }

    void theLaunchAtLogInButtonSwitchesTheAutostartEntry() {
        auto window = MakeWindow();
        window->show();
        QPushButton* button = window->AutostartButton();
        QCOMPARE(button->text(), QStringLiteral("Enable launch at windows startup"));
        const fs::path entry = ConfigHome() / "autostart" / "Drivlet.desktop";
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(fs::exists(entry));
        QVERIFY(test::ReadFile(entry).find("Exec=/opt/drivlet/bin/drivlet") != std::string::npos);
        QCOMPARE(button->text(), QStringLiteral("Disable launch at windows startup"));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!fs::exists(entry));
        QCOMPARE(button->text(), QStringLiteral("Enable launch at windows startup"));
        // An entry made elsewhere meanwhile is seen when the window is shown again.
        fs::create_directories(entry.parent_path());
        test::WriteFile(entry, "[Desktop Entry]\nType=Application\nExec=/x\n");
        window->hide();
        window->show();
        QCOMPARE(button->text(), QStringLiteral("Disable launch at windows startup"));
    }

    void emptyingTheStoreAsksThenLeavesTheFolderEmptyAndTheSizeAtZero() {
        const fs::path store = settings_->DeletedFolder;
        fs::create_directories(store / "home/a/docs");
        test::WriteFile(store / "home/a/docs/letter.txt", std::string(3 * 1048576, 'x'));
        test::WriteFile(store / "top.bin", "y");
        database_->LogDeletedFile("home/a/docs/letter.txt", 3 * 1048576);
        settings_->MaxDeletedSize = int64_t{100} * 1048576;
        auto window = MakeWindow();
        window->show();
        QCOMPARE(window->UsedSizeText(), QStringLiteral("3.00"));

        // No: nothing goes.
        QTest::mouseClick(window->EmptyButton(), Qt::LeftButton);
        QVERIFY(WaitUntil([&] { return window->OpenQuestion() && window->OpenQuestion()->isVisible(); }));
        QMessageBox* question = window->OpenQuestion();
        QCOMPARE(question->text(), QStringLiteral("Delete Files?"));
        QVERIFY(question->informativeText().startsWith(
            "Are you sure u want to delete all files in deleted files folder?\nFolder : "));
        question->button(QMessageBox::No)->click();
        QVERIFY(WaitUntil([&] { return window->OpenQuestion() == nullptr; }));
        QVERIFY(fs::exists(store / "top.bin"));

        // Yes: the folder stays, empty, its log cleared and the used size read again.
        QTest::mouseClick(window->EmptyButton(), Qt::LeftButton);
        QVERIFY(WaitUntil([&] { return window->OpenQuestion() && window->OpenQuestion()->isVisible(); }));
        window->OpenQuestion()->button(QMessageBox::Yes)->click();
        QVERIFY(WaitUntil([&] { return window->UsedSizeText() == QStringLiteral("0.00"); }));
        QVERIFY(fs::is_directory(store));
        QVERIFY(fs::is_empty(store));
        QCOMPARE(database_->DeletedFilesSize(), int64_t{0});
    }
};

QTEST_MAIN(OptionsWindowTest)
#include "OptionsWindowTest.moc"

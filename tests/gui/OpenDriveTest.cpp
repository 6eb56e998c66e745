// The Open Drive dialog over drives of the test's own (temporary folders, one on USB and one on a
// fixed disk): the list with the USB filter, the chosen drive's labels and pie, "Next" with no
// choice (a box, the dialog stays) and with a stick that does not know this computer yet
// (registered, then handed on).
#include "gui/drives/TOpenDrive.h"

#include "core/drives/DriveRegistry.h"
#include "gui/drives/SpacePie.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

using namespace drivlet;
using namespace drivlet::gui;
using drivlet::test::WaitUntil;

namespace {

constexpr const char* kComputer = "1A2B - 3C4D";

// Mounted drives and their buses as the test sets them.
class TestVolumes final : public IVolumeSystem {
public:
    std::vector<std::pair<std::string, std::string>> drives; // path, bus

    std::optional<VolumeFacts> ReadVolume(const std::string&) const override { return std::nullopt; }
    uint32_t DriveType(const std::string&) const override { return 0; }
    std::string SystemFolder() const override { return "/"; }
    std::string DrivePathOf(const std::string&) const override { return {}; }
    std::optional<uint32_t> MachineSerial() const override { return std::nullopt; }
    std::vector<MountedDrive> MountedDrives() const override {
        std::vector<MountedDrive> out;
        for (const auto& [path, bus] : drives)
            out.push_back({path, "vfat", "/dev/x"});
        return out;
    }
    std::string InterfaceTypeOfDrive(const std::string& drivePath) const override {
        for (const auto& [path, bus] : drives)
            if (path == drivePath) return bus;
        return {};
    }
};

// The value shown beside a caption (checked to be there).
QString LabelBeside(QWidget& dialog, const QString& caption) {
    static const QHash<QString, QString> names{{"Drive Name : ", "driveName"},
                                               {"Used  / Free Space : ", "usedFreeSpace"},
                                               {"Total Space : ", "totalSpace"}};
    bool captioned = false;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        captioned = captioned || label->text() == caption;
    auto* value = dialog.findChild<QLabel*>(names.value(caption));
    return captioned && value ? value->text() : QStringLiteral("(missing)");
}

} // namespace

class OpenDriveTest : public QObject {
    Q_OBJECT

private slots:
    void listsTheUsbDrivesShowsTheirSpaceAndRegistersTheChosenOne() {
        test::TempDir dir;
        const std::string stick = (dir / "STICK").string() + "/";
        const std::string fixed = (dir / "data").string() + "/";
        std::filesystem::create_directories(stick);
        std::filesystem::create_directories(fixed);
        TestVolumes volumes;
        volumes.drives = {{fixed, "SCSI"}, {stick, "USB"}};

        TOpenDrive dialog(OpenDriveServices{volumes, LinuxFileSystem::Instance(), kComputer});
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Drivlet"));
        QCOMPARE(dialog.List()->count(), 2);
        dialog.SetFilter(QStringLiteral("usb"));
        QCOMPARE(dialog.List()->count(), 1);
        QCOMPARE(dialog.List()->item(0)->text(), QStringLiteral("STICK"));
        QCOMPARE(LabelBeside(dialog, "Drive Name : "), QStringLiteral("N/A"));
        QCOMPARE(LabelBeside(dialog, "Used  / Free Space : "), QStringLiteral("0.00 Gb / 0.00 Gb"));
        QCOMPARE(LabelBeside(dialog, "Total Space : "), QStringLiteral("0.00 Gb"));

        // No choice: a box, and the dialog stays.
        dialog.open();
        QVERIFY(!dialog.Next());
        QVERIFY(WaitUntil([&] { return dialog.OpenError() && dialog.OpenError()->isVisible(); }));
        QCOMPARE(dialog.OpenError()->text(), QStringLiteral("Errors In Input."));
        QVERIFY(dialog.isVisible());
        dialog.OpenError()->button(QMessageBox::Ok)->click();

        dialog.List()->setCurrentRow(0);
        QCOMPARE(LabelBeside(dialog, "Drive Name : "), QStringLiteral("STICK"));
        const DiskSpace space = LinuxFileSystem::Instance().GetDiskSpace(stick);
        QCOMPARE(dialog.Shown().free, space.freeBytes);
        QCOMPARE(dialog.findChild<SpacePie*>()->Free(), space.freeBytes);
        QVERIFY(LabelBeside(dialog, "Used  / Free Space : ").contains(QStringLiteral(" / ")));

        QSignalSpy chosen(&dialog, &TOpenDrive::driveChosen);
        QVERIFY(!IsDriveKnown(stick, kComputer));
        QVERIFY(dialog.Next());
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.front().front().toString(), QString::fromStdString(stick));
        QVERIFY(IsDriveKnown(stick, kComputer));
        QVERIFY(!dialog.isVisible());

        // A stick plugged in meanwhile is listed after "Refresh Drive List".
        const std::string second = (dir / "SECOND").string() + "/";
        std::filesystem::create_directories(second);
        volumes.drives.push_back({second, "USB"});
        QCOMPARE(dialog.List()->count(), 1);
        dialog.RefreshDriveList();
        QCOMPARE(dialog.List()->count(), 2);
    }
};

QTEST_MAIN(OpenDriveTest)
#include "OpenDriveTest.moc"

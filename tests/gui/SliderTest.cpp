// The notification slider: entries added as "Loading..." and given their actions, removing an
// entry that is gone doing nothing, the "No job is  running..." text while the list is empty, its
// place at the bottom right above the task bar, and the auto-close countdown (six half-second
// steps with their captions; the mouse over it stops it; unchecked, it stays).
#include "core/status/SliderCountdown.h"
#include "gui/tray/TSliderForm.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace drivlet;
using namespace drivlet::gui;

class SliderTest : public QObject {
    Q_OBJECT

private slots:
    void entriesComeAndGoAndTheEmptyTextFollows() {
        TSliderForm slider;
        QVERIFY(slider.EmptyTextShown());
        const int photos = slider.AddJobItem(QStringLiteral("Photos"), TSliderForm::BackupImage);
        const int letters = slider.AddJobItem(QStringLiteral("Letters"), TSliderForm::SyncImage);
        QVERIFY(!slider.EmptyTextShown());
        QCOMPARE(slider.EntryCount(), 2);
        QCOMPARE(slider.ActionOf(photos), QStringLiteral("Loading..."));
        slider.SetJobAction(photos, QStringLiteral("File : /home/a/x.jpg"));
        QCOMPARE(slider.ActionOf(photos), QStringLiteral("File : /home/a/x.jpg"));
        slider.RemoveJobItem(photos);
        slider.RemoveJobItem(photos); // gone already: nothing
        slider.SetJobAction(photos, QStringLiteral("late"));
        QCOMPARE(slider.EntryCount(), 1);
        QVERIFY(!slider.EmptyTextShown());
        slider.RemoveJobItem(letters);
        QVERIFY(slider.EmptyTextShown());
    }

    void itSitsAtTheBottomRightAndClosesAfterThreeSeconds() {
        TSliderForm slider;
        QSignalSpy clicked(&slider, &TSliderForm::entryActivated);
        slider.ShowSlider();
        QCOMPARE(slider.size(), QSize(316, 194));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(slider.geometry().right(), area.right());
        QCOMPARE(slider.geometry().bottom(), area.bottom());
        QCOMPARE(slider.AutoClose().text(), QStringLiteral("Auto Close"));
        const QStringList captions{"Auto Closing In 2.50  Seconds", "Auto Closing In 2.00  Seconds",
                                   "Auto Closing In 1.50  Seconds", "Auto Closing In 1.00  Seconds",
                                   "Auto Closing In 0.50  Seconds"};
        for (const QString& caption : captions) {
            slider.CountdownStep();
            QCOMPARE(slider.AutoClose().text(), caption);
            QVERIFY(slider.isVisible());
        }
        slider.CountdownStep();
        QVERIFY(!slider.isVisible());

        // Shown again, the countdown starts over; unchecked, it never closes the slider.
        slider.ShowSlider();
        QCOMPARE(slider.AutoClose().text(), QStringLiteral("Auto Close"));
        slider.AutoClose().setChecked(false);
        QVERIFY(slider.isVisible());
    }

    void theCountdownRule() {
        SliderCountdown countdown;
        for (int i = 0; i < 5; ++i)
            QVERIFY(!countdown.Step());
        QVERIFY(countdown.Step());
        countdown.Restart();
        QCOMPARE(countdown.RemainingMs(), 3000);
    }
};

QTEST_MAIN(SliderTest)
#include "SliderTest.moc"

// The low-disk question: each way of closing it gives its result once, after the fade-out, and
// the window fits its texts.
#include "gui/dialogs/TSkipAbortRetryDialog.h"
#include "support/GuiTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <functional>

using namespace drivlet::gui;
using namespace drivlet::test;

class SkipAbortRetryDialogTest : public QObject {
    Q_OBJECT
private slots:
    void eachWayOfClosingGivesItsResultOnce();
    void theWindowFitsItsTextsAndShortensLongPaths();
};

namespace {

// Opens a dialog, closes it the given way and returns every result it reported.
QList<int> Results(const std::function<void(TSkipAbortRetryDialog&)>& choose) {
    TSkipAbortRetryDialog dialog;
    dialog.SetTitle(QStringLiteral("Low Disk Space"));
    dialog.SetMessage(QStringLiteral("There is not enough room on the drive."));
    QList<int> results;
    QObject::connect(&dialog, &QDialog::finished, [&](int result) { results.append(result); });
    dialog.open();
    if (!QTest::qWaitForWindowExposed(&dialog)) return {-1};
    choose(dialog);
    if (!WaitUntil([&] { return !dialog.isVisible(); })) return {-2};
    // Whatever is chosen after the first choice changes nothing.
    dialog.RetryButton()->click();
    return results;
}

} // namespace

void SkipAbortRetryDialogTest::eachWayOfClosingGivesItsResultOnce() {
    QCOMPARE(Results([](TSkipAbortRetryDialog& d) { d.RetryButton()->click(); }), QList<int>{4});
    QCOMPARE(Results([](TSkipAbortRetryDialog& d) { d.SkipButton()->click(); }), QList<int>{2});
    QCOMPARE(Results([](TSkipAbortRetryDialog& d) { d.AbortButton()->click(); }), QList<int>{3});
    QCOMPARE(Results([](TSkipAbortRetryDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), QList<int>{2});
    QCOMPARE(Results([](TSkipAbortRetryDialog& d) { d.close(); }), QList<int>{2});
    // A second button pressed during the fade-out does not change the first choice.
    QCOMPARE(Results([](TSkipAbortRetryDialog& d) {
                 d.AbortButton()->click();
                 d.SkipButton()->click();
             }),
             QList<int>{3});
}

void SkipAbortRetryDialogTest::theWindowFitsItsTextsAndShortensLongPaths() {
    TSkipAbortRetryDialog dialog;
    const QString path =
        QStringLiteral("/media/gail/STICK/") + QString(300, QLatin1Char('x')) + QStringLiteral("/end.txt");
    dialog.SetTitle(QStringLiteral("Low Disk Space"));
    dialog.SetMessage(QStringLiteral("No room to copy ") + path);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.width(), TSkipAbortRetryDialog::kClientWidth);
    QCOMPARE(dialog.Message(), QStringLiteral("No room to copy ") + path);
    QLabel* shown = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text().startsWith(QStringLiteral("No room"))) shown = label;
    QVERIFY(shown);
    QVERIFY(shown->text().contains(QStringLiteral("/media/gail")));
    QVERIFY(shown->text().endsWith(QStringLiteral("end.txt")));
    QVERIFY(shown->text().size() < dialog.Message().size());
    // Tall enough for both texts and the buttons, not taller than needed.
    QVERIFY(dialog.height() >= shown->sizeHint().height() + dialog.RetryButton()->height());
    QVERIFY(dialog.height() < 400);
    QVERIFY(dialog.RetryButton()->x() < dialog.AbortButton()->x());
    QVERIFY(dialog.AbortButton()->x() < dialog.SkipButton()->x());
    dialog.RetryButton()->click();
    QVERIFY(WaitUntil([&] { return !dialog.isVisible(); }));
    QCOMPARE(dialog.result(), TSkipAbortRetryDialog::kRetry);
}

QTEST_MAIN(SkipAbortRetryDialogTest)
#include "SkipAbortRetryDialogTest.moc"

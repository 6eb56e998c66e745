// The login manager client against python3-dbusmock's logind on a private bus: the inhibitor lock
// taken while a job runs, and the power-off (or the session's end) asked for once the last job of
// a refused shut-down has ended.
#include "core/schedule/run/ShutdownCoordinator.h"
#include "core/time/DateTime.h"
#include "gui/tray/TrayController.h"
#include "platform/linux/LogindClient.h"
#include "support/GuiTestSupport.h"
#include "support/HeldRuns.h"
#include "support/TempDir.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace drivlet;
using namespace drivlet::gui;
using drivlet::test::WaitUntil;

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");

struct Inhibitor {
    QString what, who, why, mode;
};

class SilentIcon final : public ITrayIcon {
public:
    void SetVisible(bool) override {}
    void SetIcon(const QIcon&) override {}
    void SetToolTip(const QString&) override {}
    void ShowBalloon(const QString&, const QString&, BalloonIcon) override {}
    void SetMenu(QMenu*) override {}
    void SetDoubleClickHandler(std::function<void()>) override {}
    void SetClickHandler(std::function<void()>) override {}
};

// A python that has dbusmock; empty when none has.
QString PythonWithDbusmock() {
    for (const QString& candidate : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(candidate, {"-c", "import dbusmock"});
        if (probe.waitForFinished(60000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0)
            return candidate;
    }
    return {};
}

} // namespace

class LogindTest : public QObject {
    Q_OBJECT

    QProcess daemon_;
    QProcess mock_;
    QString address_;
    QString python_;
    std::unique_ptr<test::TempDir> dir_;

    QDBusConnection Bus() { return QDBusConnection(QStringLiteral("mock-bus")); }

    QList<Inhibitor> Inhibitors() {
        QDBusMessage call = QDBusMessage::createMethodCall(kLogind, kPath, "org.freedesktop.login1.Manager",
                                                           "ListInhibitors");
        const QDBusMessage reply = Bus().call(call);
        QList<Inhibitor> out;
        if (reply.type() != QDBusMessage::ReplyMessage) return out;
        const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            Inhibitor i;
            uint uid = 0, pid = 0;
            arg.beginStructure();
            arg >> i.what >> i.who >> i.why >> i.mode >> uid >> pid;
            arg.endStructure();
            out << i;
        }
        arg.endArray();
        return out;
    }

    QString CallLog() {
        QFile f(QString::fromStdString((dir_->path() / "calls.log").string()));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    void EmitPrepareForShutdown() {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kLogind, kPath, "org.freedesktop.DBus.Mock", "EmitSignal");
        call << QStringLiteral("org.freedesktop.login1.Manager") << QStringLiteral("PrepareForShutdown")
             << QStringLiteral("b") << QVariantList{true};
        const QDBusMessage reply = Bus().call(call);
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    }

    std::unique_ptr<TrayController> Controller(LogindClient& logind, const ManualClock& clock) {
        TrayServices services;
        services.completePendingShutdown = [&logind](bool logOff) { return logind.EndSession(logOff); };
        auto tray =
            std::make_unique<TrayController>(TrayEnvironment{dir_->path() / "root", "1A2B - 3C4D", clock,
                                                             [] { return std::vector<std::string>{}; }},
                                             std::move(services), std::make_unique<SilentIcon>());
        connect(tray.get(), &TrayController::shutdownBlockChanged, tray.get(),
                [&logind](bool block) { logind.SetBlock(block); });
        return tray;
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("dbus-daemon is not installed (package dbus): no bus to run logind's mock on");
        python_ = PythonWithDbusmock();
        if (python_.isEmpty()) QSKIP("python3 -m dbusmock is missing (package python3-dbusmock)");

        dir_ = std::make_unique<test::TempDir>();
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY(WaitUntil([this] { return daemon_.canReadLine(); }));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        QVERIFY(!address_.isEmpty());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The template is for the system bus; ours stands in for it.
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
        env.insert("DBUS_SESSION_BUS_ADDRESS", address_);
        mock_.setProcessEnvironment(env);
        mock_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mock_.start(python_, {"-m", "dbusmock", "--template", "logind", "-l",
                              QString::fromStdString((dir_->path() / "calls.log").string())});

        QDBusConnection bus = QDBusConnection::connectToBus(address_, QStringLiteral("mock-bus"));
        QVERIFY(bus.isConnected());
        QVERIFY(WaitUntil([&bus] { return bus.interface()->isServiceRegistered(kLogind).value(); }));
    }

    void cleanupTestCase() {
        QDBusConnection::disconnectFromBus(QStringLiteral("mock-bus"));
        for (QProcess* p : {&mock_, &daemon_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            p->waitForFinished(60000);
        }
    }

    void lockHeldWhileAJobRunsAndPowerOffAfterTheLast() {
        ManualClock clock(40400.5);
        LogindClient logind(address_.toStdString(), "c7", std::string(kThreadsRunningText));
        auto tray = Controller(logind, clock);
        test::HeldRuns runs(tray->Runs());
        TrayController* owner = tray.get();
        // Heard on the client's thread, answered on this one.
        logind.OnPrepareForShutdown([owner] {
            QMetaObject::invokeMethod(
                owner, [owner] { (void)owner->ShutdownQuery(false); }, Qt::QueuedConnection);
        });
        QVERIFY(Inhibitors().isEmpty());

        runs.Set(1);
        QVERIFY(WaitUntil([&] { return logind.Holding(); }));
        const QList<Inhibitor> held = Inhibitors();
        QCOMPARE(held.size(), 1);
        QCOMPARE(held[0].what, QStringLiteral("shutdown"));
        QCOMPARE(held[0].who, QStringLiteral("Drivlet"));
        QCOMPARE(held[0].why.toStdString(), std::string(kThreadsRunningText));
        QCOMPARE(held[0].mode, QStringLiteral("block"));

        // The machine is going down: the query is refused while the job runs, nothing is forced yet.
        EmitPrepareForShutdown();
        QVERIFY(WaitUntil([&] { return tray->FinishMessagesSuppressed(); }));
        QVERIFY(!CallLog().contains("PowerOff"));

        runs.Set(0);
        QVERIFY(!logind.Holding());
        QVERIFY(WaitUntil([&] { return CallLog().contains("PowerOff False"); }));
        // Our own lock was let go first, or it would hold back the power-off.
        QVERIFY(WaitUntil([&] { return Inhibitors().isEmpty(); }));
        QVERIFY(!CallLog().contains("TerminateSession"));
    }

    void logOffRefusedEndsTheSessionAfterTheJobs() {
        ManualClock clock(40400.5);
        LogindClient logind(address_.toStdString(), "c7", std::string(kThreadsRunningText));
        auto tray = Controller(logind, clock);
        test::HeldRuns runs(tray->Runs());
        runs.Set(2);
        QVERIFY(!tray->ShutdownQuery(true).allow);
        runs.Set(1);
        QVERIFY(!CallLog().contains("TerminateSession"));
        runs.Set(0);
        QVERIFY(WaitUntil([&] { return CallLog().contains("TerminateSession \"c7\""); }));
    }

    void silentWithoutALoginManager() {
        // A bus without logind on it: the lock is tried once, quietly given up.
        QProcess bare;
        bare.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY(WaitUntil([&] { return bare.canReadLine(); }));
        const QString address = QString::fromUtf8(bare.readLine()).trimmed();
        {
            LogindClient logind(address.toStdString(), "", "reason");
            logind.SetBlock(true);
            QVERIFY(WaitUntil([&] { return logind.Unavailable(); }));
            QVERIFY(!logind.Holding());
            QVERIFY(!logind.EndSession(false));
        }
        bare.terminate();
        bare.waitForFinished(60000);

        // No bus at all.
        LogindClient none("unix:path=" + (dir_->path() / "no-bus-here").string(), "", "reason");
        none.SetBlock(true);
        QVERIFY(!none.Holding());
        QVERIFY(!none.EndSession(true));
    }
};

QTEST_MAIN(LogindTest)
#include "LogindTest.moc"

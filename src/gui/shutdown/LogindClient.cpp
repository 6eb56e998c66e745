#include "gui/shutdown/LogindClient.h"

#include "core/schedule/run/ShutdownCoordinator.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace drivlet::gui {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

bool SaysAbsent(const QDBusError& error) {
    return error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::UnknownObject ||
           error.type() == QDBusError::UnknownInterface || error.type() == QDBusError::UnknownMethod ||
           error.type() == QDBusError::Disconnected;
}

} // namespace

LogindClient::LogindClient(QDBusConnection bus, QString sessionId, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), sessionId_(std::move(sessionId)),
      reason_(QString::fromUtf8(kThreadsRunningText.data(), kThreadsRunningText.size())) {
    if (sessionId_.isEmpty()) sessionId_ = qEnvironmentVariable("XDG_SESSION_ID");
    // logind's own name for the caller's session.
    if (sessionId_.isEmpty()) sessionId_ = QStringLiteral("auto");
    if (bus_.isConnected())
        bus_.connect(kService, kPath, kManager, QStringLiteral("PrepareForShutdown"), this,
                     SLOT(OnPrepareForShutdown(bool)));
}

void LogindClient::SetBlock(bool block) {
    wanted_ = block;
    if (!block) {
        if (!lock_.isValid()) return;
        // Closing our copy of the descriptor releases the lock.
        lock_ = QDBusUnixFileDescriptor();
        emit lockChanged(false);
        return;
    }
    if (lock_.isValid() || pending_ || unavailable_ || !bus_.isConnected()) return;
    pending_ = true;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("shutdown") << QStringLiteral("Drivlet") << reason_ << QStringLiteral("block");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        pending_ = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError()) {
            unavailable_ = SaysAbsent(reply.error());
            return;
        }
        // Released meanwhile: the descriptor is dropped here, which ends the lock at once.
        if (!wanted_ || !reply.value().isValid()) return;
        lock_ = reply.value();
        emit lockChanged(true);
    });
}

bool LogindClient::EndSession(bool logOff) {
    SetBlock(false);
    if (!bus_.isConnected() || unavailable_) return false;
    if (logOff)
        Call(QStringLiteral("TerminateSession"), {sessionId_});
    else
        Call(QStringLiteral("PowerOff"), {false});
    return true;
}

void LogindClient::Call(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, method);
    call.setArguments(arguments);
    // The answer does not matter: a refusal is not reported, as nothing more can be done.
    bus_.call(call, QDBus::NoBlock);
}

void LogindClient::OnPrepareForShutdown(bool starting) {
    if (starting) emit prepareForShutdown();
}

} // namespace drivlet::gui

#pragma once
// The login manager over D-Bus: a "block" inhibitor lock on shut-down while jobs run, its
// PrepareForShutdown signal as a shut-down query, and the forced power-off or end of the session
// once the jobs are done. Every call is asynchronous. Without a bus or a login manager it stays
// silent and does nothing.
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

namespace drivlet::gui {

class LogindClient final : public QObject {
    Q_OBJECT
public:
    // `sessionId` names the session ended on a log-off; empty: $XDG_SESSION_ID, else the caller's.
    explicit LogindClient(QDBusConnection bus = QDBusConnection::systemBus(), QString sessionId = {},
                          QObject* parent = nullptr);

    // Takes the lock (with `reason` shown by the desktop) or lets it go.
    void SetBlock(bool block);
    void SetReason(QString reason) { reason_ = std::move(reason); }
    bool Holding() const { return lock_.isValid(); }
    // The login manager answered with an error that says it is not there.
    bool Unavailable() const { return unavailable_; }

    // Log-off (the session ended) when true, else power-off, both without asking the user again;
    // the lock is let go first, since it would hold back our own request. False when there is no
    // one to ask.
    bool EndSession(bool logOff);

signals:
    // The machine is about to shut down (it may not wait for us).
    void prepareForShutdown();
    void lockChanged(bool held);

private slots:
    void OnPrepareForShutdown(bool starting);

private:
    void Call(const QString& method, const QVariantList& arguments);

    QDBusConnection bus_;
    QString sessionId_;
    QString reason_;
    QDBusUnixFileDescriptor lock_;
    bool wanted_ = false;
    bool pending_ = false;
    bool unavailable_ = false;
};

} // namespace drivlet::gui

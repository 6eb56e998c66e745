#pragma once
// SIGTERM, SIGINT and SIGHUP (the session ending without a session manager, a service stop)
// become a call on the GUI thread, so the program can cancel its jobs and end in order instead
// of dying in the middle of a copy. A second such signal ends the process at once.
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace drivlet::gui {

class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    // One object per process; `onSignal` runs on the thread that created it.
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the handlers could not be set up (the signals then end the process as usual).
    bool Installed() const { return notifier_ != nullptr; }

private:
    void Read();

    std::function<void(int)> onSignal_;
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace drivlet::gui

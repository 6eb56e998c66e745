#include "gui/app/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace drivlet::gui {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The write end for the handler; a handler may do no more than write to it.
volatile sig_atomic_t gWriteFd = -1;

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (gWriteFd >= 0) (void)!::write(gWriteFd, &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (gWriteFd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) return;
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds_[1], F_SETFL, O_NONBLOCK);
    gWriteFd = fds_[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // The first signal is ours; the handler is then taken back, so a second one ends the process.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::Read);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    gWriteFd = -1;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void TerminationSignals::Read() {
    unsigned char byte = 0;
    while (::read(fds_[0], &byte, 1) == 1)
        if (onSignal_) onSignal_(byte);
}

} // namespace drivlet::gui

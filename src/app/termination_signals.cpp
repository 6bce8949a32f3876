#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tovik {

namespace {
constexpr std::array handledSignals{SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read on the main thread: a signal handler may do little else.
int signalSockets[2] = {-1, -1};

void onSignal(int) {
    // The interrupted code may be about to read errno; a full socket makes write() set it.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent) {
    Q_ASSERT(signalSockets[0] < 0);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0)
        return;
    notifier_ = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::drain);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handledSignals)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_)
        return;
    for (const int signal : handledSignals)
        std::signal(signal, SIG_DFL);
    delete notifier_;
    for (int& socket : signalSockets) {
        ::close(socket);
        socket = -1;
    }
}

void TerminationSignals::drain() {
    char bytes[16];
    while (::read(signalSockets[1], bytes, sizeof bytes) > 0) {
    }
    Q_EMIT received();
}

} // namespace tovik

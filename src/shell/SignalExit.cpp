#include "SignalExit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tessora {

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void CatchTerminationSignals(std::function<void()> onSignal) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, onSignal = std::move(onSignal)] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        notifier->setEnabled(false);  // one ending is enough
        onSignal();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace tessora

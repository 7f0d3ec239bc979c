#include "shutdownsignals.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};
const int HandledSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnSignal(int signalNumber)
{
    // Only async-signal-safe calls here: one write, errno kept.
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0) {
        qWarning() << "shutdown signals not handled:" << std::strerror(errno);
        return;
    }
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &ShutdownSignals::ReadSignal);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : HandledSignals) {
        if (::sigaction(signalNumber, &action, nullptr) != 0)
            qWarning() << "signal" << signalNumber << "not handled:" << std::strerror(errno);
    }
    qDebug() << "SIGTERM, SIGINT and SIGHUP end the program cleanly";
}

ShutdownSignals::~ShutdownSignals()
{
    // Back to the default: a signal after this point ends the process.
    for (int signalNumber : HandledSignals)
        ::signal(signalNumber, SIG_DFL);
    delete notifier;
    for (int &fd : signalSockets) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void ShutdownSignals::ReadSignal()
{
    char byte = 0;
    if (::read(signalSockets[1], &byte, 1) != 1)
        return;
    qWarning() << "signal" << int(byte) << "received: ending the program";
    emit received(int(byte));
}

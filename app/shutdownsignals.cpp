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
volatile std::sig_atomic_t receivedSignal = 0;
// Why InstallEarly() failed, logged once the log is in place.
const char *installFailure = nullptr;
int installErrno = 0;

extern "C" void OnSignal(int signalNumber)
{
    // Only async-signal-safe calls here: one write, errno kept.
    const int savedErrno = errno;
    receivedSignal = signalNumber;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(signalSockets[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

bool ShutdownSignals::InstallEarly()
{
    if (signalSockets[0] >= 0)
        return true;
    // Non-blocking: a storm of signals must never stall the handler.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets) != 0) {
        installFailure = "socketpair";
        installErrno = errno;
        return false;
    }
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t handled;
    sigemptyset(&handled);
    for (int signalNumber : HandledSignals) {
        sigaddset(&handled, signalNumber);
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            installFailure = "sigaction";
            installErrno = errno;
        }
    }
    ::sigprocmask(SIG_UNBLOCK, &handled, nullptr);
    return installFailure == nullptr;
}

bool ShutdownSignals::IsPending()
{
    return receivedSignal != 0;
}

void ShutdownSignals::RestoreDefaults()
{
    for (int signalNumber : HandledSignals)
        ::signal(signalNumber, SIG_DFL);
    if (receivedSignal != 0)
        ::raise(receivedSignal);
}

ShutdownSignals::ShutdownSignals(QObject *parent) : QObject(parent)
{
    if (!InstallEarly() && signalSockets[0] < 0) {
        qWarning() << "shutdown signals not handled:" << installFailure
                   << std::strerror(installErrno);
        return;
    }
    if (installFailure)
        qWarning() << "shutdown signals partly handled:" << installFailure
                   << std::strerror(installErrno);
    // A signal that came during start-up is already waiting in the socket.
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &ShutdownSignals::ReadSignal);
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

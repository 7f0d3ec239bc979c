#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (shutdown, logout, systemctl stop, a
// closed terminal) into a Qt signal in the thread that created the object.
// The handler only writes the signal's number into a socket pair; the rest
// happens in the event loop. One object per process.
class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    // The handlers, from the first line of main: a signal that comes while
    // the program starts is kept for the event loop instead of killing the
    // process halfway. Also unblocks the signals (a parent may have blocked
    // them). False when they could not be installed.
    static bool InstallEarly();
    // A signal came since InstallEarly(): start-up stops at its next step.
    static bool IsPending();
    // The default actions again, for work that runs without an event loop;
    // a signal already received takes its default action now.
    static void RestoreDefaults();

    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

    // False when the handlers could not be installed (the reason is logged).
    bool isInstalled() const { return notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void ReadSignal();

    QSocketNotifier *notifier = nullptr;
};

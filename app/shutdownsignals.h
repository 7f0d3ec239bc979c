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
    explicit ShutdownSignals(QObject *parent = nullptr);
    ~ShutdownSignals() override;

signals:
    void received(int signalNumber);

private:
    void ReadSignal();

    QSocketNotifier *notifier = nullptr;
};

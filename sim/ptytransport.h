#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>

class QSocketNotifier;

// The instrument's end of the serial line: a pseudo-terminal whose slave side
// is reachable under a symlink, so that a client opens it like any port.
// Answers leave paced as a line of the given baud rate would carry them.
class PtyTransport : public QObject
{
    Q_OBJECT

public:
    // iBaud 0 writes every byte at once.
    PtyTransport(int iBaud, QObject *parent = nullptr);
    ~PtyTransport() override;

    // Creates the pair, sets it raw and links linkPath to the slave side. A
    // stale symlink is replaced; any other file in the way is an error.
    bool open(const QString &linkPath, QString *error);
    void close();

    QString slaveName() const { return ptsName; }

    // Queues one answer: it starts after iDelayMs, and with iSplitMs > 0 its
    // second half follows as a burst of its own that much after the first.
    void send(const QByteArray &bytes, int iDelayMs, int iSplitMs);

    // Seconds one byte takes on the line (start, 8 data and stop bit).
    double byteTime() const { return iBaud > 0 ? 10.0 / iBaud : 0.0; }

signals:
    void received(const QByteArray &bytes);

private:
    struct Burst
    {
        QByteArray bytes;
        qint64 earliestNs; // not before this time
        qint64 gapNs;      // silence after the previous burst
        int iSent = 0;
        qint64 startNs = -1;
    };

    void readMaster();
    void pump();

    int iBaud;
    int masterFd = -1;
    int slaveFd = -1;
    QString ptsName;
    QString linkPath;
    QSocketNotifier *ptReadNotifier = nullptr;
    QTimer pumpTimer;
    QElapsedTimer clock;
    std::deque<Burst> bursts;
    qint64 lastEndNs = 0;
};

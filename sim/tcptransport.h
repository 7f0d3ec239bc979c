#pragma once

#include "framecutter.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// The instrument behind a network, on 127.0.0.1 only: a transparent serial
// server, whose TCP stream carries the RTU frames unchanged, or a Modbus TCP
// gateway, which speaks MBAP to the client and RTU to the instrument. One
// client at a time; a new connection replaces the old one.
class TcpTransport : public QObject
{
    Q_OBJECT

public:
    enum class Framing
    {
        Rtu,
        Mbap
    };

    explicit TcpTransport(Framing framing, QObject *parent = nullptr);

    // Port 0 takes a free one; port() tells which.
    bool listen(quint16 usPort, QString *error);
    bool isEnabled() const { return usPort != 0; }
    quint16 port() const { return usPort; }
    // The name a client opens: tcp://127.0.0.1:PORT or modbus-tcp://...
    QString portName() const;
    bool isMbap() const { return framing == Framing::Mbap; }

    // Stops listening and drops the client, or listens again on the same port.
    bool setListening(bool isOn, QString *error);
    // Closes the client's connection, as a server that restarts would.
    void hangUp();

    // The gateway's MBAP answer to the last request from the instrument's
    // RTU answer; iTransactionOffset > 0 answers with a wrong transaction.
    QByteArray mbapAnswer(const QByteArray &rtuAnswer, int iTransactionOffset) const;

    // Queues wire bytes: after iDelayMs, in iPieces segments iPauseMs apart.
    void send(const QByteArray &bytes, int iDelayMs, int iPieces, int iPauseMs);

signals:
    // One request, in RTU form with its CRC, and as it came over the wire.
    void frame(const QByteArray &rtu, const QByteArray &wire);

private:
    void accept();
    void read();
    void flushRtu();

    Framing framing;
    quint16 usPort = 0;
    QTcpServer server;
    QPointer<QTcpSocket> client;
    FrameCutter cutter;
    QTimer silenceTimer;
    QByteArray pending;
    quint16 usTransaction = 0;
    quint8 ucUnit = 0;
};

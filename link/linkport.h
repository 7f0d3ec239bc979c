#pragma once

#include "mbapframer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>

class QIODevice;
class QSerialPort;
class QTcpSocket;

// The line to the instrument, whichever way it runs: a serial port, a
// transparent serial server that carries the RTU frames unchanged in a TCP
// stream ("tcp://HOST:PORT"), or a Modbus TCP gateway
// ("modbus-tcp://HOST[:PORT]", port 502 by default). Frames go in and come
// out in RTU form for all three, so everything above the line is the same.
class LinkPort : public QObject
{
    Q_OBJECT

public:
    enum class Kind
    {
        Serial,
        RtuOverTcp,
        ModbusTcp
    };

    // How long a network connection may take to be made.
    static constexpr int ConnectTimeoutMs = 5000;

    explicit LinkPort(QObject *parent = nullptr);
    ~LinkPort() override;

    // The name starts like a network port ("tcp://", "modbus-tcp://").
    static bool IsNetworkName(const QString &name);
    // A network name split into host and port; false when it is not a whole
    // one (no host, no port for tcp://, a port outside 1-65535).
    static bool ParseNetworkName(const QString &name, Kind *ptKind, QString *ptHost,
                                 quint16 *ptPort);

    // False with the reason the system gave. A network port is connected
    // before this returns (or has failed to within ConnectTimeoutMs).
    bool Open(const QString &name, QString *ptReason);
    // Discards what is waiting in both directions.
    void Close();

    // Safe from any thread.
    bool IsOpen() const { return isOpen; }
    Kind PortKind() const { return kind; }
    QString Name() const { return name; }
    // The echo spectrum is no Modbus frame, and a gateway passes only those.
    bool CarriesSpectra() const { return kind != Kind::ModbusTcp; }
    // The open failed because the user may not use the serial port.
    bool IsPermissionDenied() const { return isPermissionDenied; }

    qint64 BytesAvailable() const;
    QByteArray Peek() const;
    QByteArray ReadAll();
    // Writes one RTU frame; returns the bytes as they went on the wire.
    QByteArray Write(const QByteArray &rtuFrame);

signals:
    void readyRead();
    // The line went away under an open port; emitted once.
    void lost(const QString &reason);

private:
    bool OpenSerial(QString *ptReason);
    bool OpenNetwork(QString *ptReason);
    void ReadGateway();
    void ReportLost(const QString &reason);

    QString name;
    Kind kind = Kind::Serial;
    QSerialPort *ptSerial = nullptr;
    QTcpSocket *ptSocket = nullptr;
    // The serial port or the socket, whichever is in use.
    QIODevice *ptDevice = nullptr;
    MbapFramer framer;
    // Answers from a gateway, already in RTU form.
    QByteArray gatewayAnswers;
    std::atomic<bool> isOpen{false};
    bool isPermissionDenied = false;
    bool isLost = false;
};

#pragma once

#include "controlchannel.h"
#include "faultswitchboard.h"
#include "framecutter.h"
#include "journal.h"
#include "ptytransport.h"
#include "registerbank.h"
#include "rivermodel.h"
#include "slavedevice.h"
#include "tcptransport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

struct SimConfig
{
    QString linkPath = "/tmp/radarflow-sim";
    quint8 ucAddr = 0x80;
    quint16 usFirmware = 0x0206;
    quint32 uSeed = 1;
    int iBaud = 9600;
    int iReplyDelayMs = 5;
    QString journalPath;
    QString controlPath;
    // Also serve on 127.0.0.1: RTU over TCP, Modbus TCP; -1 off, 0 any port.
    int iTcpPort = -1;
    int iModbusTcpPort = -1;
    // Runtime commands to apply before the first request (faults, river).
    QStringList startCommands;
};

// The whole instrument: the line, the frame cutting, the slave, the river,
// the faults and the journal, with the runtime commands that steer them.
class Simulator : public QObject
{
    Q_OBJECT

public:
    explicit Simulator(const SimConfig &config, QObject *parent = nullptr);

    bool start(QString *error);

    // One runtime command: a fault (see FaultSwitchboard) or
    //   velocity M/S | level M|auto | calm on|off | holding REG VALUE
    bool command(const QString &line, QString *error);

    // The network ports served, as a client names them, one a line.
    QStringList networkPortNames() const;

private:
    void onReceived(const QByteArray &bytes);
    void onSilence();
    void onControl(const QString &line);
    void stepRiver();
    // ptFrom: the network side it came from, or null for the line.
    void process(const QByteArray &frame, const QByteArray &wire, TcpTransport *ptFrom);

    static constexpr int RiverStepMs = 100;

    SimConfig config;
    RegisterBank bank;
    RiverModel river;
    FaultSwitchboard faults;
    SlaveDevice device;
    FrameCutter cutter;
    Journal journal;
    PtyTransport transport;
    TcpTransport rtuTcp{TcpTransport::Framing::Rtu};
    TcpTransport mbapTcp{TcpTransport::Framing::Mbap};
    ControlChannel control;
    QTimer silenceTimer;
    QTimer riverTimer;
    QElapsedTimer uptime;
};

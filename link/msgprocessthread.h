#pragma once

#include "u16.h"

#include <QByteArray>
#include <QObject>
#include <QSemaphore>

#include <atomic>

class Modbus;
class LinkPort;

// The request gate: count 1 while no transaction is in flight, 0 while an
// answer is awaited. Acquired only by the send worker's thread.
extern QSemaphore msgSemaphore;

// Keeps one Modbus transaction in flight. The send worker takes the request
// signals, waits on msgSemaphore and has the codec build the frame; the
// receive worker has the codec decode each answer and reopens the gate.
class MsgProcessThread : public QObject
{
    Q_OBJECT

public:
    MsgProcessThread(quint8 ucDevAddr, LinkPort *ptSerialPort, Modbus *ptModbus);

    // Reopens the gate if it is closed (after an echo spectrum, whose echo
    // leaves it closed). Safe from any thread.
    void ReleaseSemphore();

    // Makes a request blocked on the gate give up, so that the worker's
    // thread can be quit and joined. Safe from any thread; final.
    void Abandon();

    // Raises a closed gate to 1; the check and the release are one step, so
    // racing releasers can never raise the count above 1. True if it released.
    static bool OpenGate();

public slots:
    void WriteHoldingRegister(u16 usAddr, u16 usValue);
    void WriteMultHoldingRegisters(u16 usStartAddr, QByteArray value, u16 usCount);
    void ReadHoldingRegister(u16 usAddr, u16 usCount);
    void ReadInputRegister(u16 usAddr, u16 usCount);
    void ModbusEncoding(QByteArray byteArray, u16 usLen);

signals:
    void SendMsgSucceed();
    void RecvMsgSucceed();

private:
    // Port open and gate acquired; false when the request must be dropped.
    bool BeginRequest();

    quint8 ucDevAddr;
    LinkPort *ptSerialPort;
    Modbus *ptModbus;
    std::atomic<bool> isAbandoned{false};
};

#include "msgprocessthread.h"

#include "linkport.h"
#include "modbus.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>

QSemaphore msgSemaphore(1);

namespace {

// How often a blocked request looks whether it has been abandoned.
constexpr int GatePollMs = 20;

QMutex &GateReleaseMutex()
{
    static QMutex mutex;
    return mutex;
}

} // namespace

MsgProcessThread::MsgProcessThread(quint8 ucDevAddr, LinkPort *ptSerialPort, Modbus *ptModbus)
    : QObject(nullptr), ucDevAddr(ucDevAddr), ptSerialPort(ptSerialPort), ptModbus(ptModbus)
{
    // A new connection reopens a gate the previous one left closed.
    OpenGate();
}

bool MsgProcessThread::OpenGate()
{
    QMutexLocker locker(&GateReleaseMutex());
    if (msgSemaphore.available() != 0)
        return false;
    msgSemaphore.release(1);
    return true;
}

void MsgProcessThread::ReleaseSemphore()
{
    if (OpenGate())
        qDebug() << "Manually release" << msgSemaphore.available();
}

void MsgProcessThread::Abandon()
{
    isAbandoned = true;
}

bool MsgProcessThread::BeginRequest()
{
    // The port is only asked whether it is open; it is read and written in
    // the GUI thread alone.
    if (isAbandoned || !ptSerialPort || !ptSerialPort->IsOpen())
        return false;
    while (!msgSemaphore.tryAcquire(1, GatePollMs)) {
        if (isAbandoned)
            return false;
    }
    if (isAbandoned) {
        OpenGate();
        return false;
    }
    return true;
}

void MsgProcessThread::WriteHoldingRegister(u16 usAddr, u16 usValue)
{
    if (!BeginRequest())
        return;
    ptModbus->MBWriteHoldingRegister(usAddr, usValue);
    emit SendMsgSucceed();
}

void MsgProcessThread::WriteMultHoldingRegisters(u16 usStartAddr, QByteArray value, u16 usCount)
{
    if (!BeginRequest())
        return;
    ptModbus->MBWriteMultHoldingRegisters(usStartAddr, value, usCount);
    emit SendMsgSucceed();
}

void MsgProcessThread::ReadHoldingRegister(u16 usAddr, u16 usCount)
{
    if (!BeginRequest())
        return;
    ptModbus->MBReadHoldingRegister(usAddr, usCount);
    emit SendMsgSucceed();
}

void MsgProcessThread::ReadInputRegister(u16 usAddr, u16 usCount)
{
    if (!BeginRequest())
        return;
    ptModbus->MBReadInputRegister(usAddr, usCount);
    emit SendMsgSucceed();
}

void MsgProcessThread::ModbusEncoding(QByteArray byteArray, u16 usLen)
{
    const unsigned result = ptModbus->MBEncoding(byteArray, usLen);
    // An exception answer is an answer: the transaction is over, and the
    // refused request is not sent again.
    if (result <= MB_EX_SLAVE_DEVICE_FAILURE || result == MB_EX_EXCEPTION_ANSWER) {
        // The window hears of this answer before the gate lets the next
        // request out: told afterwards, it would disarm the next request's
        // time-out instead of this one's.
        if (msgSemaphore.available() == 0) {
            emit RecvMsgSucceed();
            OpenGate();
        }
    } else if (result == MB_EX_NEED_RELEASE) {
        qDebug() << "Need release manually";
        emit RecvMsgSucceed();
    } else {
        qDebug() << "Modbus encoding exception:" << result;
        qDebug() << byteArray.toHex(' ');
    }
}

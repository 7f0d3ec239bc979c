#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class FaultSwitchboard;
class RegisterBank;
class RiverModel;

// The instrument's Modbus RTU slave: checks a request frame, carries it out
// on the register bank and the river, and builds the answer.
class SlaveDevice
{
public:
    static constexpr quint8 AnyAddr = 0xFF;    // the address query reaches every instrument
    static constexpr quint8 BroadcastAddr = 0; // writes to all, answered by none
    static constexpr quint16 SpectrumKey = 0x1234;

    enum class Outcome
    {
        Answered,
        Exception,
        BadCrc,
        OtherSlave,
        Broadcast,
        Silent
    };

    struct Reply
    {
        Outcome outcome = Outcome::BadCrc;
        quint8 ucException = 0;
        QJsonObject request; // slave, function and the decoded fields
        QByteArray answer;   // the answer frame as the healthy device builds it
        QByteArray spectrum; // echo-spectrum text that follows the answer
        QByteArray wire;     // what goes on the line, faults applied
    };

    // ptFaults may be null: a healthy device.
    SlaveDevice(RegisterBank *ptBank, RiverModel *ptRiver, FaultSwitchboard *ptFaults);

    quint8 address() const;

    Reply handle(const QByteArray &frame);

    static QString outcomeName(Outcome outcome);

private:
    QByteArray execute(const QByteArray &frame, quint8 ucOwn, quint8 *ptException,
                       QByteArray *ptSpectrum);
    QByteArray read(const QByteArray &frame, quint8 ucOwn, quint8 *ptException) const;
    QByteArray writeSingle(const QByteArray &frame, quint8 ucOwn, quint8 *ptException,
                           QByteArray *ptSpectrum);
    QByteArray writeMultiple(const QByteArray &frame, quint8 ucOwn, quint8 *ptException,
                             QByteArray *ptSpectrum);
    static bool isValueAllowed(int iAddr, quint16 usValue);
    void store(int iAddr, quint16 usValue, QByteArray *ptSpectrum);

    RegisterBank *ptBank;
    RiverModel *ptRiver;
    FaultSwitchboard *ptFaults;
};

#include "slavedevice.h"

#include "faultswitchboard.h"
#include "registerbank.h"
#include "rivermodel.h"
#include "simcrc.h"

#include <QJsonArray>

#include <cmath>

namespace {

constexpr quint8 FuncReadHolding = 0x03;
constexpr quint8 FuncReadInput = 0x04;
constexpr quint8 FuncWriteSingle = 0x06;
constexpr quint8 FuncWriteMultiple = 0x10;

constexpr quint8 ExIllegalFunction = 1;
constexpr quint8 ExIllegalAddress = 2;
constexpr quint8 ExIllegalValue = 3;

// Modbus limits: 125 registers fit a read answer, 123 a write request.
constexpr int MaxReadCount = 125;
constexpr int MaxWriteCount = 123;

int wordAt(const QByteArray &frame, int i)
{
    return quint8(frame.at(i)) << 8 | quint8(frame.at(i + 1));
}

void appendWord(QByteArray *ptBytes, int iValue)
{
    ptBytes->append(char(iValue >> 8));
    ptBytes->append(char(iValue & 0xFF));
}

QByteArray exceptionFrame(quint8 ucOwn, quint8 ucFunction, quint8 ucCode)
{
    QByteArray body;
    body.append(char(ucOwn));
    body.append(char(ucFunction | 0x80));
    body.append(char(ucCode));
    return SimCrc::appended(body);
}

// The fields of a request as the journal shows them; only what the frame's
// length allows is decoded.
QJsonObject decode(const QByteArray &frame)
{
    QJsonObject request;
    request["slave"] = quint8(frame.at(0));
    request["function"] = quint8(frame.at(1));
    if (frame.size() < 8)
        return request;
    switch (quint8(frame.at(1))) {
    case FuncReadHolding:
    case FuncReadInput:
        request["start"] = wordAt(frame, 2);
        request["count"] = wordAt(frame, 4);
        break;
    case FuncWriteSingle:
        request["register"] = wordAt(frame, 2);
        request["value"] = wordAt(frame, 4);
        break;
    case FuncWriteMultiple: {
        request["start"] = wordAt(frame, 2);
        request["count"] = wordAt(frame, 4);
        QJsonArray values;
        for (int i = 7; i + 1 < frame.size() - 2; i += 2)
            values.append(wordAt(frame, i));
        request["values"] = values;
        break;
    }
    default:
        break;
    }
    return request;
}

} // namespace

SlaveDevice::SlaveDevice(RegisterBank *ptBank, RiverModel *ptRiver, FaultSwitchboard *ptFaults)
    : ptBank(ptBank), ptRiver(ptRiver), ptFaults(ptFaults)
{
}

quint8 SlaveDevice::address() const
{
    return quint8(ptBank->holding(RegisterBank::RegDevAddr));
}

QString SlaveDevice::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Answered:
        return "answered";
    case Outcome::Exception:
        return "exception";
    case Outcome::BadCrc:
        return "bad-crc";
    case Outcome::OtherSlave:
        return "other-slave";
    case Outcome::Broadcast:
        return "broadcast";
    case Outcome::Silent:
        return "silent";
    }
    return QString();
}

SlaveDevice::Reply SlaveDevice::handle(const QByteArray &frame)
{
    Reply reply;
    if (!SimCrc::isIntact(frame))
        return reply;
    reply.request = decode(frame);

    // The answer goes out from the address the request found, even when the
    // request itself changes the address.
    const quint8 ucOwn = address();
    const quint8 ucSlave = quint8(frame.at(0));
    const quint8 ucFunction = quint8(frame.at(1));
    if (ucSlave == BroadcastAddr) {
        reply.outcome = Outcome::Broadcast;
        if (ucFunction == FuncWriteSingle || ucFunction == FuncWriteMultiple) {
            quint8 ucIgnored = 0;
            QByteArray ignoredSpectrum;
            execute(frame, ucOwn, &ucIgnored, &ignoredSpectrum);
        }
        return reply;
    }
    if (ucSlave != ucOwn && ucSlave != AnyAddr) {
        reply.outcome = Outcome::OtherSlave;
        return reply;
    }
    if (ptFaults && ptFaults->swallow(ucFunction)) {
        reply.outcome = Outcome::Silent;
        return reply;
    }

    const quint16 usStart = frame.size() >= 4 ? quint16(wordAt(frame, 2)) : 0;
    reply.ucException = ptFaults ? ptFaults->exceptionFor(ucFunction, usStart) : 0;
    if (reply.ucException == 0)
        reply.answer = execute(frame, ucOwn, &reply.ucException, &reply.spectrum);
    if (reply.ucException != 0) {
        reply.outcome = Outcome::Exception;
        reply.answer = exceptionFrame(ucOwn, ucFunction, reply.ucException);
    } else {
        reply.outcome = Outcome::Answered;
    }

    if (ptFaults && ptFaults->dropsSpectrum())
        reply.spectrum.clear();
    reply.wire = (ptFaults ? ptFaults->spoil(reply.answer) : reply.answer) + reply.spectrum;
    return reply;
}

QByteArray SlaveDevice::execute(const QByteArray &frame, quint8 ucOwn, quint8 *ptException,
                                QByteArray *ptSpectrum)
{
    switch (quint8(frame.at(1))) {
    case FuncReadHolding:
    case FuncReadInput:
        return read(frame, ucOwn, ptException);
    case FuncWriteSingle:
        return writeSingle(frame, ucOwn, ptException, ptSpectrum);
    case FuncWriteMultiple:
        return writeMultiple(frame, ucOwn, ptException, ptSpectrum);
    default:
        *ptException = ExIllegalFunction;
        return QByteArray();
    }
}

QByteArray SlaveDevice::read(const QByteArray &frame, quint8 ucOwn, quint8 *ptException) const
{
    if (frame.size() != 8) {
        *ptException = ExIllegalValue;
        return QByteArray();
    }
    const bool isHolding = quint8(frame.at(1)) == FuncReadHolding;
    const int iStart = wordAt(frame, 2);
    const int iCount = wordAt(frame, 4);
    if (iCount < 1 || iCount > MaxReadCount) {
        *ptException = ExIllegalValue;
        return QByteArray();
    }
    QByteArray body;
    body.append(char(ucOwn));
    body.append(frame.at(1));
    body.append(char(iCount * 2));
    for (int iAddr = iStart; iAddr < iStart + iCount; ++iAddr) {
        const bool isHeld =
            isHolding ? RegisterBank::holdsHolding(iAddr) : RegisterBank::holdsInput(iAddr);
        if (!isHeld) {
            *ptException = ExIllegalAddress;
            return QByteArray();
        }
        appendWord(&body, isHolding ? ptBank->holding(iAddr) : ptBank->input(iAddr));
    }
    return SimCrc::appended(body);
}

QByteArray SlaveDevice::writeSingle(const QByteArray &frame, quint8 ucOwn, quint8 *ptException,
                                    QByteArray *ptSpectrum)
{
    if (frame.size() != 8) {
        *ptException = ExIllegalValue;
        return QByteArray();
    }
    const int iAddr = wordAt(frame, 2);
    const quint16 usValue = quint16(wordAt(frame, 4));
    if (!RegisterBank::isWritable(iAddr)) {
        *ptException = ExIllegalAddress;
        return QByteArray();
    }
    if (!isValueAllowed(iAddr, usValue)) {
        *ptException = ExIllegalValue;
        return QByteArray();
    }
    store(iAddr, usValue, ptSpectrum);
    QByteArray echo = frame.left(6);
    echo[0] = char(ucOwn);
    return SimCrc::appended(echo);
}

QByteArray SlaveDevice::writeMultiple(const QByteArray &frame, quint8 ucOwn, quint8 *ptException,
                                      QByteArray *ptSpectrum)
{
    const int iStart = frame.size() >= 9 ? wordAt(frame, 2) : 0;
    const int iCount = frame.size() >= 9 ? wordAt(frame, 4) : 0;
    if (iCount < 1 || iCount > MaxWriteCount || quint8(frame.at(6)) != iCount * 2 ||
        frame.size() != 9 + iCount * 2) {
        *ptException = ExIllegalValue;
        return QByteArray();
    }
    for (int i = 0; i < iCount; ++i) {
        if (!RegisterBank::isWritable(iStart + i)) {
            *ptException = ExIllegalAddress;
            return QByteArray();
        }
        if (!isValueAllowed(iStart + i, quint16(wordAt(frame, 7 + 2 * i)))) {
            *ptException = ExIllegalValue;
            return QByteArray();
        }
    }
    for (int i = 0; i < iCount; ++i)
        store(iStart + i, quint16(wordAt(frame, 7 + 2 * i)), ptSpectrum);

    QByteArray body;
    body.append(char(ucOwn));
    body.append(char(FuncWriteMultiple));
    appendWord(&body, iStart);
    appendWord(&body, iCount);
    return SimCrc::appended(body);
}

bool SlaveDevice::isValueAllowed(int iAddr, quint16 usValue)
{
    // 0 is the broadcast address and above 247 nothing may answer.
    return iAddr != RegisterBank::RegDevAddr || (usValue >= 1 && usValue <= 247);
}

void SlaveDevice::store(int iAddr, quint16 usValue, QByteArray *ptSpectrum)
{
    // Commands act at once and read back 0 when done; any other value written
    // to a command register is merely kept.
    const bool isCommand = usValue == 1;
    switch (iAddr) {
    case RegisterBank::RegDischargeClear:
        if (isCommand) {
            ptRiver->clearDischarge();
            usValue = 0;
        }
        break;
    case RegisterBank::RegAngleAdjust:
        if (isCommand)
            ptRiver->startAngleAdjustment(); // reads 1 until the river is done
        break;
    case RegisterBank::RegFactoryRst:
        if (isCommand) {
            ptBank->restoreFactory();
            return;
        }
        break;
    case RegisterBank::RegGetFreq70:
    case RegisterBank::RegGetFreq80:
        if (usValue == SpectrumKey) {
            const auto radar = iAddr == RegisterBank::RegGetFreq70 ? RiverModel::Radar::Velocity
                                                                   : RiverModel::Radar::Level;
            *ptSpectrum = ptRiver->spectrum(radar, *ptBank);
            usValue = 0;
        }
        break;
    default:
        break;
    }
    ptBank->setHolding(iAddr, usValue);

    // The distance D lives twice, in centimetres and in millimetres; a write
    // to either keeps the other in step.
    if (iAddr == RegisterBank::RegDevToButtomLen) {
        const quint32 uMm = quint32(usValue) * 10;
        ptBank->setHolding(RegisterBank::RegDevToButtomLenMm, quint16(uMm >> 16));
        ptBank->setHolding(RegisterBank::RegDevToButtomLenMm + 1, quint16(uMm & 0xFFFF));
    } else if (iAddr == RegisterBank::RegDevToButtomLenMm ||
               iAddr == RegisterBank::RegDevToButtomLenMm + 1) {
        const quint32 uMm = quint32(ptBank->holding(RegisterBank::RegDevToButtomLenMm)) << 16 |
                            ptBank->holding(RegisterBank::RegDevToButtomLenMm + 1);
        ptBank->setHolding(RegisterBank::RegDevToButtomLen,
                           quint16(qMin<quint32>(0xFFFF, (uMm + 5) / 10)));
    }
}

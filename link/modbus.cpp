#include "modbus.h"
#include "linklog.h"

#include <QDebug>

#include <array>

namespace {

// Address, function, CRC: nothing shorter can be a frame.
constexpr int MinFrameLen = 4;

// Byte-wise table of the reflected polynomial 0xA001. Its low bytes are the
// Modbus line specification's "CRC low" table and its high bytes the "CRC
// high" one, so one lookup yields both bytes of the next CRC.
constexpr std::array<u16, 256> MakeCrcTable()
{
    std::array<u16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        u16 crc = u16(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? u16((crc >> 1) ^ 0xA001) : u16(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<u16, 256> CrcTable = MakeCrcTable();

u16 WordAt(const QByteArray &bytes, int i)
{
    return u16((quint8(bytes.at(i)) << 8) | quint8(bytes.at(i + 1)));
}

void AppendWord(QByteArray &frame, u16 word)
{
    frame.append(char(word >> 8));
    frame.append(char(word & 0xFF));
}

} // namespace

Modbus::Modbus(quint8 ucDevAddr) : QObject(nullptr), ucDevAddr(ucDevAddr) {}

QString Modbus::ExceptionText(quint8 ucCode)
{
    switch (ucCode) {
    case MB_EX_ILLEGAL_FUNCTION:
        return QStringLiteral("illegal function");
    case MB_EX_ILLEGAL_DATA_ADDRESS:
        return QStringLiteral("illegal data address");
    case MB_EX_ILLEGAL_DATA_VALUE:
        return QStringLiteral("illegal data value");
    case MB_EX_SLAVE_DEVICE_FAILURE:
        return QStringLiteral("device failure");
    default:
        return QStringLiteral("exception %1").arg(ucCode);
    }
}

void Modbus::SetDevAddr(quint8 ucDevAddr)
{
    this->ucDevAddr = ucDevAddr;
}

u16 Modbus::MBCRC16(const char *bytes, int n)
{
    u16 crc = 0xFFFF;
    for (int i = 0; i < n; ++i)
        crc = u16((crc >> 8) ^ CrcTable[(crc ^ quint8(bytes[i])) & 0xFF]);
    return crc;
}

void Modbus::SendFrame(QByteArray frame)
{
    const u16 crc = MBCRC16(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    emit SerialWrite(frame);
}

QByteArray Modbus::RequestHead(quint8 function, u16 usAddr, u16 usWord) const
{
    QByteArray frame;
    frame.append(char(ucDevAddr));
    frame.append(char(function));
    AppendWord(frame, usAddr);
    AppendWord(frame, usWord);
    return frame;
}

void Modbus::MBReadHoldingRegister(u16 usAddr, u16 usCount)
{
    usHoldingStartAddr = usAddr;
    SendFrame(RequestHead(FuncReadHolding, usAddr, usCount));
}

void Modbus::MBReadInputRegister(u16 usAddr, u16 usCount)
{
    usInputStartAddr = usAddr;
    SendFrame(RequestHead(FuncReadInput, usAddr, usCount));
}

void Modbus::MBWriteHoldingRegister(u16 usAddr, u16 usValue)
{
    usWriteSingleAddr = usAddr;
    SendFrame(RequestHead(FuncWriteRegister, usAddr, usValue));
}

void Modbus::MBWriteMultHoldingRegisters(u16 usStartAddr, const QByteArray &value, u16 usCount)
{
    usWriteMultStartAddr = usStartAddr;
    QByteArray frame = RequestHead(FuncWriteMultiple, usStartAddr, usCount);
    frame.append(char((usCount * 2) & 0xFF));
    frame.append(value);
    SendFrame(frame);
}

eMBException Modbus::MBEncoding(QByteArray byteArray, u16 usLen)
{
    // A length beyond the bytes received cannot describe an intact frame.
    if (byteArray.isEmpty() || usLen > byteArray.size())
        return MB_EX_CRC_ERROR;

    const quint8 addr = quint8(byteArray.at(0));
    if (addr != ucDevAddr && ucDevAddr != DiscoveryAddr)
        return MB_EX_ADDRESS_MISMATCH;

    if (MBCRC16(byteArray.constData(), usLen) != 0)
        return MB_EX_CRC_ERROR;
    if (usLen < MinFrameLen)
        return MB_EX_TRUNCATED;

    const quint8 function = quint8(byteArray.at(1));
    if (function & FuncError) {
        // Address, function, exception code, CRC.
        if (usLen < ExceptionFrameLen)
            return MB_EX_TRUNCATED;
        const quint8 request = function & ~FuncError;
        const quint8 code = quint8(byteArray.at(2));
        qCDebug(lcLink) << "Modbus exception answer: function" << request << "code" << code
                        << ExceptionText(code);
        if (request == FuncWriteRegister)
            emit WriteSingleHoldingRegStatus(false, usWriteSingleAddr);
        else if (request == FuncWriteMultiple)
            emit WriteMultHoldingRegStatus(false, usWriteMultStartAddr);
        emit ExceptionAnswer(request, code);
        return MB_EX_EXCEPTION_ANSWER;
    }

    switch (function) {
    case FuncReadInput:
    case FuncReadHolding: {
        const int byteCount = quint8(byteArray.at(2));
        if (byteCount + ReadFrameOverhead > usLen)
            return MB_EX_TRUNCATED;
        const QByteArray data = byteArray.mid(3, byteCount);
        if (function == FuncReadInput) {
            ModbusRegister::SetInputRegs(data, usInputStartAddr, u16(byteCount / 2));
            emit InputRegisterUpdate(ptReg);
            return MB_EX_NONE;
        }
        ModbusRegister::SetHoldingRegs(data, usHoldingStartAddr, u16(byteCount / 2));
        if (usHoldingStartAddr == ModbusRegister::DevAddrReg)
            emit ModbusGetDevAddrCompleted(ptReg);
        if (byteCount == 2)
            emit SingleHoldingRegisterUpdate(usHoldingStartAddr, data);
        emit HoldingRegisterUpdate(ptReg);
        return MB_EX_NONE;
    }
    case FuncWriteRegister: {
        if (usLen < FixedAnswerLen)
            return MB_EX_TRUNCATED;
        const u16 reg = WordAt(byteArray, 2);
        emit WriteSingleHoldingRegStatus(true, usWriteSingleAddr);
        return reg == ModbusRegister::GetFreq70Reg ? MB_EX_NEED_RELEASE : MB_EX_NONE;
    }
    case FuncWriteMultiple: {
        if (usLen < FixedAnswerLen)
            return MB_EX_TRUNCATED;
        const u16 start = WordAt(byteArray, 2);
        if (start != usWriteMultStartAddr)
            return MB_EX_NONE;
        emit WriteMultHoldingRegStatus(true, start);
        return MB_EX_NONE;
    }
    default:
        return MB_EX_ILLEGAL_FUNCTION;
    }
}

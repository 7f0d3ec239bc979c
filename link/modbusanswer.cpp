#include "modbusanswer.h"

#include "modbus.h"

namespace {

constexpr quint8 ExceptionFlag = 0x80;
constexpr int ExceptionLen = 5;
// Address, function, byte count, then the CRC after the data.
constexpr int ReadHeadLen = 3;
constexpr int CrcLen = 2;
// Write answers echo address, function, register and value or count.
constexpr int WriteAnswerLen = 8;

// The write that asks for a spectrum is answered by its echo and, in the same
// burst, the spectrum text, which has no length known in advance.
bool AsksForSpectrum(const QByteArray &request)
{
    if (request.size() < 4 || quint8(request.at(1)) != 0x06)
        return false;
    const int reg = (quint8(request.at(2)) << 8) | quint8(request.at(3));
    return reg == ModbusRegister::GetFreq70Reg || reg == ModbusRegister::GetFreq80Reg;
}

} // namespace

int ModbusAnswer::ExpectedLength(const QByteArray &request, const QByteArray &received)
{
    if (request.size() < 2 || received.size() < 2 || AsksForSpectrum(request))
        return 0;
    const quint8 ucAddr = quint8(request.at(0));
    // Discovery asks whoever listens; the answer carries the instrument's own address.
    if (ucAddr != Modbus::DiscoveryAddr && quint8(received.at(0)) != ucAddr)
        return 0;
    const quint8 ucFunction = quint8(request.at(1));
    const quint8 ucAnswered = quint8(received.at(1));
    if (ucAnswered == (ucFunction | ExceptionFlag))
        return ExceptionLen;
    if (ucAnswered != ucFunction)
        return 0;
    switch (ucFunction) {
    case 0x03:
    case 0x04:
        return received.size() > 2 ? ReadHeadLen + quint8(received.at(2)) + CrcLen : 0;
    case 0x06:
    case 0x10:
        return WriteAnswerLen;
    default:
        return 0;
    }
}

bool ModbusAnswer::IsComplete(const QByteArray &request, const QByteArray &received)
{
    const int iLen = ExpectedLength(request, received);
    return iLen > 0 && received.size() == iLen && Modbus::MBCRC16(received) == 0;
}

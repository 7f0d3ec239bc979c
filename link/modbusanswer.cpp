#include "modbusanswer.h"

#include "modbus.h"

namespace {

// The write that asks for a spectrum is answered by its echo and, in the same
// burst, the spectrum text, which has no length known in advance.
bool AsksForSpectrum(const QByteArray &request)
{
    if (request.size() < 4 || quint8(request.at(1)) != Modbus::FuncWriteRegister)
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
    if (ucAnswered == (ucFunction | Modbus::FuncError))
        return Modbus::ExceptionFrameLen;
    if (ucAnswered != ucFunction)
        return 0;
    switch (ucFunction) {
    case Modbus::FuncReadHolding:
    case Modbus::FuncReadInput:
        return received.size() > 2 ? Modbus::ReadFrameOverhead + quint8(received.at(2)) : 0;
    case Modbus::FuncWriteRegister:
    case Modbus::FuncWriteMultiple:
        return Modbus::FixedAnswerLen;
    default:
        return 0;
    }
}

bool ModbusAnswer::IsPartial(const QByteArray &request, const QByteArray &received)
{
    if (request.size() < 2 || received.isEmpty() || AsksForSpectrum(request))
        return false;
    const quint8 ucAddr = quint8(request.at(0));
    if (ucAddr != Modbus::DiscoveryAddr && quint8(received.at(0)) != ucAddr)
        return false;
    if (received.size() == 1)
        return true;
    const quint8 ucFunction = quint8(request.at(1));
    const int iLen = ExpectedLength(request, received);
    // A read answer tells its length only with its byte count.
    if (iLen == 0)
        return received.size() == 2 && quint8(received.at(1)) == ucFunction &&
               (ucFunction == Modbus::FuncReadHolding || ucFunction == Modbus::FuncReadInput);
    return received.size() < iLen;
}

bool ModbusAnswer::IsComplete(const QByteArray &request, const QByteArray &received)
{
    const int iLen = ExpectedLength(request, received);
    return iLen > 0 && received.size() == iLen && Modbus::MBCRC16(received) == 0;
}

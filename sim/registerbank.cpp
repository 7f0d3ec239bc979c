#include "registerbank.h"

namespace {

struct FactoryValue
{
    int iAddr;
    quint16 usValue;
};

// The settings a new instrument leaves the factory with: a 2 m wide
// trapezoidal channel, 4 m at the top and 2 m deep, the level radar 3 m
// above its bottom.
constexpr FactoryValue factoryImage[] = {
    {11, 30}, // velocity noise threshold
    {12, 30}, // level noise threshold
    {13, 10}, // velocity filter count
    {14, 5},  // level filter count
    {RegisterBank::RegSinkShape, 2},
    {RegisterBank::RegDevToButtomLen, 300},
    {RegisterBank::RegRadius, 50},
    {RegisterBank::RegButtomLen, 200},
    {RegisterBank::RegTopLen, 400},
    {RegisterBank::RegHeight, 200},
    {RegisterBank::RegCoefficient, 85},
    {22, 1}, // river type, first item
    {23, 2}, // measuring range step, second item
    {24, 1}, // beam direction downstream
    {RegisterBank::RegMaxMeasureSpeed, 1000},
    {31, 2}, // rain mode off
    {RegisterBank::RegLowestWater, 5},
    {47, 50}, // immunity
    {49, 75}, // scan volume 450
    {51, 50}, // tolerance 0.50
    {52, 80}, // iteration threshold upper 0.80
    {56, 20}, // iteration threshold lower 0.20
    {57, 10}, // quantisation tolerance 0.10
    {58, 1},  // damper on
    {63, 1},  // correlation check on
    {66, 1},  // validity check on
    {67, 20}, // validity threshold
    {68, 3},  // zeroing count
    {RegisterBank::RegDevToButtomLenMm, 0},
    {RegisterBank::RegDevToButtomLenMm + 1, 3000},
};

} // namespace

RegisterBank::RegisterBank(quint16 usFirmware, quint8 ucFactoryAddr)
    : usFirmware(usFirmware), ucFactoryAddr(ucFactoryAddr)
{
    restoreFactory();
}

void RegisterBank::restoreFactory()
{
    cells.fill(0);
    for (const FactoryValue &value : factoryImage)
        setHolding(value.iAddr, value.usValue);
    setHolding(RegDevAddr, ucFactoryAddr);
    setInput(InputFirmware, usFirmware);
}

bool RegisterBank::isWritable(int iAddr)
{
    return holdsHolding(iAddr) && iAddr > 10 && (iAddr < 33 || iAddr > 36);
}

int RegisterBank::cellIndex(int iAddr, bool isHolding)
{
    if (!isHolding)
        return holdsInput(iAddr) ? iAddr : -1;
    if (!holdsHolding(iAddr))
        return -1;
    if (iAddr <= 10)
        return iAddr;
    if (iAddr >= 33 && iAddr <= 36)
        return iAddr - 22;
    return InputCount + iAddr;
}

quint16 RegisterBank::input(int iAddr) const
{
    const int i = cellIndex(iAddr, false);
    return i < 0 ? 0 : cells[i];
}

quint16 RegisterBank::holding(int iAddr) const
{
    const int i = cellIndex(iAddr, true);
    return i < 0 ? 0 : cells[i];
}

void RegisterBank::setInput(int iAddr, quint16 usValue)
{
    const int i = cellIndex(iAddr, false);
    if (i >= 0)
        cells[i] = usValue;
}

void RegisterBank::setHolding(int iAddr, quint16 usValue)
{
    const int i = cellIndex(iAddr, true);
    if (i >= 0)
        cells[i] = usValue;
}

double RegisterBank::distance() const
{
    if (firmware() >= FirmwareMmDistance) {
        const quint32 mm =
            quint32(holding(RegDevToButtomLenMm)) << 16 | holding(RegDevToButtomLenMm + 1);
        return mm / 1000.0;
    }
    return holding(RegDevToButtomLen) / 100.0;
}

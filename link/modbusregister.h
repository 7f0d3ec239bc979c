#pragma once

#include "u16.h"

#include <QByteArray>

// The register image of the connected instrument. Instances carry no data:
// every instance names the one process-wide image, whose cells start at zero.
//
// Holding 1-10 share their cells with input 1-10, and holding 33-36 with
// input 11-14, so a holding read of those registers also changes the live
// values (holding 36 and input 14 are both the firmware version).
class ModbusRegister
{
public:
    static constexpr int InputRegCount = 16;

    // Holding registers the link itself relies on.
    static constexpr u16 DevAddrReg = 28;    // the slave address; read alone by the address query
    static constexpr u16 DevVersionReg = 36; // firmware version, high byte major
    static constexpr u16 GetFreq70Reg = 38;  // 0x1234 asks for the velocity echo spectrum
    static constexpr u16 GetFreq80Reg = 91;  // 0x1234 asks for the level echo spectrum
    static constexpr int HoldingRegCount = 93;

    // Store usCount big-endian values from data, register i at usStartAddr + i
    // (16-bit wrap-around). Addresses without a cell are dropped.
    static void SetHoldingRegs(const QByteArray &data, u16 usStartAddr, u16 usCount);
    static void SetInputRegs(const QByteArray &data, u16 usStartAddr, u16 usCount);

    // 0 for an address without a cell.
    static u16 GetHoldingReg(u16 usAddr);
    static u16 GetInputReg(u16 usAddr);

    // A quantity of usCount consecutive registers (1 to 4), most significant
    // word at the lowest address: input 15-16 and holding 75-76 are 32-bit,
    // input 5-7 is 48-bit.
    static quint64 GetHoldingValue(u16 usAddr, int usCount);
    static quint64 GetInputValue(u16 usAddr, int usCount);

    // How many holding registers, from address 1, a full read-back requests
    // for firmware version usVersion; usCurrent is kept for versions that
    // do not change it.
    static u16 HoldingRegCountForVersion(u16 usVersion, u16 usCurrent);
};

// The one register image, travelling with the codec's update signals.
extern ModbusRegister *const ptReg;

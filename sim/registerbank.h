#pragma once

#include <QtGlobal>

#include <array>

// The instrument's registers: input 1 to 16 (live measurements) and holding
// 1 to 101 (settings and commands). Holding 1 to 10 are the same cells as
// input 1 to 10 and holding 33 to 36 the same as input 11 to 14, so the
// firmware version is both holding 36 and input 14.
class RegisterBank
{
public:
    static constexpr int InputCount = 16;
    static constexpr int HoldingCount = 101;

    static constexpr int RegSinkShape = 15;
    static constexpr int RegDevToButtomLen = 16;
    static constexpr int RegRadius = 17;
    static constexpr int RegButtomLen = 18;
    static constexpr int RegTopLen = 19;
    static constexpr int RegHeight = 20;
    static constexpr int RegCoefficient = 21;
    static constexpr int RegMaxMeasureSpeed = 25;
    static constexpr int RegDischargeClear = 26;
    static constexpr int RegDevAddr = 28;
    static constexpr int RegAngleAdjust = 29;
    static constexpr int RegDevVersion = 36;
    static constexpr int RegFactoryRst = 37;
    static constexpr int RegGetFreq70 = 38;
    static constexpr int RegLowestWater = 44;
    static constexpr int RegSilt = 54;
    static constexpr int RegDevToButtomLenMm = 75;
    static constexpr int RegGetFreq80 = 91;

    static constexpr int InputFirmware = 14;

    // Firmware from which the distance D is kept in millimetres in 75-76.
    static constexpr quint16 FirmwareMmDistance = 0x041A;
    // Up to this firmware flow is input 4 (x100) and discharge counts 1/100 m3.
    static constexpr quint16 FirmwareOldScaling = 0x0108;

    RegisterBank(quint16 usFirmware, quint8 ucFactoryAddr);

    // Everything back to the factory image, the slave address included.
    void restoreFactory();

    static bool holdsInput(int iAddr) { return iAddr >= 1 && iAddr <= InputCount; }
    static bool holdsHolding(int iAddr) { return iAddr >= 1 && iAddr <= HoldingCount; }
    // The live values and the version cannot be written from the line.
    static bool isWritable(int iAddr);

    quint16 input(int iAddr) const;
    quint16 holding(int iAddr) const;
    void setInput(int iAddr, quint16 usValue);
    void setHolding(int iAddr, quint16 usValue);

    quint16 firmware() const { return input(InputFirmware); }
    quint8 factoryAddr() const { return ucFactoryAddr; }

    // Distance D in metres: from 75-76 for firmware that keeps millimetres.
    double distance() const;

private:
    // Index of the register's cell, -1 for an address the instrument lacks.
    static int cellIndex(int iAddr, bool isHolding);

    quint16 usFirmware;
    quint8 ucFactoryAddr;
    // Input cells at 1 to 16, holding-only cells at 16 + address.
    std::array<quint16, InputCount + HoldingCount + 1> cells{};
};

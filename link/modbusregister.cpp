#include "modbusregister.h"

#include <array>

namespace {

struct RegCell
{
    int addr;
    u16 *cell;
};

// Holding 1-10 and 33-36 have no cells of their own; they alias input cells.
std::array<u16, ModbusRegister::InputRegCount> inputCells{};
std::array<u16, ModbusRegister::HoldingRegCount> holdingCells{};

std::array<RegCell, ModbusRegister::InputRegCount> MakeInputTable()
{
    std::array<RegCell, ModbusRegister::InputRegCount> table{};
    for (int i = 0; i < ModbusRegister::InputRegCount; ++i)
        table[i] = {i + 1, &inputCells[i]};
    return table;
}

std::array<RegCell, ModbusRegister::HoldingRegCount> MakeHoldingTable()
{
    std::array<RegCell, ModbusRegister::HoldingRegCount> table{};
    int n = 0;
    auto add = [&](int addr) {
        u16 *cell = &holdingCells[n];
        if (addr >= 1 && addr <= 10)
            cell = &inputCells[addr - 1];
        else if (addr >= 33 && addr <= 36)
            cell = &inputCells[addr - 33 + 10];
        table[n++] = {addr, cell};
    };
    for (int a = 1; a <= 70; ++a)
        add(a);
    add(75);
    add(76);
    for (int a = 81; a <= 101; ++a)
        add(a);
    return table;
}

const auto InputTable = MakeInputTable();
const auto HoldingTable = MakeHoldingTable();

template <typename Table> u16 *FindCell(const Table &table, int addr)
{
    for (const RegCell &entry : table)
        if (entry.addr == addr)
            return entry.cell;
    return nullptr;
}

template <typename Table>
void StoreBlock(const Table &table, const QByteArray &data, u16 usStartAddr, u16 usCount)
{
    const int available = data.size() / 2;
    for (int i = 0; i < usCount && i < available; ++i) {
        const u16 value = u16((quint8(data.at(2 * i)) << 8) | quint8(data.at(2 * i + 1)));
        if (u16 *cell = FindCell(table, u16(usStartAddr + i)))
            *cell = value;
    }
}

template <typename Table> quint64 CombineWords(const Table &table, u16 usAddr, int usCount)
{
    quint64 value = 0;
    for (int k = 0; k < usCount; ++k) {
        const u16 *cell = FindCell(table, u16(usAddr + k));
        value = (value << 16) | (cell ? *cell : 0);
    }
    return value;
}

ModbusRegister theImage;

} // namespace

ModbusRegister *const ptReg = &theImage;

void ModbusRegister::SetHoldingRegs(const QByteArray &data, u16 usStartAddr, u16 usCount)
{
    StoreBlock(HoldingTable, data, usStartAddr, usCount);
}

void ModbusRegister::SetInputRegs(const QByteArray &data, u16 usStartAddr, u16 usCount)
{
    StoreBlock(InputTable, data, usStartAddr, usCount);
}

u16 ModbusRegister::GetHoldingReg(u16 usAddr)
{
    const u16 *cell = FindCell(HoldingTable, usAddr);
    return cell ? *cell : 0;
}

u16 ModbusRegister::GetInputReg(u16 usAddr)
{
    const u16 *cell = FindCell(InputTable, usAddr);
    return cell ? *cell : 0;
}

quint64 ModbusRegister::GetHoldingValue(u16 usAddr, int usCount)
{
    return CombineWords(HoldingTable, usAddr, qBound(1, usCount, 4));
}

quint64 ModbusRegister::GetInputValue(u16 usAddr, int usCount)
{
    return CombineWords(InputTable, usAddr, qBound(1, usCount, 4));
}

u16 ModbusRegister::HoldingRegCountForVersion(u16 usVersion, u16 usCurrent)
{
    // Tested in this order: 0x0200 and 0x0201 read everything although they
    // sit between the smaller ranges.
    if (usVersion == 0x0200 || usVersion == 0x0201)
        return 101;
    if (usVersion <= 0x01FF)
        return 40;
    if (usVersion <= 0x0205)
        return 45;
    if (usVersion <= 0x03FF)
        return 51;
    if (usVersion <= 0x0402)
        return 55;
    if (usVersion <= 0x0411)
        return 101;
    return usCurrent;
}

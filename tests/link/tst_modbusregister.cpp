// The register image and the conversions of typed values into registers, each
// bound with the last value that fits beside the first that does not.
#include "modbusregister.h"
#include "registerconvert.h"
#include "wire.h"

#include <QtTest>

using Wire::hex;

class tst_ModbusRegister : public QObject
{
    Q_OBJECT

private slots:
    void cells()
    {
        // Holding 36 and input 14 are both the firmware version; holding 11 is a
        // setting of its own, not input 11; 71 and input 17 have no cell.
        ModbusRegister::SetHoldingRegs(hex("02 06"), 36, 1);
        ModbusRegister::SetHoldingRegs(hex("00 4D"), 11, 1);
        ModbusRegister::SetHoldingRegs(hex("00 01 00 02 00 03"), 69, 3);
        ModbusRegister::SetInputRegs(hex("00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 09"),
                                     5, 13);
        ModbusRegister::SetInputRegs(hex("00 01 86 A0"), 15, 2);
        ModbusRegister::SetInputRegs(hex("00 0B"), 11, 1);
        QCOMPARE((QList<int>{ModbusRegister::GetInputReg(14), ModbusRegister::GetHoldingReg(33),
                             ModbusRegister::GetHoldingReg(11), ModbusRegister::GetHoldingReg(70),
                             ModbusRegister::GetHoldingReg(71), ModbusRegister::GetInputReg(17)}),
                 (QList<int>{0x0206, 11, 77, 2, 0, 0}));
        QCOMPARE(ModbusRegister::GetInputValue(5, 3), quint64(1) << 32);
        QCOMPARE(ModbusRegister::GetInputValue(15, 2), quint64(100000));
    }

    void versionTable()
    {
        // Firmware versions on both sides of each step, and the count they read.
        const QList<QPair<int, int>> rows = {
            {0x0000, 40},  {0x01FF, 40},  {0x0200, 101}, {0x0201, 101}, {0x0202, 45},
            {0x0205, 45},  {0x0206, 51},  {0x03FF, 51},  {0x0400, 55},  {0x0402, 55},
            {0x0403, 101}, {0x0411, 101}, {0x0412, 77},  {0xFFFF, 77}};
        for (const auto &[version, count] : rows)
            QCOMPARE(int(ModbusRegister::HoldingRegCountForVersion(u16(version), 77)) * 0x10000 +
                         version,
                     count * 0x10000 + version);
    }

    void conversions()
    {
        // text | scale (1 integer, 1000 32 bits) | stored, or - when refused | unchecked
        const QString rows = R"(
0.29   | 100  | 29    | 29
655.35 | 100  | 65535 | 65535
655.36 | 100  | -     | 0
0      | 100  | 0     | 0
-0.5   | 100  | -     | 65487
-0.01  | 100  | -     | 0
0.01   | 100  | 1     | 1
       | 100  | -     | 0
65535  | 1    | 65535 |
65536  | 1    | -     |
-1     | 1    | -     |
1.5    | 1    | -     |
70.5   | 1000 | 70500 |
4294967.295 | 1000 | 4294967295 |
-0.5   | 1000 | -     |
-0.0001 | 1000 | -    |
0.001  | 1000 | 1     |
)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts)) {
            const QStringList cell = row.split('|');
            const QString text = cell[0].trimmed();
            const int scale = cell[1].toInt();
            u16 value = 0;
            quint32 wide = 0;
            const bool ok = scale == 1 ? RegisterConvert::IntegerChecked(text, &value)
                            : scale == 1000
                                ? RegisterConvert::FixedPoint32Checked(text, scale, &wide)
                                : RegisterConvert::FixedPointChecked(text, scale, &value);
            QCOMPARE(row + (ok ? QString::number(scale == 1000 ? wide : value) : "-"),
                     row + cell[2].trimmed());
            if (!cell[3].trimmed().isEmpty())
                QCOMPARE(int(RegisterConvert::FixedPointFromText(text, scale)), cell[3].toInt());
        }
    }
};

QTEST_APPLESS_MAIN(tst_ModbusRegister)
#include "tst_modbusregister.moc"

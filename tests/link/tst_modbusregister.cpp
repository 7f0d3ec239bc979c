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
    void sharedAndMissingCells();
    void versionTable_data();
    void versionTable();
    void conversions_data();
    void conversions();
};

void tst_ModbusRegister::sharedAndMissingCells()
{
    // Holding 36 and input 14 are both the firmware version; holding 11 is a
    // setting of its own, not input 11.
    ModbusRegister::SetHoldingRegs(hex("03 E8 07 D0"), 1, 2);
    ModbusRegister::SetHoldingRegs(hex("02 06"), 36, 1);
    ModbusRegister::SetHoldingRegs(hex("00 4D"), 11, 1);
    ModbusRegister::SetInputRegs(hex("00 0B"), 11, 1);
    QCOMPARE(ModbusRegister::GetInputReg(2), u16(2000));
    QCOMPARE(ModbusRegister::GetInputReg(14), u16(0x0206));
    QCOMPARE(ModbusRegister::GetHoldingReg(33), u16(11));
    QCOMPARE(ModbusRegister::GetHoldingReg(11), u16(77));
    // 69 and 70 have cells, 71 does not; input 16 is the last.
    ModbusRegister::SetHoldingRegs(hex("00 01 00 02 00 03"), 69, 3);
    ModbusRegister::SetInputRegs(hex("00 09 00 09"), 16, 2);
    QCOMPARE(ModbusRegister::GetHoldingReg(70), u16(2));
    QCOMPARE(ModbusRegister::GetHoldingReg(71), u16(0));
    QCOMPARE(ModbusRegister::GetInputReg(16), u16(9));
    QCOMPARE(ModbusRegister::GetInputReg(17), u16(0));
    // Wide values, most significant word first.
    ModbusRegister::SetInputRegs(hex("00 01 00 00 00 00"), 5, 3);
    ModbusRegister::SetInputRegs(hex("00 01 86 A0"), 15, 2);
    QCOMPARE(ModbusRegister::GetInputValue(5, 3), quint64(1) << 32);
    QCOMPARE(ModbusRegister::GetInputValue(15, 2), quint64(100000));
}

void tst_ModbusRegister::versionTable_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("count");
    const QList<QPair<int, int>> rows = {{0x0000, 40}, {0x01FF, 40}, {0x0200, 101}, {0x0201, 101},
                                         {0x0202, 45}, {0x0205, 45}, {0x0206, 51},  {0x03FF, 51},
                                         {0x0400, 55}, {0x0402, 55}, {0x0403, 101}, {0x0411, 101},
                                         {0x0412, 77}, {0xFFFF, 77}};
    for (const auto &row : rows)
        QTest::addRow("0x%04X", row.first) << row.first << row.second;
}

void tst_ModbusRegister::versionTable()
{
    QFETCH(int, version);
    QFETCH(int, count);
    QCOMPARE(int(ModbusRegister::HoldingRegCountForVersion(u16(version), 77)), count);
}

void tst_ModbusRegister::conversions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("scale"); // 1: integer register, 1000: 32 bits
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<int>("unchecked"); // FixedPointFromText, -1 not asked
    QTest::newRow("0.29 rounds to 29") << "0.29" << 100 << true << 29ll << 29;
    QTest::newRow("655.35 fits") << "655.35" << 100 << true << 65535ll << 65535;
    QTest::newRow("655.36 refused, wraps unchecked") << "655.36" << 100 << false << 0ll << 0;
    QTest::newRow("0 fits") << "0" << 100 << true << 0ll << 0;
    QTest::newRow("-0.5 refused, two's complement unchecked")
        << "-0.5" << 100 << false << 0ll << 0xFFCF;
    QTest::newRow("empty refused") << "" << 100 << false << 0ll << 0;
    QTest::newRow("65535 fits a register") << "65535" << 1 << true << 65535ll << -1;
    QTest::newRow("65536 refused") << "65536" << 1 << false << 0ll << -1;
    QTest::newRow("-1 refused") << "-1" << 1 << false << 0ll << -1;
    QTest::newRow("1.5 is no integer") << "1.5" << 1 << false << 0ll << -1;
    QTest::newRow("70.5 m in mm") << "70.5" << 1000 << true << 70500ll << -1;
    QTest::newRow("4294967.295 m fits 32 bits")
        << "4294967.295" << 1000 << true << 4294967295ll << -1;
    QTest::newRow("-0.001 m refused") << "-0.001" << 1000 << false << 0ll << -1;
}

void tst_ModbusRegister::conversions()
{
    QFETCH(QString, text);
    QFETCH(int, scale);
    QFETCH(bool, ok);
    QFETCH(qint64, stored);
    QFETCH(int, unchecked);
    u16 value = 0;
    quint32 wide = 0;
    const bool converted = scale == 1 ? RegisterConvert::IntegerChecked(text, &value)
                           : scale == 1000
                               ? RegisterConvert::FixedPoint32Checked(text, scale, &wide)
                               : RegisterConvert::FixedPointChecked(text, scale, &value);
    QCOMPARE(converted, ok);
    QCOMPARE(qint64(scale == 1000 ? wide : value), stored);
    if (unchecked >= 0)
        QCOMPARE(int(RegisterConvert::FixedPointFromText(text, scale)), unchecked);
}

QTEST_APPLESS_MAIN(tst_ModbusRegister)
#include "tst_modbusregister.moc"

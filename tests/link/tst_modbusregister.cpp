#include "modbusregister.h"
#include "registerconvert.h"

#include <QtTest>

namespace {

QByteArray words(std::initializer_list<u16> values)
{
    QByteArray bytes;
    for (u16 v : values)
        bytes += RegisterConvert::U16ToBytes(v);
    return bytes;
}

} // namespace

class tst_ModbusRegister : public QObject
{
    Q_OBJECT

private slots:
    void holdingAndInputShareCells();
    void addressesWithoutCells();
    void storeWrapsAround();
    void multiRegisterValues();
    void versionTable_data();
    void versionTable();
    void fixedPointFromText_data();
    void fixedPointFromText();
    void checkedConversions_data();
    void checkedConversions();
};

void tst_ModbusRegister::holdingAndInputShareCells()
{
    ModbusRegister::SetHoldingRegs(words({1000, 2000, 3000, 0, 0}), 1, 5);
    QCOMPARE(ModbusRegister::GetInputReg(1), u16(1000));
    QCOMPARE(ModbusRegister::GetInputReg(3), u16(3000));

    // Holding 36 and input 14 are both the firmware version.
    ModbusRegister::SetHoldingRegs(words({0x0206}), 36, 1);
    QCOMPARE(ModbusRegister::GetInputReg(14), u16(0x0206));
    ModbusRegister::SetInputRegs(words({11, 12}), 11, 2);
    QCOMPARE(ModbusRegister::GetHoldingReg(33), u16(11));
    QCOMPARE(ModbusRegister::GetHoldingReg(34), u16(12));

    // Holding 11 is a setting of its own, not input 11.
    ModbusRegister::SetHoldingRegs(words({77}), 11, 1);
    QCOMPARE(ModbusRegister::GetInputReg(11), u16(11));
}

void tst_ModbusRegister::addressesWithoutCells()
{
    QCOMPARE(ModbusRegister::GetHoldingReg(27), u16(0));
    ModbusRegister::SetHoldingRegs(words({1, 2, 3, 4, 5}), 69, 5);
    QCOMPARE(ModbusRegister::GetHoldingReg(69), u16(1));
    QCOMPARE(ModbusRegister::GetHoldingReg(70), u16(2));
    for (u16 a : {71, 72, 73, 77, 80, 102, 200, 0})
        QCOMPARE(ModbusRegister::GetHoldingReg(a), u16(0));
    ModbusRegister::SetInputRegs(words({9, 9}), 16, 2);
    QCOMPARE(ModbusRegister::GetInputReg(16), u16(9));
    QCOMPARE(ModbusRegister::GetInputReg(17), u16(0));

    // Address 0 is no register: storing there changes nothing.
    ModbusRegister::SetHoldingRegs(words({0xAAAA}), 0, 1);
    ModbusRegister::SetInputRegs(words({0xAAAA}), 0, 1);
    QCOMPARE(ModbusRegister::GetHoldingReg(0), u16(0));
    QCOMPARE(ModbusRegister::GetInputReg(0), u16(0));
}

void tst_ModbusRegister::storeWrapsAround()
{
    // 0xFFFF + 1 wraps to 0 (no register), + 2 to address 1.
    ModbusRegister::SetInputRegs(words({5, 6, 7}), 0xFFFF, 3);
    QCOMPARE(ModbusRegister::GetInputReg(1), u16(7));
    // A count beyond the data stores only what the data holds.
    ModbusRegister::SetInputRegs(words({8}), 4, 3);
    QCOMPARE(ModbusRegister::GetInputReg(4), u16(8));
}

void tst_ModbusRegister::multiRegisterValues()
{
    ModbusRegister::SetInputRegs(words({0x0001, 0x86A0}), 15, 2);
    QCOMPARE(ModbusRegister::GetInputValue(15, 2), quint64(100000));
    ModbusRegister::SetInputRegs(words({0x0001, 0x0000, 0x0000}), 5, 3);
    QCOMPARE(ModbusRegister::GetInputValue(5, 3), quint64(1) << 32);
    ModbusRegister::SetHoldingRegs(words({0x0000, 0x07D0}), 75, 2);
    QCOMPARE(ModbusRegister::GetHoldingValue(75, 2), quint64(2000));
    QCOMPARE(RegisterConvert::U32ToBytes(0x12345678).toHex(), QByteArray("12345678"));
}

void tst_ModbusRegister::versionTable_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("count");
    QTest::newRow("0x0000") << 0x0000 << 40;
    QTest::newRow("0x01FF") << 0x01FF << 40;
    QTest::newRow("0x0200") << 0x0200 << 101;
    QTest::newRow("0x0201") << 0x0201 << 101;
    QTest::newRow("0x0202") << 0x0202 << 45;
    QTest::newRow("0x0205") << 0x0205 << 45;
    QTest::newRow("0x0206") << 0x0206 << 51;
    QTest::newRow("0x03FF") << 0x03FF << 51;
    QTest::newRow("0x0400") << 0x0400 << 55;
    QTest::newRow("0x0402") << 0x0402 << 55;
    QTest::newRow("0x0403") << 0x0403 << 101;
    QTest::newRow("0x0411") << 0x0411 << 101;
    QTest::newRow("0x0412 keeps the count") << 0x0412 << 77;
    QTest::newRow("0xFFFF keeps the count") << 0xFFFF << 77;
}

void tst_ModbusRegister::versionTable()
{
    QFETCH(int, version);
    QFETCH(int, count);
    QCOMPARE(int(ModbusRegister::HoldingRegCountForVersion(u16(version), 77)), count);
}

void tst_ModbusRegister::fixedPointFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("stored");
    QTest::newRow("0.29 rounds up to 29") << "0.29" << 100 << 29;
    QTest::newRow("-0.5 is two's complement") << "-0.5" << 100 << 0xFFCF;
    QTest::newRow("empty") << "" << 100 << 0;
    QTest::newRow("not a number") << "abc" << 100 << 0;
    QTest::newRow("655.36 wraps") << "655.36" << 100 << 0;
    QTest::newRow("millimetres") << "2.0005" << 1000 << 2001;
}

void tst_ModbusRegister::fixedPointFromText()
{
    QFETCH(QString, text);
    QFETCH(int, scale);
    QFETCH(int, stored);
    QCOMPARE(int(RegisterConvert::FixedPointFromText(text, scale)), stored);
}

void tst_ModbusRegister::checkedConversions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("scale"); // 1: integer register
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("stored");
    QTest::newRow("0.29") << "0.29" << 100 << true << 29;
    QTest::newRow("655.35 fits") << "655.35" << 100 << true << 65535;
    QTest::newRow("655.36 refused") << "655.36" << 100 << false << 0;
    QTest::newRow("negative refused") << "-0.5" << 100 << false << 0;
    QTest::newRow("empty refused") << "" << 100 << false << 0;
    QTest::newRow("40000 fits a register") << "40000" << 1 << true << 40000;
    QTest::newRow("70000 refused") << "70000" << 1 << false << 0;
    QTest::newRow("-1 refused") << "-1" << 1 << false << 0;
    QTest::newRow("1.5 is no integer") << "1.5" << 1 << false << 0;
}

void tst_ModbusRegister::checkedConversions()
{
    QFETCH(QString, text);
    QFETCH(int, scale);
    QFETCH(bool, ok);
    QFETCH(int, stored);
    u16 value = 0;
    const bool converted = scale == 1 ? RegisterConvert::IntegerChecked(text, &value)
                                      : RegisterConvert::FixedPointChecked(text, scale, &value);
    QCOMPARE(converted, ok);
    QCOMPARE(int(value), stored);

    quint32 mm = 0;
    QVERIFY(RegisterConvert::FixedPoint32Checked("70.5", 1000, &mm));
    QCOMPARE(mm, quint32(70500));
    QVERIFY(!RegisterConvert::FixedPoint32Checked("-1", 1000, &mm));
}

QTEST_APPLESS_MAIN(tst_ModbusRegister)
#include "tst_modbusregister.moc"

// The codec against frames as the wire shows them: requests it builds, and
// answers it decodes, with the signals each answer gives and what it stores.
#include "modbus.h"
#include "wire.h"

#include <QSignalSpy>
#include <QtTest>

using Wire::hex;
using Wire::withCrc;
using Build = std::function<void(Modbus &)>;
Q_DECLARE_METATYPE(Build)

class tst_Modbus : public QObject
{
    Q_OBJECT

private slots:
    void crcCheckValue();
    void requestFrames_data();
    void requestFrames();
    void answers_data();
    void answers();
    void discoveryAcceptsAnyAddress();
};

void tst_Modbus::crcCheckValue()
{
    // The catalogue's check value of CRC-16/MODBUS.
    QCOMPARE(Modbus::MBCRC16(QByteArray("123456789")), u16(0x4B37));
    QCOMPARE(Modbus::MBCRC16(hex("80 03 00 24 00 01 DA 10")), u16(0));
}

void tst_Modbus::requestFrames_data()
{
    QTest::addColumn<int>("devAddr");
    QTest::addColumn<Build>("build");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("read holding 36 from 0x80")
        << 0x80 << Build([](Modbus &m) { m.MBReadHoldingRegister(36, 1); })
        << hex("80 03 00 24 00 01 DA 10");
    QTest::newRow("discovery read of 28")
        << 0xFF << Build([](Modbus &m) { m.MBReadHoldingRegister(28, 1); })
        << hex("FF 03 00 1C 00 01 50 12");
    QTest::newRow("read input 1-16")
        << 0x80 << Build([](Modbus &m) { m.MBReadInputRegister(1, 16); })
        << hex("80 04 00 01 00 10 BE 17");
    QTest::newRow("write 0x1234 to 38")
        << 0x80 << Build([](Modbus &m) { m.MBWriteHoldingRegister(38, 0x1234); })
        << hex("80 06 00 26 12 34 7B 67");
    QTest::newRow("write 0x1234 to 38 at 0x01")
        << 0x01 << Build([](Modbus &m) { m.MBWriteHoldingRegister(38, 0x1234); })
        << withCrc(hex("01 06 00 26 12 34"));
    QTest::newRow("write geometry 15..20") << 0x80 << Build([](Modbus &m) {
        m.MBWriteMultHoldingRegisters(15, hex("00 01 00 C8 00 32 00 00 00 00 00 00"), 6);
    }) << hex("80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00 7B FB");
    QTest::newRow("write 75..76, 32-bit distance") << 0x80 << Build([](Modbus &m) {
        m.MBWriteMultHoldingRegisters(75, hex("00 01 11 70"), 2);
    }) << hex("80 10 00 4B 00 02 04 00 01 11 70 47 66");
}

void tst_Modbus::requestFrames()
{
    QFETCH(int, devAddr);
    QFETCH(Build, build);
    QFETCH(QByteArray, expected);
    Modbus codec{quint8(devAddr)};
    QSignalSpy spy(&codec, &Modbus::SerialWrite);
    build(codec);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toByteArray().toHex(' '), expected.toHex(' '));
}

void tst_Modbus::answers_data()
{
    QTest::addColumn<Build>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("usLen"); // -1: the whole answer
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("signalNames");
    QTest::addColumn<QList<int>>("stored"); // holding 11, 12 afterwards; 7, 8 before
    const Build none = [](Modbus &) {};
    const Build read11 = [](Modbus &m) { m.MBReadHoldingRegister(11, 2); };
    const Build write38 = [](Modbus &m) { m.MBWriteHoldingRegister(38, 0x1234); };
    const Build write15 = [](Modbus &m) {
        m.MBWriteMultHoldingRegisters(15, QByteArray(12, 0), 6);
    };
    const QList<int> kept{7, 8};
    QTest::newRow("address query answer: three signals in order")
        << Build([](Modbus &m) { m.MBReadHoldingRegister(28, 1); }) << hex("80 03 02 00 0A 04 5D")
        << -1 << 0 << QStringList{"GetDevAddr", "Single(28,000a)", "Holding"} << kept;
    QTest::newRow("two holding registers")
        << read11 << withCrc(hex("80 03 04 11 11 22 22")) << -1 << 0 << QStringList{"Holding"}
        << QList<int>{0x1111, 0x2222};
    QTest::newRow("odd byte count 3 stores one register")
        << read11 << withCrc(hex("80 03 03 00 01 00")) << -1 << 0 << QStringList{"Holding"}
        << QList<int>{1, 8};
    QTest::newRow("flipped bit: CRC error")
        << read11 << hex("80 03 04 11 11 22 23 A6 BB") << -1 << 13 << QStringList{} << kept;
    QTest::newRow("other slave") << read11 << withCrc(hex("81 03 04 11 11 22 22")) << -1 << 12
                                 << QStringList{} << kept;
    QTest::newRow("input block") << Build([](Modbus &m) { m.MBReadInputRegister(1, 2); })
                                 << withCrc(hex("80 04 04 00 01 00 02")) << -1 << 0
                                 << QStringList{"Input"} << kept;
    QTest::newRow("echo of 38 needs a manual release")
        << write38 << hex("80 06 00 26 12 34 7B 67") << -1 << 14 << QStringList{"WriteSingle(1,38)"}
        << kept;
    QTest::newRow("echo of 91 finishes")
        << Build([](Modbus &m) { m.MBWriteHoldingRegister(91, 0x1234); })
        << withCrc(hex("80 06 00 5B 12 34")) << -1 << 0 << QStringList{"WriteSingle(1,91)"} << kept;
    QTest::newRow("echo of 38 before a spectrum, cut at 8")
        << write38 << hex("80 06 00 26 12 34 7B 67") + QByteArray("12\r\n34\r\n") << 8 << 14
        << QStringList{"WriteSingle(1,38)"} << kept;
    QTest::newRow("0x10 answer") << write15 << withCrc(hex("80 10 00 0F 00 06")) << -1 << 0
                                 << QStringList{"WriteMult(1,15)"} << kept;
    QTest::newRow("foreign 0x10 answer is dropped")
        << write15 << withCrc(hex("80 10 00 4B 00 02")) << -1 << 0 << QStringList{} << kept;
    QTest::newRow("exception 0x83 gives 3, not its code")
        << none << withCrc(hex("80 83 02")) << -1 << 3 << QStringList{} << kept;
    QTest::newRow("unknown function")
        << none << withCrc(hex("80 2B 00 00")) << -1 << 1 << QStringList{} << kept;
    QTest::newRow("usLen 0") << none << withCrc(hex("80 03 02 00 01")) << 0 << 13 << QStringList{}
                             << kept;
    QTest::newRow("usLen beyond the bytes received")
        << none << withCrc(hex("80 03 02 00 01")) << 8 << 13 << QStringList{} << kept;
    QTest::newRow("byte count larger than the frame")
        << read11 << withCrc(hex("80 03 05 00 01 00 02")) << -1 << 16 << QStringList{} << kept;
    QTest::newRow("address and intact CRC only")
        << none << withCrc(hex("80")) << -1 << 16 << QStringList{} << kept;
}

void tst_Modbus::answers()
{
    QFETCH(Build, request);
    QFETCH(QByteArray, answer);
    QFETCH(int, usLen);
    QFETCH(int, result);
    QFETCH(QStringList, signalNames);
    QFETCH(QList<int>, stored);
    Modbus codec(0x80);
    request(codec);
    ModbusRegister::SetHoldingRegs(hex("00 07 00 08"), 11, 2);
    QStringList names;
    connect(&codec, &Modbus::ModbusGetDevAddrCompleted, [&] { names << "GetDevAddr"; });
    connect(&codec, &Modbus::HoldingRegisterUpdate, [&] { names << "Holding"; });
    connect(&codec, &Modbus::InputRegisterUpdate, [&] { names << "Input"; });
    connect(&codec, &Modbus::WriteSingleHoldingRegStatus,
            [&](bool ok, u16 addr) { names << QString("WriteSingle(%1,%2)").arg(ok).arg(addr); });
    connect(&codec, &Modbus::WriteMultHoldingRegStatus,
            [&](bool ok, u16 addr) { names << QString("WriteMult(%1,%2)").arg(ok).arg(addr); });
    connect(&codec, &Modbus::SingleHoldingRegisterUpdate, [&](u16 addr, const QByteArray &data) {
        names << QString("Single(%1,%2)").arg(addr).arg(QString(data.toHex()));
    });
    QCOMPARE(int(codec.MBEncoding(answer, u16(usLen < 0 ? answer.size() : usLen))), result);
    QCOMPARE(names, signalNames);
    QCOMPARE((QList<int>{ModbusRegister::GetHoldingReg(11), ModbusRegister::GetHoldingReg(12)}),
             stored);
}

void tst_Modbus::discoveryAcceptsAnyAddress()
{
    const QByteArray answer = withCrc(hex("05 03 02 00 05"));
    Modbus codec(0x80);
    codec.MBReadHoldingRegister(28, 1);
    QCOMPARE(codec.MBEncoding(answer, u16(answer.size())), MB_EX_ADDRESS_MISMATCH);
    codec.SetDevAddr(Modbus::DiscoveryAddr);
    QSignalSpy spy(&codec, &Modbus::ModbusGetDevAddrCompleted);
    QCOMPARE(codec.MBEncoding(answer, u16(answer.size())), MB_EX_NONE);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(ModbusRegister::GetHoldingReg(28), u16(5));
}

QTEST_GUILESS_MAIN(tst_Modbus)
#include "tst_modbus.moc"

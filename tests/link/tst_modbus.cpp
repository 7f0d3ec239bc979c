#include "modbus.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// The frame with its CRC appended, low byte first.
QByteArray withCrc(const QByteArray &body)
{
    const u16 crc = Modbus::MBCRC16(body);
    return body + char(crc & 0xFF) + char(crc >> 8);
}

// Names of the codec's signals in the order they were emitted.
class SignalLog : public QObject
{
public:
    explicit SignalLog(Modbus *codec)
    {
        connect(codec, &Modbus::ModbusGetDevAddrCompleted, this,
                [this](ModbusRegister *) { names << "GetDevAddr"; });
        connect(codec, &Modbus::HoldingRegisterUpdate, this,
                [this](ModbusRegister *) { names << "Holding"; });
        connect(codec, &Modbus::InputRegisterUpdate, this,
                [this](ModbusRegister *) { names << "Input"; });
        connect(codec, &Modbus::WriteSingleHoldingRegStatus, this, [this](bool ok, u16 addr) {
            names << QString("WriteSingle(%1,%2)").arg(ok).arg(addr);
        });
        connect(codec, &Modbus::WriteMultHoldingRegStatus, this, [this](bool ok, u16 addr) {
            names << QString("WriteMult(%1,%2)").arg(ok).arg(addr);
        });
        connect(codec, &Modbus::SingleHoldingRegisterUpdate, this,
                [this](u16 addr, const QByteArray &data) {
                    names << QString("Single(%1,%2)").arg(addr).arg(QString(data.toHex()));
                });
    }
    QStringList names;
};

} // namespace

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
    void failedAnswersStoreNothing();
};

void tst_Modbus::crcCheckValue()
{
    QCOMPARE(Modbus::MBCRC16(QByteArray("123456789")), u16(0x4B37));
    QCOMPARE(Modbus::MBCRC16(QByteArray()), u16(0xFFFF));
    // An intact frame run through the CRC together with its CRC leaves 0.
    QCOMPARE(Modbus::MBCRC16(hex("80 03 00 24 00 01 DA 10")), u16(0));
}

using Build = std::function<void(Modbus &)>;
Q_DECLARE_METATYPE(Build)

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
        << withCrc(hex("FF 03 00 1C 00 01"));
    QTest::newRow("read input 1-16")
        << 0x80 << Build([](Modbus &m) { m.MBReadInputRegister(1, 16); })
        << withCrc(hex("80 04 00 01 00 10"));
    QTest::newRow("write 0x1234 to 38")
        << 0x01 << Build([](Modbus &m) { m.MBWriteHoldingRegister(38, 0x1234); })
        << withCrc(hex("01 06 00 26 12 34"));
    QTest::newRow("write 50..52, 15 bytes") << 0x80 << Build([](Modbus &m) {
        m.MBWriteMultHoldingRegisters(50, hex("00 01 00 02 00 03"), 3);
    }) << withCrc(hex("80 10 00 32 00 03 06 00 01 00 02 00 03"));
    QTest::newRow("write 75..76, 32-bit distance") << 0x80 << Build([](Modbus &m) {
        m.MBWriteMultHoldingRegisters(75, hex("00 00 07 D0"), 2);
    }) << withCrc(hex("80 10 00 4B 00 02 04 00 00 07 D0"));
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
    if (expected.at(1) == 0x10)
        QCOMPARE(expected.size(), 9 + quint8(expected.at(6)) + 0);
}

using Request = Build;

void tst_Modbus::answers_data()
{
    QTest::addColumn<Request>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("usLen"); // -1: the whole answer
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("signalNames");

    const Request none = [](Modbus &) {};
    const Request readAddr = [](Modbus &m) { m.MBReadHoldingRegister(28, 1); };
    const Request readHolding1 = [](Modbus &m) { m.MBReadHoldingRegister(1, 5); };

    QTest::newRow("address query answer: three signals in order")
        << readAddr << withCrc(hex("80 03 02 00 0A")) << -1 << 0
        << QStringList{"GetDevAddr", "Single(28,000a)", "Holding"};
    QTest::newRow("five holding registers: one signal")
        << readHolding1 << withCrc(hex("80 03 0A 03 E8 07 D0 0B B8 00 00 00 00")) << -1 << 0
        << QStringList{"Holding"};
    QTest::newRow("input block") << Request([](Modbus &m) { m.MBReadInputRegister(1, 2); })
                                 << withCrc(hex("80 04 04 00 01 00 02")) << -1 << 0
                                 << QStringList{"Input"};
    QTest::newRow("odd byte count 5 stores two registers")
        << readHolding1 << withCrc(hex("80 03 05 00 01 00 02 03")) << -1 << 0
        << QStringList{"Holding"};
    QTest::newRow("echo of 38 needs a manual release")
        << Request([](Modbus &m) { m.MBWriteHoldingRegister(38, 0x1234); })
        << withCrc(hex("80 06 00 26 12 34")) << -1 << 14 << QStringList{"WriteSingle(1,38)"};
    QTest::newRow("echo of 91 finishes")
        << Request([](Modbus &m) { m.MBWriteHoldingRegister(91, 0x1234); })
        << withCrc(hex("80 06 00 5B 12 34")) << -1 << 0 << QStringList{"WriteSingle(1,91)"};
    QTest::newRow("echo of 38 before a spectrum, cut at 8")
        << Request([](Modbus &m) { m.MBWriteHoldingRegister(38, 0x1234); })
        << withCrc(hex("80 06 00 26 12 34")) + QByteArray("12\r\n34\r\n") << 8 << 14
        << QStringList{"WriteSingle(1,38)"};
    QTest::newRow("0x10 answer") << Request([](Modbus &m) {
        m.MBWriteMultHoldingRegisters(15, QByteArray(12, 0), 6);
    }) << withCrc(hex("80 10 00 0F 00 06"))
                                 << -1 << 0 << QStringList{"WriteMult(1,15)"};
    QTest::newRow("foreign 0x10 answer is dropped")
        << Request([](Modbus &m) { m.MBWriteMultHoldingRegisters(15, QByteArray(12, 0), 6); })
        << withCrc(hex("80 10 00 4B 00 02")) << -1 << 0 << QStringList{};
    QTest::newRow("exception to 0x03 is a refusal")
        << none << withCrc(hex("80 83 02")) << -1 << 17 << QStringList{};
    QTest::newRow("exception to 0x10 fails the write")
        << Request([](Modbus &m) { m.MBWriteMultHoldingRegisters(15, QByteArray(12, 0), 6); })
        << withCrc(hex("80 90 04")) << -1 << 17 << QStringList{"WriteMult(0,15)"};
    QTest::newRow("unknown function")
        << none << withCrc(hex("80 2B 00 00")) << -1 << 1 << QStringList{};
    QTest::newRow("other slave") << none << withCrc(hex("05 03 02 00 01")) << -1 << 12
                                 << QStringList{};
    QTest::newRow("usLen 0") << none << withCrc(hex("80 03 02 00 01")) << 0 << 13 << QStringList{};
    QTest::newRow("empty frame") << none << QByteArray() << 0 << 13 << QStringList{};
    QTest::newRow("usLen beyond the bytes received")
        << none << withCrc(hex("80 03 02 00 01")) << 200 << 13 << QStringList{};
    QTest::newRow("byte count larger than the frame")
        << readHolding1 << withCrc(hex("80 03 FF 00 01")) << -1 << 16 << QStringList{};
    QTest::newRow("short 0x06 echo")
        << none << withCrc(hex("80 06 00")) << -1 << 16 << QStringList{};
    QTest::newRow("address and intact CRC only")
        << none << withCrc(hex("80")) << -1 << 16 << QStringList{};
}

void tst_Modbus::answers()
{
    QFETCH(Request, request);
    QFETCH(QByteArray, answer);
    QFETCH(int, usLen);
    QFETCH(int, result);
    QFETCH(QStringList, signalNames);

    Modbus codec(0x80);
    request(codec);
    SignalLog log(&codec);
    const u16 len = usLen < 0 ? u16(answer.size()) : u16(usLen);
    QCOMPARE(int(codec.MBEncoding(answer, len)), result);
    QCOMPARE(log.names, signalNames);
}

void tst_Modbus::discoveryAcceptsAnyAddress()
{
    const QByteArray answer = withCrc(hex("05 03 02 00 05"));
    Modbus codec(0x80);
    codec.MBReadHoldingRegister(28, 1);
    ModbusRegister::SetHoldingRegs(hex("00 00"), 28, 1);
    QCOMPARE(codec.MBEncoding(answer, u16(answer.size())), MB_EX_ADDRESS_MISMATCH);
    QCOMPARE(ModbusRegister::GetHoldingReg(28), u16(0));

    codec.SetDevAddr(Modbus::DiscoveryAddr);
    QSignalSpy spy(&codec, &Modbus::ModbusGetDevAddrCompleted);
    QCOMPARE(codec.MBEncoding(answer, u16(answer.size())), MB_EX_NONE);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<ModbusRegister *>(), ptReg);
    QCOMPARE(ModbusRegister::GetHoldingReg(28), u16(5));
}

void tst_Modbus::failedAnswersStoreNothing()
{
    Modbus codec(0x80);
    codec.MBReadHoldingRegister(11, 2);
    ModbusRegister::SetHoldingRegs(hex("00 07 00 08"), 11, 2);

    QByteArray flipped = withCrc(hex("80 03 04 11 11 22 22"));
    flipped[4] = char(flipped.at(4) ^ 0x01);
    QCOMPARE(codec.MBEncoding(flipped, u16(flipped.size())), MB_EX_CRC_ERROR);
    const QByteArray foreign = withCrc(hex("81 03 04 11 11 22 22"));
    QCOMPARE(codec.MBEncoding(foreign, u16(foreign.size())), MB_EX_ADDRESS_MISMATCH);
    QCOMPARE(ModbusRegister::GetHoldingReg(11), u16(7));
    QCOMPARE(ModbusRegister::GetHoldingReg(12), u16(8));

    const QByteArray good = withCrc(hex("80 03 04 11 11 22 22"));
    QCOMPARE(codec.MBEncoding(good, u16(good.size())), MB_EX_NONE);
    QCOMPARE(ModbusRegister::GetHoldingReg(11), u16(0x1111));
    QCOMPARE(ModbusRegister::GetHoldingReg(12), u16(0x2222));
}

QTEST_GUILESS_MAIN(tst_Modbus)
#include "tst_modbus.moc"

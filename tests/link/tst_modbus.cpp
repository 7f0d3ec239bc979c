// The codec against frames as the wire shows them: requests it builds, and
// answers it decodes, with the signals each gives and what it stores.
#include "modbus.h"
#include "wire.h"

#include <QtTest>

using Wire::hex;

class tst_Modbus : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames()
    {
        // The catalogue's check value of CRC-16/MODBUS.
        QCOMPARE(Modbus::MBCRC16(QByteArray("123456789")), u16(0x4B37));
        Modbus codec(0x80), other(0x01), discovery(0xFF);
        QSignalSpy spy(&codec, &Modbus::SerialWrite), otherSpy(&other, &Modbus::SerialWrite),
            discoverySpy(&discovery, &Modbus::SerialWrite);
        codec.MBReadHoldingRegister(36, 1);
        codec.MBReadInputRegister(1, 16);
        codec.MBWriteHoldingRegister(38, 0x1234);
        codec.MBWriteMultHoldingRegisters(15, hex("00 01 00 C8 00 32 00 00 00 00 00 00"), 6);
        codec.MBWriteMultHoldingRegisters(75, hex("00 01 11 70"), 2);
        other.MBWriteHoldingRegister(38, 0x1234);
        discovery.MBReadHoldingRegister(28, 1);
        QStringList frames;
        for (const QSignalSpy *s : {&spy, &otherSpy, &discoverySpy})
            for (const QList<QVariant> &args : *s)
                frames << args.at(0).toByteArray().toHex(' ').toUpper();
        QCOMPARE(frames,
                 (QStringList{"80 03 00 24 00 01 DA 10", "80 04 00 01 00 10 BE 17",
                              "80 06 00 26 12 34 7B 67",
                              "80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00 7B FB",
                              "80 10 00 4B 00 02 04 00 01 11 70 47 66",
                              Wire::withCrc(hex("01 06 00 26 12 34")).toHex(' ').toUpper(),
                              "FF 03 00 1C 00 01 50 12"}));
    }

    void answers_data()
    {
        // The request in flight (r: read holding 11-12, a: read 28, i: read input
        // 1-2, w: write 38, W: write 91, m: write 15-20, -: none); the answer,
        // "+" marking where its CRC goes; the length handed over (- whole);
        // the result; the signals; holding 11-12 afterwards (7, 8 before).
        QTest::addColumn<QString>("row");
        const QString rows = R"(
address query: three signals in order  | a | 80 03 02 00 0A 04 5D       | - | 0  | GetDevAddr Single(28,000a) Holding | 7 8
two holding registers                  | r | 80 03 04 11 11 22 22 +     | - | 0  | Holding            | 4369 8738
odd byte count 3 stores one register   | r | 80 03 03 00 01 00 +        | - | 0  | Holding            | 1 8
flipped bit: CRC error                 | r | 80 03 04 11 11 22 23 A6 BB | - | 13 |                    | 7 8
other slave                            | r | 81 03 04 11 11 22 22 +     | - | 12 |                    | 7 8
byte count larger than the frame       | r | 80 03 05 00 01 00 02 +     | - | 16 |                    | 7 8
input block                            | i | 80 04 04 00 01 00 02 +     | - | 0  | Input              | 7 8
echo of 38 needs a manual release      | w | 80 06 00 26 12 34 7B 67    | - | 14 | WriteSingle(1,38)  | 7 8
echo of 91 finishes                    | W | 80 06 00 5B 12 34 +        | - | 0  | WriteSingle(1,91)  | 7 8
echo of 38 before a spectrum, cut at 8 | w | 80 06 00 26 12 34 7B 67 31 32 0D 0A | 8 | 14 | WriteSingle(1,38) | 7 8
0x10 answer                            | m | 80 10 00 0F 00 06 +        | - | 0  | WriteMult(1,15)    | 7 8
foreign 0x10 answer is dropped         | m | 80 10 00 4B 00 02 +        | - | 0  |                    | 7 8
exception to 0x03 is a refusal         | r | 80 83 02 +                 | - | 17 |                    | 7 8
exception to 0x10 fails the write      | m | 80 90 04 +                 | - | 17 | WriteMult(0,15)    | 7 8
unknown function                       | - | 80 2B 00 00 +              | - | 1  |                    | 7 8
length 0                               | - | 80 03 02 00 01 +           | 0 | 13 |                    | 7 8
length 7 of 7 bytes                    | r | 80 03 02 00 01 +           | 7 | 0  | Single(11,0001) Holding | 1 8
length 8 of 7 bytes                    | - | 80 03 02 00 01 +           | 8 | 13 |                    | 7 8
address and intact CRC only            | - | 80 +                       | - | 16 |                    | 7 8
)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts))
            QTest::newRow(qPrintable(row.section('|', 0, 0).trimmed())) << row;
    }
    void answers()
    {
        QFETCH(QString, row);
        const QStringList cell = row.split(QRegularExpression(" *\\| *"));
        Modbus codec(0x80);
        const QHash<QString, std::function<void()>> requests{
            {"r", [&] { codec.MBReadHoldingRegister(11, 2); }},
            {"a", [&] { codec.MBReadHoldingRegister(28, 1); }},
            {"i", [&] { codec.MBReadInputRegister(1, 2); }},
            {"w", [&] { codec.MBWriteHoldingRegister(38, 0x1234); }},
            {"W", [&] { codec.MBWriteHoldingRegister(91, 0x1234); }},
            {"m", [&] { codec.MBWriteMultHoldingRegisters(15, QByteArray(12, 0), 6); }},
            {"-", [] {}}};
        requests.value(cell[1])();
        ModbusRegister::SetHoldingRegs(hex("00 07 00 08"), 11, 2);
        QStringList names;
        connect(&codec, &Modbus::ModbusGetDevAddrCompleted, [&] { names << "GetDevAddr"; });
        connect(&codec, &Modbus::HoldingRegisterUpdate, [&] { names << "Holding"; });
        connect(&codec, &Modbus::InputRegisterUpdate, [&] { names << "Input"; });
        connect(&codec, &Modbus::WriteSingleHoldingRegStatus,
                [&](bool ok, u16 at) { names << QString("WriteSingle(%1,%2)").arg(ok).arg(at); });
        connect(&codec, &Modbus::WriteMultHoldingRegStatus,
                [&](bool ok, u16 at) { names << QString("WriteMult(%1,%2)").arg(ok).arg(at); });
        connect(&codec, &Modbus::SingleHoldingRegisterUpdate, [&](u16 at, const QByteArray &data) {
            names << QString("Single(%1,%2)").arg(at).arg(QString(data.toHex()));
        });
        const QString body = cell[2].section('+', 0, 0);
        const QByteArray answer =
            cell[2].contains('+') ? Wire::withCrc(hex(qPrintable(body))) : hex(qPrintable(body));
        const u16 len = cell[3] == "-" ? u16(answer.size()) : u16(cell[3].toInt());
        QCOMPARE(int(codec.MBEncoding(answer, len)), cell[4].toInt());
        QCOMPARE(names.join(' '), cell[5]);
        QCOMPARE(QString("%1 %2")
                     .arg(ModbusRegister::GetHoldingReg(11))
                     .arg(ModbusRegister::GetHoldingReg(12)),
                 cell[6].trimmed());
    }
};

QTEST_GUILESS_MAIN(tst_Modbus)
#include "tst_modbus.moc"

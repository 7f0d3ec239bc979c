// The codec against frames as the wire shows them: answers it decodes, with
// the signals each gives and what it stores, and when the bytes received are
// a whole answer that closes the frame at once. The requests it builds are
// checked on the simulator's line by the window suites.
#include "modbus.h"
#include "modbusanswer.h"
#include "rowtable.h"
#include "wire.h"

#include <QtTest>

using Wire::hex;

class tst_Modbus : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        // The request in flight (r: read holding 11-12, a: read 28, i: read input
        // 1-2, w: write 38, W: write 91, m: write 15-20, -: none); the answer,
        // "+" marking where its CRC goes; the length handed over (- whole);
        // the result; the signals; holding 11-12 afterwards (7, 8 before).
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
unknown function                       | - | 80 2B 00 00 +              | - | 1  |                    | 7 8
length 0                               | - | 80 03 02 00 01 +           | 0 | 13 |                    | 7 8
length 7 of 7 bytes                    | r | 80 03 02 00 01 +           | 7 | 0  | Single(11,0001) Holding | 1 8
length 8 of 7 bytes                    | - | 80 03 02 00 01 +           | 8 | 13 |                    | 7 8
address and intact CRC only            | - | 80 +                       | - | 16 |                    | 7 8
write refused for its address          | w | 80 86 02 +                 | - | 17 | WriteSingle(0,38)  | 7 8
0x10 refused by a device failure       | m | 80 90 04 +                 | - | 17 | WriteMult(0,15)    | 7 8
echo cut short                         | w | 80 06 00 26 +              | - | 16 |                    | 7 8
)";
        RowTable::Add(rows);
    }
    void answers()
    {
        QFETCH(QString, row);
        const QStringList cell = RowTable::Cells(row);
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

    void complete_data()
    {
        // The request on the line; the bytes received so far; whether they are
        // its whole answer. Anything else waits for the quiet time, as does the
        // echo that only heads the burst carrying a spectrum.
        const QString rows = R"(
read answer                   | 80 03 00 01 00 05 CA 18 | 80 03 0A 00 01 00 02 00 03 00 04 00 05 32 64 | 1
input answer                  | 80 04 00 01 00 02 3E 1A | 80 04 04 11 11 22 22 A7 0C | 1
one byte short                | 80 03 00 01 00 05 CA 18 | 80 03 0A 00 01 00 02 00 03 00 04 00 05 32 | 0
first half of a split answer  | 80 03 00 01 00 05 CA 18 | 80 03 0A 00 01 00 02 | 0
one byte more                 | 80 03 00 01 00 05 CA 18 | 80 03 0A 00 01 00 02 00 03 00 04 00 05 32 64 00 | 0
stray bytes before the answer | 80 03 00 01 00 05 CA 18 | 00 FF 80 03 0A 00 01 00 02 00 03 00 04 00 05 32 64 | 0
damaged CRC                   | 80 03 00 01 00 05 CA 18 | 80 03 0A 00 7F 00 02 00 03 00 04 00 05 32 64 | 0
other slave                   | 80 03 00 01 00 05 CA 18 | 01 03 02 00 01 79 84 | 0
other function                | 80 03 00 01 00 05 CA 18 | 80 04 02 00 01 44 EE | 0
exception answer              | 80 03 00 01 00 05 CA 18 | 80 83 02 90 D9 | 1
exception to another function | 80 03 00 01 00 05 CA 18 | 80 84 02 92 E9 | 0
exception answer to a write   | 80 06 00 1E 00 0A 77 DA | 80 86 03 52 49 | 1
single write echo             | 80 06 00 1E 00 0A 77 DA | 80 06 00 1E 00 0A 77 DA | 1
multiple write answer         | 80 10 00 30 00 02 04 00 01 00 02 8D 84 | 80 10 00 30 00 02 5F D6 | 1
discovery answered by 0x0A    | FF 03 00 1C 00 01 50 12 | 0A 03 02 00 0A 9D 82 | 1
spectrum request echo         | 80 06 00 26 12 34 7B 67 | 80 06 00 26 12 34 7B 67 | 0
nothing written yet           |                         | 80 03 02 00 01 45 9A | 0
)";
        RowTable::Add(rows);
    }
    void complete()
    {
        QFETCH(QString, row);
        const QStringList cell = row.split('|');
        QCOMPARE(ModbusAnswer::IsComplete(hex(qPrintable(cell[1])), hex(qPrintable(cell[2]))),
                 cell[3].trimmed() == "1");
    }
};

QTEST_GUILESS_MAIN(tst_Modbus)
#include "tst_modbus.moc"

// When the bytes received so far are a whole answer to the request on the
// line: the receive side closes such a frame at once and leaves every other
// burst to the quiet time.
#include "modbusanswer.h"
#include "wire.h"

#include <QtTest>

using Wire::hex;
using Wire::withCrc;

class tst_ModbusAnswer : public QObject
{
    Q_OBJECT

private slots:
    void complete_data();
    void complete();
};

void tst_ModbusAnswer::complete_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<bool>("isComplete");

    const QByteArray read5 = withCrc(hex("80 03 00 01 00 05"));
    const QByteArray answer5 = withCrc(hex("80 03 0A 00 01 00 02 00 03 00 04 00 05"));
    const QByteArray input16 = withCrc(hex("80 04 00 01 00 10"));
    const QByteArray answer16 = withCrc(hex("80 04 20") + QByteArray(32, '\x11'));
    const QByteArray write6 = withCrc(hex("80 06 00 1E 00 0A"));
    const QByteArray write16 = withCrc(hex("80 10 00 30 00 02 04 00 01 00 02"));
    QTest::newRow("read answer") << read5 << answer5 << true;
    QTest::newRow("input answer of 16 registers") << input16 << answer16 << true;
    QTest::newRow("one byte short") << read5 << answer5.chopped(1) << false;
    QTest::newRow("first half of a split answer") << read5 << answer5.left(7) << false;
    QTest::newRow("one byte more") << read5 << answer5 + hex("00") << false;
    QTest::newRow("stray bytes before the answer") << read5 << hex("00 FF") + answer5 << false;
    QTest::newRow("damaged CRC") << read5 << QByteArray(answer5).replace(4, 1, "\x7F") << false;
    QTest::newRow("other slave") << read5 << withCrc(hex("01 03 02 00 01")) << false;
    QTest::newRow("other function") << read5 << withCrc(hex("80 04 02 00 01")) << false;
    QTest::newRow("exception answer") << read5 << withCrc(hex("80 83 02")) << true;
    QTest::newRow("exception of another function") << read5 << withCrc(hex("80 84 02")) << false;
    QTest::newRow("exception answer to a write") << write6 << withCrc(hex("80 86 03")) << true;
    QTest::newRow("single write echo") << write6 << write6 << true;
    QTest::newRow("multiple write answer") << write16 << withCrc(hex("80 10 00 30 00 02")) << true;
    QTest::newRow("discovery answered by 0x0A")
        << withCrc(hex("FF 03 00 1C 00 01")) << withCrc(hex("0A 03 02 00 0A")) << true;
    // Its echo is only the head of the burst that carries the spectrum.
    QTest::newRow("spectrum request echo")
        << withCrc(hex("80 06 00 26 12 34")) << withCrc(hex("80 06 00 26 12 34")) << false;
    QTest::newRow("nothing written yet") << QByteArray() << answer5 << false;
}

void tst_ModbusAnswer::complete()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, received);
    QFETCH(bool, isComplete);
    QCOMPARE(ModbusAnswer::IsComplete(request, received), isComplete);
}

QTEST_MAIN(tst_ModbusAnswer)
#include "tst_modbusanswer.moc"

#include "framecutter.h"
#include "wire.h"

#include <QtTest>

using Wire::hex;

class tst_FrameCutter : public QObject
{
    Q_OBJECT

private slots:
    void cutting_data();
    void cutting();
};

void tst_FrameCutter::cutting_data()
{
    // Each chunk is what one read from the line delivered; atSilence is what
    // the quiet line closes after the last chunk.
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QByteArray>("atSilence");

    const QByteArray read = hex("80 03 00 24 00 01 DA 10");
    const QByteArray input = hex("80 04 00 01 00 10 BE 17");
    const QByteArray block = hex("80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00 7B FB");
    const QByteArray unknown = hex("80 2B 0E 01 00 4C 69");

    QTest::newRow("one read request")
        << QList<QByteArray>{read} << QList<QByteArray>{read} << QByteArray();
    QTest::newRow("two requests in one chunk")
        << QList<QByteArray>{read + input} << QList<QByteArray>{read, input} << QByteArray();
    QTest::newRow("request in three pieces")
        << QList<QByteArray>{read.left(1), read.mid(1, 5), read.mid(6)} << QList<QByteArray>{read}
        << QByteArray();
    QTest::newRow("0x10 waits for its byte count")
        << QList<QByteArray>{block.left(6), block.mid(6, 10), block.mid(16)}
        << QList<QByteArray>{block} << QByteArray();
    QTest::newRow("unknown function ends at silence")
        << QList<QByteArray>{unknown} << QList<QByteArray>() << unknown;
    QTest::newRow("torn request ends at silence")
        << QList<QByteArray>{read.left(5)} << QList<QByteArray>() << read.left(5);
    QTest::newRow("request then a torn one")
        << QList<QByteArray>{read + input.left(3)} << QList<QByteArray>{read} << input.left(3);
}

void tst_FrameCutter::cutting()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QByteArray, atSilence);

    FrameCutter cutter;
    QList<QByteArray> cut;
    for (const QByteArray &chunk : chunks)
        cut += cutter.feed(chunk);
    QCOMPARE(cut, frames);
    QCOMPARE(cutter.flush(), atSilence);
    QVERIFY(cutter.isEmpty());
}

QTEST_APPLESS_MAIN(tst_FrameCutter)
#include "tst_framecutter.moc"

// The simulator's framing of what arrives on its line: complete requests are
// cut by their own length, anything else at the line's silence.
#include "framecutter.h"
#include "wire.h"

#include <QtTest>

using Wire::hex;
using Frames = QList<QByteArray>;

class tst_FrameCutter : public QObject
{
    Q_OBJECT

private slots:
    void cutting_data();
    void cutting();
};

void tst_FrameCutter::cutting_data()
{
    // Each chunk is what one read from the line delivered.
    QTest::addColumn<Frames>("chunks");
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<QByteArray>("atSilence");
    const QByteArray read = hex("80 03 00 24 00 01 DA 10");
    const QByteArray input = hex("80 04 00 01 00 10 BE 17");
    const QByteArray block = hex("80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00 7B FB");
    QTest::newRow("two requests in one chunk")
        << Frames{read + input} << Frames{read, input} << QByteArray();
    QTest::newRow("request in three pieces")
        << Frames{read.left(1), read.mid(1, 5), read.mid(6)} << Frames{read} << QByteArray();
    QTest::newRow("0x10 waits for its byte count")
        << Frames{block.left(6), block.mid(6, 10), block.mid(16)} << Frames{block} << QByteArray();
    QTest::newRow("unknown function ends at silence")
        << Frames{hex("80 2B 0E 01 00 4C 69")} << Frames() << hex("80 2B 0E 01 00 4C 69");
    QTest::newRow("request then a torn one")
        << Frames{read + input.left(7)} << Frames{read} << input.left(7);
}

void tst_FrameCutter::cutting()
{
    QFETCH(Frames, chunks);
    QFETCH(Frames, frames);
    QFETCH(QByteArray, atSilence);
    FrameCutter cutter;
    Frames cut;
    for (const QByteArray &chunk : chunks)
        cut += cutter.feed(chunk);
    QCOMPARE(cut, frames);
    QCOMPARE(cutter.flush(), atSilence);
    QVERIFY(cutter.isEmpty());
}

QTEST_APPLESS_MAIN(tst_FrameCutter)
#include "tst_framecutter.moc"

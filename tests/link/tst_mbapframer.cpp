// Modbus TCP on the master's side: which answers get through to the codec,
// and in what RTU form. The requests' own MBAP form is on the window's wire.
#include "mbapframer.h"
#include "wire.h"

#include <QtTest>

class tst_MbapFramer : public QObject
{
    Q_OBJECT

private slots:
    void answers()
    {
        // The request in flight (one of transaction 1), the bytes as they
        // arrive ("/" between reads) and the RTU body of what gets through:
        // cut in three; protocol 1; another unit; a stale transaction before
        // the awaited one; the answer twice; a header of length 1, then an
        // exception; the address query answered by unit 0x0A.
        const QString rows = R"(
80 03 00 24 00 01 | 00 01 00 00 00 / 05 80 03 02 02 / 06 | 80 03 02 02 06
80 03 00 24 00 01 | 00 01 00 01 00 05 80 03 02 02 06 |
80 03 00 24 00 01 | 00 01 00 00 00 05 81 03 02 02 06 |
80 03 00 24 00 01 | 00 00 00 00 00 05 80 03 02 01 01 00 01 00 00 00 05 80 03 02 02 06 | 80 03 02 02 06
80 03 00 24 00 01 | 00 01 00 00 00 05 80 03 02 02 06 / 00 01 00 00 00 05 80 03 02 02 06 | 80 03 02 02 06
80 03 00 24 00 01 | 00 01 00 00 00 01 80 / 00 01 00 00 00 03 80 83 02 | 80 83 02
FF 03 00 1C 00 01 | 00 01 00 00 00 05 0A 03 02 00 0A | 0A 03 02 00 0A
)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts)) {
            const QStringList cell = row.split('|');
            MbapFramer framer;
            framer.Wrap(Wire::withCrc(Wire::hex(qPrintable(cell[0]))));
            QList<QByteArray> through;
            for (const QString &bytes : cell[1].split('/'))
                through += framer.Feed(Wire::hex(qPrintable(bytes)));
            const QByteArray body = Wire::hex(qPrintable(cell[2]));
            QCOMPARE(through, body.isEmpty() ? QList<QByteArray>() : QList{Wire::withCrc(body)});
        }
    }
};

QTEST_GUILESS_MAIN(tst_MbapFramer)
#include "tst_mbapframer.moc"

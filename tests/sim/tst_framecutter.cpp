// The simulator's framing of what arrives on its line: complete requests are
// cut by their own length, anything else at the line's silence.
#include "framecutter.h"
#include "wire.h"

#include <QtTest>

class tst_FrameCutter : public QObject
{
    Q_OBJECT

private slots:
    void cutting()
    {
        // Chunks as single reads delivered them ("/" between), the frames cut
        // (";" between), and what the quiet line closes afterwards.
        const QString rows = R"(
80 03 00 24 00 01 DA 10 80 04 00 01 00 10 BE 17 | 80 03 00 24 00 01 DA 10; 80 04 00 01 00 10 BE 17 |
80 / 03 00 24 00 / 01 DA 10                      | 80 03 00 24 00 01 DA 10 |
80 10 00 0F 00 06 / 0C 00 01 00 C8 00 32 00 00 00 / 00 00 00 7B FB | 80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00 7B FB |
80 2B 0E 01 00 4C 69                             |                         | 80 2B 0E 01 00 4C 69
80 03 00 24 00 01 DA 10 80 04 00 01 00 10 BE     | 80 03 00 24 00 01 DA 10 | 80 04 00 01 00 10 BE
)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts)) {
            const QStringList cell = row.split('|');
            FrameCutter cutter;
            QStringList cut;
            for (const QString &chunk : cell[0].split('/'))
                for (const QByteArray &frame : cutter.feed(Wire::hex(qPrintable(chunk))))
                    cut << QString::fromLatin1(frame.toHex(' ').toUpper());
            QCOMPARE(cut.join("; "), cell[1].trimmed());
            QCOMPARE(QString::fromLatin1(cutter.flush().toHex(' ').toUpper()), cell[2].trimmed());
            QVERIFY(cutter.isEmpty());
        }
    }
};

QTEST_APPLESS_MAIN(tst_FrameCutter)
#include "tst_framecutter.moc"

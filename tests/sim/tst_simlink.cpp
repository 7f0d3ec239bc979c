// The simulator on its line, as radarflow's side of the link sees it: how it
// cuts what arrives into requests, its answers byte for byte, and each fault
// on the wire, in the journal and in the registers it leaves behind.
#include "framecutter.h"
#include "simprocess.h"
#include "wire.h"

#include <QSerialPort>
#include <QtTest>

using Wire::hex;

class tst_SimLink : public QObject
{
    Q_OBJECT

    SimProcess sim{{"--baud", "0", "--reply-delay", "0"}};
    QSerialPort port;

    // Bytes arriving until the line stays quiet for quietMs; nothing when no
    // byte comes within firstMs.
    QByteArray Collect(int firstMs, int quietMs = 20)
    {
        QByteArray bytes;
        while (port.waitForReadyRead(bytes.isEmpty() ? firstMs : quietMs))
            bytes += port.readAll();
        return bytes + port.readAll();
    }
    // The simulator journals a frame once its answer is on the line, so after
    // the entry a short wait tells silence.
    QByteArray Exchange(const QByteArray &request)
    {
        const int seen = sim.entries().size();
        port.write(request);
        port.waitForBytesWritten(1000);
        sim.waitForEntries(seen + 1);
        return Collect(50);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        port.setPortName(sim.linkPath());
        QVERIFY(port.open(QIODevice::ReadWrite));
    }
    void init() { QVERIFY(sim.command("clear") && sim.command("holding 11 30")); }

    void cutting()
    {
        // Complete requests are cut by their own length, anything else at the
        // line's silence. Chunks as single reads delivered them ("/" between),
        // the frames cut (";" between), and what the quiet line closes.
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
                for (const QByteArray &frame : cutter.feed(hex(qPrintable(chunk))))
                    cut << QString::fromLatin1(frame.toHex(' ').toUpper());
            QCOMPARE(cut.join("; "), cell[1].trimmed());
            QCOMPARE(QString::fromLatin1(cutter.flush().toHex(' ').toUpper()), cell[2].trimmed());
            QVERIFY(cutter.isEmpty());
        }
    }

    void spectrumBurst()
    {
        // The echo, then at once a hundred or more amplitudes, each ended by CR LF.
        const QByteArray burst = Exchange(hex("80 06 00 26 12 34 7B 67"));
        QCOMPARE(burst.left(8), hex("80 06 00 26 12 34 7B 67"));
        QVERIFY(QRegularExpression("^(\\d+\\r\\n){100,}$").match(burst.mid(8)).hasMatch());
    }

    void startOptions()
    {
        // Refused at start with the usage status; the first accepted values,
        // commands through a named pipe and the start-up faults on a second one.
        const QString self = QCoreApplication::applicationFilePath();
        for (const QString &args :
             QStringList{"--addr 0", "--firmware 0x10000", "--seed -1", "--baud 4000001",
                         "--reply-delay 60001", "--velocity fast", "--link " + self,
                         "--control /nonexistent/pipe", "--level deep", "--silent-next x",
                         "--silent-function 128", "--split-ms 60001", "--stray 0G",
                         "--exception 3:0", "--exception 128:1"})
            QCOMPARE(QProcess::execute(RADARFLOW_SIM_PATH, args.split(' ')), 2);
        QTemporaryDir dir;
        SimProcess other(QString("--link %1/tty --control %1/pipe --addr 247 --firmware 0xFFFF "
                                 "--seed 4294967295 --baud 4000000 --calm --level auto "
                                 "--no-spectrum --stray off --exception 3:off")
                             .arg(dir.path())
                             .split(' '));
        QVERIFY2(other.isReady(), qPrintable(other.errorString()));
        QVERIFY(!other.command("holding 102 1") && other.command("holding 101 65535"));
        QVERIFY(!other.command("calm maybe") && other.command("bad-crc off") &&
                other.command("exception off") && other.command("holding 11 77"));
        QSerialPort line(other.linkPath());
        QVERIFY(line.open(QIODevice::ReadWrite));
        line.write(hex("F7 03 00 0B 00 01 E1 5E F7 06 00 26 12 34 71 E0"));
        QVERIFY(other.waitForEntries(2));
        QCOMPARE(SimProcess::answerBytes(other.entries().at(0)), hex("F7 03 02 00 4D B0 64"));
        QCOMPARE(SimProcess::answerBytes(other.entries().at(1)), hex("F7 06 00 26 12 34 71 E0"));
        other.stop();
        QVERIFY(!QFileInfo::exists(dir.filePath("pipe")) &&
                !QFileInfo(other.linkPath()).isSymLink());
    }

    void faults_data()
    {
        // A fault or a command; the request, writing 99 into register 11 if
        // none is given; the answer ("-" none, "/" where a split pauses); the
        // journal's outcome; register 11 afterwards: 30 from the factory, 99
        // once the write is carried out.
        QTest::addColumn<QString>("row");
        const QString rows = R"(
silent-next 1     |                                     | -                             | silent      | 30
silent-function 6 |                                     | -                             | silent      | 30
exception 6:4     |                                     | 80 86 04 13 8B                | exception   | 30
bad-crc on        |                                     | 80 06 00 0B 00 63 A6 CF       | answered    | 99
split-ms 600      |                                     | 80 06 00 0B / 00 63 A6 30     | answered    | 99
stray 00 FF       |                                     | 00 FF 80 06 00 0B 00 63 A6 30 | answered    | 99
clear             | 00 06 00 0B 00 63 B9 F0             | -                             | broadcast   | 99
clear             | 05 06 00 0B 00 63 B9 A5             | -                             | other-slave | 30
clear             | 80 06 00 0B 00 63 A6 31             | -                             | bad-crc     | 30
clear             | 80 2B 0E 01 00 4C 69                | 80 AB 01 CE D8                | exception   | 30
clear             | 80 03 00 0B 00 00 2A 19             | 80 83 03 51 19                | exception   | 30
clear             | 80 03 00 65 00 02 CA 05             | 80 83 02 90 D9                | exception   | 30
clear             | 80 06 00 0A 00 63 F7 F0             | 80 86 02 93 89                | exception   | 30
clear             | 80 06 00 1C 00 00 56 1D             | 80 86 03 52 49                | exception   | 30
clear             | 80 10 00 0B 00 01 04 00 63 00 00 EF 0F | 80 90 03 5C 29             | exception   | 30
clear             | 80 10 00 0A 00 02 04 00 01 00 63 CF 07 | 80 90 02 9D E9             | exception   | 30
clear             | 80 10 00 1C 00 01 02 00 00 C8 5A    | 80 90 03 5C 29                | exception   | 30
holding 11 99     | 80 06 00 25 00 01 47 D0             | 80 06 00 25 00 01 47 D0       | answered    | 30
)";
        for (const QString &row : rows.split('\n', Qt::SkipEmptyParts))
            QTest::newRow(qPrintable(row.section('|', 0, 1).simplified())) << row;
    }
    void faults()
    {
        QFETCH(QString, row);
        const QStringList cell = row.split('|');
        QVERIFY2(sim.command(cell[0].trimmed()), qPrintable(sim.errorString()));
        const int seen = sim.entries().size();
        const bool isFault = cell[1].trimmed().isEmpty();
        const QByteArray request = hex(isFault ? "80 06 00 0B 00 63 A6 30" : qPrintable(cell[1]));
        const QByteArray faulty = hex(qPrintable(cell[2].trimmed().remove('-').remove('/')));
        if (!cell[2].contains('/')) {
            QCOMPARE(Exchange(request).toHex(' '), faulty.toHex(' '));
        } else {
            // Two bursts, the pause far longer than radarflow's 100 ms quiet time.
            port.write(request);
            QCOMPARE(Collect(1000, 150), hex(qPrintable(cell[2].section('/', 0, 0))));
            QCOMPARE(Collect(1000), hex(qPrintable(cell[2].section('/', 1))));
        }
        // The journal names the fault in force and holds what it put on the line.
        QVERIFY(sim.waitForEntries(seen + 1));
        QCOMPARE(sim.entries().at(seen).value("faults").toArray().isEmpty(), !isFault);
        QCOMPARE(sim.entries().at(seen).value("outcome").toString(), cell[3].trimmed());
        QCOMPARE(SimProcess::answerBytes(sim.entries().at(seen)), faulty);
        // Healthy again, with the write carried out or lost.
        QVERIFY(sim.command("clear"));
        QCOMPARE(Exchange(hex("80 03 00 0B 00 01 EB D9")),
                 Wire::withCrc(hex("80 03 02 00") + char(cell[4].toInt())));
    }
};

QTEST_GUILESS_MAIN(tst_SimLink)
#include "tst_simlink.moc"

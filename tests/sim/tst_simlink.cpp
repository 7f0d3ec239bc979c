#include "simprocess.h"
#include "wire.h"

#include <QSerialPort>
#include <QtTest>

using Wire::hex;

namespace {

// A simulator and radarflow's side of its line. It answers at once unless
// args say otherwise (the last of a repeated option counts): most tests are
// about bytes, not line timing.
struct Line
{
    explicit Line(const QStringList &args = {})
        : sim(QStringList{"--baud", "0", "--reply-delay", "0"} + args)
    {
        port.setPortName(sim.linkPath());
        // QSerialPort opens at 9600 8N1 without flow control, as radarflow sets it.
        isOpen = sim.isReady() && port.open(QIODevice::ReadWrite);
    }

    QString errorString() const { return sim.errorString() + ' ' + port.errorString(); }

    // Bytes arriving until the line stays quiet for iQuietMs; nothing when no
    // byte comes within iFirstMs.
    QByteArray collect(int iFirstMs, int iQuietMs = 20)
    {
        QByteArray bytes;
        while (port.waitForReadyRead(bytes.isEmpty() ? iFirstMs : iQuietMs))
            bytes += port.readAll();
        return bytes + port.readAll();
    }

    // One request and what came back. The simulator journals a frame once its
    // answer is on the line, so after the entry a short wait tells silence.
    QByteArray exchange(const QByteArray &request)
    {
        const int iSeen = sim.entries().size();
        port.write(request);
        port.waitForBytesWritten(1000);
        sim.waitForEntries(iSeen + 1);
        return collect(50);
    }

    SimProcess sim;
    QSerialPort port;
    bool isOpen = false;
};

} // namespace

class tst_SimLink : public QObject
{
    Q_OBJECT

private slots:
    void conversation_data();
    void conversation();
    void spectrumBurst();
    void faults_data();
    void faults();
    void ignoredFramesInTheJournal();
};

void tst_SimLink::conversation_data()
{
    // "request > answer" as the wire shows them; nothing after the ">" means
    // the instrument stays silent.
    QTest::addColumn<QStringList>("exchanges");
    QTest::newRow("address query to 0xFF answered from 0x80")
        << QStringList{"FF 03 00 1C 00 01 50 12 > 80 03 02 00 80 85 FA"};
    QTest::newRow("0x10 geometry write then read back") << QStringList{
        "80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00 7B FB > 80 10 00 0F 00 06 6E 19",
        "80 03 00 0F 00 06 EB DA > 80 03 0C 00 01 00 C8 00 32 00 00 00 00 00 00 F2 EA"};
    QTest::newRow("distance 70000 mm keeps register 16 at 7000")
        << QStringList{"80 10 00 4B 00 02 04 00 01 11 70 47 66 > 80 10 00 4B 00 02 2F CF",
                       "80 03 00 10 00 01 9B DE > 80 03 02 1B 58 8F 50"};
    QTest::newRow("new address takes effect after the echo") << QStringList{
        "80 06 00 1C 00 0A D6 1A > 80 06 00 1C 00 0A D6 1A", "80 03 00 24 00 01 DA 10 >",
        "0A 03 00 24 00 01 C5 7A > 0A 03 02 02 06 9C E7"};
    QTest::newRow("broadcast write acts unanswered") << QStringList{
        "00 06 00 0B 00 63 B9 F0 >", "80 03 00 0B 00 01 EB D9 > 80 03 02 00 63 C4 73"};
    QTest::newRow("input register 17 does not exist")
        << QStringList{"80 04 00 11 00 01 7F DE > 80 84 02 92 E9"};
    QTest::newRow("holding block past 101")
        << QStringList{"80 03 00 64 00 03 5A 05 > 80 83 02 90 D9"};
    QTest::newRow("version is read only")
        << QStringList{"80 06 00 24 00 07 96 12 > 80 86 02 93 89"};
}

void tst_SimLink::conversation()
{
    QFETCH(QStringList, exchanges);
    Line line;
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    for (int i = 0; i < exchanges.size(); ++i) {
        const QByteArray request = hex(exchanges[i].section('>', 0, 0).toLatin1().constData());
        const QByteArray answer = hex(exchanges[i].section('>', 1).toLatin1().constData());
        QCOMPARE(line.exchange(request).toHex(' '), answer.toHex(' '));
        // The journal holds every frame as received and what went back.
        QCOMPARE(SimProcess::requestBytes(line.sim.entries().value(i)), request);
        QCOMPARE(SimProcess::answerBytes(line.sim.entries().value(i)), answer);
    }
}

void tst_SimLink::spectrumBurst()
{
    // The echo, then at once a hundred or more amplitudes, each ended by CR LF.
    const QByteArray request = hex("80 06 00 26 12 34 7B 67");
    Line line;
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    const QByteArray burst = line.exchange(request);
    QCOMPARE(burst.left(8), request);
    const QString text = QString::fromLatin1(burst.mid(8));
    QVERIFY2(QRegularExpression("^(\\d+\\r\\n){100,}$").match(text).hasMatch(), qPrintable(text));
}

void tst_SimLink::faults_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("faulty");
    QTest::addColumn<int>("firstBurst"); // bytes before a split's pause, 0 for none
    QTest::addColumn<int>("reg11");      // 30 from the factory, 99 once the write is carried out
    // Faults that keep the answer back lose the request; those that spoil the
    // answer leave it carried out.
    const QByteArray write = hex("80 06 00 0B 00 63 A6 30");
    QTest::newRow("silent-next 1") << "silent-next 1" << write << QByteArray() << 0 << 30;
    QTest::newRow("silent-function 6") << "silent-function 6" << write << QByteArray() << 0 << 30;
    QTest::newRow("exception 6:4") << "exception 6:4" << write << hex("80 86 04 13 8B") << 0 << 30;
    QTest::newRow("bad-crc on") << "bad-crc on" << write << hex("80 06 00 0B 00 63 A6 CF") << 0
                                << 99;
    QTest::newRow("split-ms 600") << "split-ms 600" << write << write << 4 << 99;
    QTest::newRow("stray 00 FF") << "stray 00 FF" << write << hex("00 FF") + write << 0 << 99;
    const QByteArray spectrum = hex("80 06 00 26 12 34 7B 67");
    QTest::newRow("no-spectrum on") << "no-spectrum on" << spectrum << spectrum << 0 << 30;
}

void tst_SimLink::faults()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, faulty);
    QFETCH(int, firstBurst);
    QFETCH(int, reg11);
    Line line;
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    QVERIFY2(line.sim.command(command), qPrintable(line.sim.errorString()));
    if (firstBurst == 0) {
        QCOMPARE(line.exchange(request).toHex(' '), faulty.toHex(' '));
    } else {
        // Two bursts, the pause far longer than radarflow's 100 ms quiet time.
        line.port.write(request);
        QCOMPARE(line.collect(1000, 150), faulty.left(firstBurst));
        QCOMPARE(line.collect(1000), faulty.mid(firstBurst));
    }
    // The journal names the fault in force and holds what it put on the line.
    QVERIFY(line.sim.waitForEntries(1));
    QVERIFY(!line.sim.entries().value(0).value("faults").toArray().isEmpty());
    QCOMPARE(SimProcess::answerBytes(line.sim.entries().value(0)), faulty);
    // Healthy again, with the write carried out or lost.
    QVERIFY(line.sim.command("clear"));
    QCOMPARE(line.exchange(hex("80 03 00 0B 00 01 EB D9")),
             Wire::withCrc(hex("80 03 02 00") + char(reg11)));
}

void tst_SimLink::ignoredFramesInTheJournal()
{
    // Only the intact frame for this instrument is answered; the journal
    // tells why the others were not.
    Line line({"--firmware", "0x0108"});
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    QCOMPARE(line.exchange(hex("80 03 00 24 00 01 DA 11")), QByteArray());
    QCOMPARE(line.exchange(hex("80 03 00 24 00 01 DA 10")), Wire::withCrc(hex("80 03 02 01 08")));
    QCOMPARE(line.exchange(hex("01 03 00 24 00 01 C4 01")), QByteArray());
    QStringList outcomes;
    for (const QJsonObject &entry : line.sim.entries())
        outcomes << entry.value("outcome").toString();
    QCOMPARE(outcomes, (QStringList{"bad-crc", "answered", "other-slave"}));
    QCOMPARE(line.sim.entries().at(1).value("request").toObject(),
             (QJsonObject{{"slave", 0x80}, {"function", 3}, {"start", 36}, {"count", 1}}));
}

QTEST_GUILESS_MAIN(tst_SimLink)
#include "tst_simlink.moc"

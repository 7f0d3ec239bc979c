#include "simprocess.h"
#include "wire.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QtEndian>
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
    void inputBlock_data();
    void inputBlock();
    void spectrumBurst();
    void answersArePacedByTheLine();
    void faults_data();
    void faults();
    void ignoredFramesInTheJournal();
    void controlPipe();
    void stopRemovesTheLink();
};

void tst_SimLink::conversation_data()
{
    // "request > answer" as the wire shows them; nothing after the ">" means
    // the instrument stays silent.
    QTest::addColumn<QStringList>("exchanges");

    QTest::newRow("firmware version read")
        << QStringList{"80 03 00 24 00 01 DA 10 > 80 03 02 02 06 05 38"};
    QTest::newRow("address query to 0xFF answered from 0x80")
        << QStringList{"FF 03 00 1C 00 01 50 12 > 80 03 02 00 80 85 FA"};
    QTest::newRow("holding block of five")
        << QStringList{"80 03 00 0B 00 05 EA 1A > 80 03 0A 00 1E 00 1E 00 0A 00 05 00 02 AF 96"};
    QTest::newRow("write then read back")
        << QStringList{"80 06 00 20 00 0F D6 15 > 80 06 00 20 00 0F D6 15",
                       "80 03 00 20 00 01 9B D1 > 80 03 02 00 0F C4 5E"};
    QTest::newRow("0x10 geometry write then read back") << QStringList{
        "80 10 00 0F 00 06 0C 00 01 00 C8 00 32 00 00 00 00 00 00 7B FB > 80 10 00 0F 00 06 6E 19",
        "80 03 00 0F 00 06 EB DA > 80 03 0C 00 01 00 C8 00 32 00 00 00 00 00 00 F2 EA"};
    QTest::newRow("distance 70000 mm keeps register 16 at 7000")
        << QStringList{"80 10 00 4B 00 02 04 00 01 11 70 47 66 > 80 10 00 4B 00 02 2F CF",
                       "80 03 00 10 00 01 9B DE > 80 03 02 1B 58 8F 50"};
    QTest::newRow("new address takes effect after the echo") << QStringList{
        "80 06 00 1C 00 0A D6 1A > 80 06 00 1C 00 0A D6 1A", "80 03 00 24 00 01 DA 10 >",
        "0A 03 00 24 00 01 C5 7A > 0A 03 02 02 06 9C E7"};
    QTest::newRow("factory reset restores settings and address")
        << QStringList{"80 06 00 0B 00 63 A6 30 > 80 06 00 0B 00 63 A6 30",
                       "80 06 00 1C 00 0A D6 1A > 80 06 00 1C 00 0A D6 1A",
                       "0A 06 00 25 00 01 58 BA > 0A 06 00 25 00 01 58 BA",
                       "80 03 00 0B 00 01 EB D9 > 80 03 02 00 1E 04 52"};
    QTest::newRow("broadcast write acts unanswered") << QStringList{
        "00 06 00 0B 00 63 B9 F0 >", "80 03 00 0B 00 01 EB D9 > 80 03 02 00 63 C4 73"};
    QTest::newRow("another value than the spectrum key is kept, no spectrum")
        << QStringList{"80 06 00 26 12 33 3A A5 > 80 06 00 26 12 33 3A A5",
                       "80 03 00 26 00 01 7B D0 > 80 03 02 12 33 C8 EF"};
    QTest::newRow("unknown function, cut by silence")
        << QStringList{"80 2B 0E 01 00 4C 69 > 80 AB 01 CE D8"};
    QTest::newRow("input register 17 does not exist")
        << QStringList{"80 04 00 11 00 01 7F DE > 80 84 02 92 E9"};
    QTest::newRow("holding block past 101")
        << QStringList{"80 03 00 64 00 03 5A 05 > 80 83 02 90 D9"};
    QTest::newRow("register 0 does not exist")
        << QStringList{"80 03 00 00 00 01 9A 1B > 80 83 02 90 D9"};
    QTest::newRow("count 0") << QStringList{"80 04 00 01 00 00 BF DB > 80 84 03 53 29"};
    QTest::newRow("version is read only")
        << QStringList{"80 06 00 24 00 07 96 12 > 80 86 02 93 89",
                       "80 10 00 24 00 01 02 00 07 8D 20 > 80 90 02 9D E9"};
    QTest::newRow("0x10 byte count disagrees with count")
        << QStringList{"80 10 00 0F 00 02 03 00 01 00 3D 3B > 80 90 03 5C 29"};
    QTest::newRow("address 0 refused") << QStringList{"80 06 00 1C 00 00 56 1D > 80 86 03 52 49"};
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
        const QJsonObject entry = line.sim.entries().value(i);
        QCOMPARE(SimProcess::requestBytes(entry), request);
        QCOMPARE(SimProcess::answerBytes(entry), answer);
    }
}

void tst_SimLink::inputBlock_data()
{
    // Input 1 to 16 with 5-7, the growing discharge count, left out.
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QList<int>>("registers");

    // Velocity 2000 mm/s, level 1000 mm, air gap 2000 mm under D = 3 m;
    // signal strengths 120 and 90, angle 30.00 degrees, the firmware; the
    // factory trapezoid's flow 2.5 m2 * 2 m/s * 0.85 = 4.25 m3/s in 4 or 15-16.
    QTest::newRow("0x0206") << "0x0206" << QList<int>{2000, 1000, 2000, 0,      120, 90,  0,
                                                      0,    3000, 0,    0x0206, 0,   4250};
    QTest::newRow("0x0108") << "0x0108" << QList<int>{2000, 1000, 2000, 425,    120, 90, 0,
                                                      0,    3000, 0,    0x0108, 0,   0};
}

void tst_SimLink::inputBlock()
{
    QFETCH(QString, firmware);
    QFETCH(QList<int>, registers);

    Line line({"--firmware", firmware, "--calm", "--velocity", "2", "--level", "1"});
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    const QByteArray answer = line.exchange(hex("80 04 00 01 00 10 BE 17"));
    QCOMPARE(answer.size(), 37);
    QCOMPARE(answer.left(3), hex("80 04 20"));
    QVERIFY(Wire::isIntact(answer));
    QList<int> decoded;
    for (int n = 1; n <= 16; ++n) {
        if (n < 5 || n > 7)
            decoded << qFromBigEndian<quint16>(answer.constData() + 2 * n + 1);
    }
    QCOMPARE(decoded, registers);
}

void tst_SimLink::spectrumBurst()
{
    const QByteArray request = hex("80 06 00 26 12 34 7B 67");
    Line line;
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    // The echo, then at once a hundred or more amplitudes, each ended by CR LF.
    const QByteArray burst = line.exchange(request);
    QCOMPARE(burst.left(8), request);
    const QString text = QString::fromLatin1(burst.mid(8));
    QVERIFY2(QRegularExpression("^(\\d+\\r\\n){100,}$").match(text).hasMatch(), qPrintable(text));
    QVERIFY(burst.size() >= 128);
    QCOMPARE(line.sim.entries().value(0).value("spectrumBytes").toInt(), text.size());
}

void tst_SimLink::answersArePacedByTheLine()
{
    // 37 bytes at 9600 baud take 37 * 10 / 9600 s, 38.5 ms.
    Line line({"--baud", "9600"});
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    QElapsedTimer clock;
    clock.start();
    line.port.write(hex("80 04 00 01 00 10 BE 17"));
    QByteArray answer;
    while (answer.size() < 37 && line.port.waitForReadyRead(1000))
        answer += line.port.readAll();
    QCOMPARE(answer.size(), 37);
    QVERIFY2(clock.elapsed() >= 36, qPrintable(QString::number(clock.elapsed())));
}

void tst_SimLink::faults_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("atStart"); // as an option, or switched at run time
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("faulty");
    QTest::addColumn<int>("firstBurst"); // bytes before a split's pause, 0 for none
    QTest::addColumn<int>("reg11");      // 30 from the factory, 99 once the write is carried out

    // Faults that keep the answer back lose the request; those that spoil the
    // answer leave it carried out.
    const QByteArray write = hex("80 06 00 0B 00 63 A6 30");
    const QByteArray spectrum = hex("80 06 00 26 12 34 7B 67");
    const auto add = [](const char *command, const QByteArray &request, const QByteArray &faulty,
                        int iFirstBurst, int iReg11) {
        for (const bool isAtStart : {false, true})
            QTest::addRow("%s, %s", command, isAtStart ? "from the start" : "at run time")
                << command << isAtStart << request << faulty << iFirstBurst << iReg11;
    };
    add("silent-next 1", write, {}, 0, 30);
    add("silent-function 6", write, {}, 0, 30);
    add("exception 6:4", write, hex("80 86 04 13 8B"), 0, 30);
    add("bad-crc on", write, hex("80 06 00 0B 00 63 A6 CF"), 0, 99);
    add("split-ms 600", write, write, 4, 99);
    add("stray 00 FF", write, hex("00 FF") + write, 0, 99);
    add("no-spectrum on", spectrum, spectrum, 0, 30);
}

void tst_SimLink::faults()
{
    QFETCH(QString, command);
    QFETCH(bool, atStart);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, faulty);
    QFETCH(int, firstBurst);
    QFETCH(int, reg11);

    // "bad-crc on" is the option --bad-crc, "stray 00 FF" is --stray "00 FF".
    QStringList options{"--" + command.section(' ', 0, 0)};
    if (command.section(' ', 1) != "on")
        options << command.section(' ', 1);
    Line line(atStart ? options : QStringList());
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    if (!atStart)
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
    const QJsonObject entry = line.sim.entries().value(0);
    QVERIFY(!entry.value("faults").toArray().isEmpty());
    QCOMPARE(SimProcess::answerBytes(entry), faulty);

    // Healthy again, with the write carried out or lost.
    QVERIFY2(line.sim.command("clear"), qPrintable(line.sim.errorString()));
    QCOMPARE(line.exchange(hex("80 03 00 0B 00 01 EB D9")),
             Wire::withCrc(hex("80 03 02 00") + char(reg11)));
}

void tst_SimLink::ignoredFramesInTheJournal()
{
    // Only the intact frame for this instrument is answered; the journal
    // tells why the others were not.
    Line line;
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));
    QCOMPARE(line.exchange(hex("80 03 00 24 00 01 DA 11")), QByteArray());
    QCOMPARE(line.exchange(hex("80 03 00 24 00 01 DA 10")), hex("80 03 02 02 06 05 38"));
    QCOMPARE(line.exchange(hex("01 03 00 24 00 01 C4 01")), QByteArray());
    const QList<QJsonObject> entries = line.sim.entries();
    QStringList outcomes;
    for (const QJsonObject &entry : entries)
        outcomes << entry.value("outcome").toString();
    QCOMPARE(outcomes, (QStringList{"bad-crc", "answered", "other-slave"}));
    QCOMPARE(entries[0].value("crcOk").toBool(), false);
    QVERIFY(
        QDateTime::fromString(entries[1].value("time").toString(), Qt::ISODateWithMs).isValid());
    QCOMPARE(entries[1].value("request").toObject(),
             (QJsonObject{{"slave", 0x80}, {"function", 3}, {"start", 36}, {"count", 1}}));
}

void tst_SimLink::controlPipe()
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath("control");
    Line line({"--control", pipe});
    QVERIFY2(line.isOpen, qPrintable(line.errorString()));

    QFile control(pipe);
    QVERIFY(control.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    control.write("exception 3:4\n");
    // The pipe has no acknowledgement; the answer shows when it is in force.
    QTRY_COMPARE_WITH_TIMEOUT(line.exchange(hex("80 03 00 24 00 01 DA 10")), hex("80 83 04 10 DB"),
                              3000);
}

void tst_SimLink::stopRemovesTheLink()
{
    SimProcess sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    sim.stop();
    QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
}

QTEST_GUILESS_MAIN(tst_SimLink)
#include "tst_simlink.moc"

#include "simprocess.h"
#include "wire.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using Wire::hex;

namespace {

// Answers at once: these tests are about bytes, not line timing.
const QStringList fastLine = {"--baud", "0", "--reply-delay", "0"};

// Opens the simulator's port the way radarflow does: 9600 8N1, no flow control.
bool openPort(QSerialPort &port, const QString &name)
{
    port.setPortName(name);
    return port.open(QIODevice::ReadWrite) && port.setBaudRate(QSerialPort::Baud9600) &&
           port.setDataBits(QSerialPort::Data8) && port.setParity(QSerialPort::NoParity) &&
           port.setStopBits(QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

// Bytes arriving until the line stays quiet for iQuietMs; nothing when no
// byte comes within iFirstMs.
QByteArray collect(QSerialPort &port, int iFirstMs = 500, int iQuietMs = 50)
{
    QByteArray bytes;
    while (port.waitForReadyRead(bytes.isEmpty() ? iFirstMs : iQuietMs))
        bytes += port.readAll();
    return bytes + port.readAll();
}

QByteArray exchange(QSerialPort &port, const QByteArray &request)
{
    port.write(request);
    port.waitForBytesWritten(1000);
    return collect(port);
}

// "request > answer", both as the wire shows them; no answer after the ">"
// means the instrument stays silent.
struct Exchange
{
    QByteArray request;
    QByteArray answer;
};

Exchange parse(const QString &line)
{
    const QStringList parts = line.split('>');
    return {hex(parts.value(0).toLatin1().constData()), hex(parts.value(1).toLatin1().constData())};
}

} // namespace

class tst_SimLink : public QObject
{
    Q_OBJECT

private slots:
    void portIsATerminal();
    void conversation_data();
    void conversation();
    void inputBlock_data();
    void inputBlock();
    void spectrumBurst_data();
    void spectrumBurst();
    void answersArePacedByTheLine();
    void faults_data();
    void faults();
    void journalRecordsEveryFrame();
    void controlPipe();
    void stopRemovesTheLink();
};

void tst_SimLink::portIsATerminal()
{
    SimProcess sim(fastLine);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));

    const int fd = ::open(QFile::encodeName(sim.linkPath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    QVERIFY(::isatty(fd));
    ::close(fd);

    QSerialPort port;
    QVERIFY2(openPort(port, sim.linkPath()), qPrintable(port.errorString()));
    QCOMPARE(port.baudRate(), 9600);
}

void tst_SimLink::conversation_data()
{
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
    QTest::newRow("discharge clear reads back 0")
        << QStringList{"80 06 00 1A 00 01 77 DC > 80 06 00 1A 00 01 77 DC",
                       "80 03 00 1A 00 01 BB DC > 80 03 02 00 00 84 5A"};
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
    QTest::newRow("bad CRC ignored, next request answered") << QStringList{
        "80 03 00 24 00 01 DA 11 >", "80 03 00 24 00 01 DA 10 > 80 03 02 02 06 05 38"};
    QTest::newRow("other slave ignored") << QStringList{"01 03 00 24 00 01 C4 01 >"};
}

void tst_SimLink::conversation()
{
    QFETCH(QStringList, exchanges);

    SimProcess sim(fastLine);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSerialPort port;
    QVERIFY(openPort(port, sim.linkPath()));
    for (const QString &line : qAsConst(exchanges)) {
        const Exchange expected = parse(line);
        QCOMPARE(exchange(port, expected.request).toHex(' '), expected.answer.toHex(' '));
    }
    // The journal saw every frame exactly as sent.
    QVERIFY(sim.waitForEntries(exchanges.size()));
    for (int i = 0; i < exchanges.size(); ++i)
        QCOMPARE(SimProcess::requestBytes(sim.entries().at(i)), parse(exchanges[i]).request);
}

void tst_SimLink::inputBlock_data()
{
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<quint16>("reg4");
    QTest::addColumn<quint32>("reg15to16");

    // Factory trapezoid at 1 m: 2.5 m2 * 2 m/s * 0.85 = 4.25 m3/s.
    QTest::newRow("0x0206") << "0x0206" << quint16(0) << 4250u;
    QTest::newRow("0x0108") << "0x0108" << quint16(425) << 0u;
}

void tst_SimLink::inputBlock()
{
    QFETCH(QString, firmware);
    QFETCH(quint16, reg4);
    QFETCH(quint32, reg15to16);

    SimProcess sim(fastLine + QStringList{"--firmware", firmware, "--calm", "--velocity", "2",
                                          "--level", "1"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSerialPort port;
    QVERIFY(openPort(port, sim.linkPath()));

    const QByteArray answer = exchange(port, hex("80 04 00 01 00 10 BE 17"));
    QCOMPARE(answer.size(), 37);
    QCOMPARE(answer.left(3), hex("80 04 20"));
    QVERIFY(Wire::isIntact(answer));
    const auto reg = [&](int n) {
        return quint16(quint8(answer.at(1 + 2 * n)) << 8 | quint8(answer.at(2 + 2 * n)));
    };
    QCOMPARE(reg(1), quint16(2000)); // velocity, mm/s
    QCOMPARE(reg(2), quint16(1000)); // level, mm
    QCOMPARE(reg(3), quint16(2000)); // air gap under D = 3 m
    QCOMPARE(reg(4), reg4);
    QCOMPARE(reg(8), quint16(120));
    QCOMPARE(reg(9), quint16(90));
    QCOMPARE(reg(12), quint16(3000)); // 30.00 degrees
    QCOMPARE(reg(14), quint16(firmware.toUShort(nullptr, 16)));
    QCOMPARE(quint32(reg(15)) << 16 | reg(16), reg15to16);
}

void tst_SimLink::spectrumBurst_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("velocity radar, register 38") << hex("80 06 00 26 12 34 7B 67");
    QTest::newRow("level radar, register 91") << hex("80 06 00 5B 12 34 EB 7F");
}

void tst_SimLink::spectrumBurst()
{
    QFETCH(QByteArray, request);

    SimProcess sim(fastLine);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSerialPort port;
    QVERIFY(openPort(port, sim.linkPath()));

    const QByteArray burst = exchange(port, request);
    QVERIFY(burst.size() >= 128);
    QCOMPARE(burst.left(8), request);
    const QByteArray text = burst.mid(8);
    QVERIFY(text.endsWith("\r\n"));
    const QList<QByteArray> lines = text.chopped(2).split('\n');
    for (const QByteArray &line : lines)
        QVERIFY2(QRegularExpression("^\\d+\\r?$").match(QString::fromLatin1(line)).hasMatch(),
                 line.constData());
    QVERIFY(lines.size() >= 100);

    QVERIFY(sim.waitForEntries(1));
    QCOMPARE(sim.entries().at(0).value("spectrumBytes").toInt(), text.size());
}

void tst_SimLink::answersArePacedByTheLine()
{
    // 37 bytes at 9600 baud take 37 * 10 / 9600 s, 38.5 ms.
    SimProcess sim({"--reply-delay", "0"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSerialPort port;
    QVERIFY(openPort(port, sim.linkPath()));

    QElapsedTimer clock;
    clock.start();
    port.write(hex("80 04 00 01 00 10 BE 17"));
    QByteArray answer;
    while (answer.size() < 37 && port.waitForReadyRead(1000))
        answer += port.readAll();
    QCOMPARE(answer.size(), 37);
    QVERIFY2(clock.elapsed() >= 36, qPrintable(QString::number(clock.elapsed())));
}

void tst_SimLink::faults_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("healthy"); // the answer, or its start for a spectrum
    QTest::addColumn<QByteArray>("faulty");
    QTest::addColumn<int>("firstBurst"); // bytes before a split's pause, 0 for none

    const QByteArray version = hex("80 03 00 24 00 01 DA 10");
    const QByteArray versionAnswer = hex("80 03 02 02 06 05 38");
    const QByteArray spectrum = hex("80 06 00 26 12 34 7B 67");
    struct Fault
    {
        const char *name;
        QString command;
        QStringList options;
        QByteArray request;
        QByteArray healthy;
        QByteArray faulty;
        int iFirstBurst;
    };
    const QList<Fault> faults = {
        {"silent-next", "silent-next 1", {"--silent-next", "1"}, version, versionAnswer, {}, 0},
        {"silent-function",
         "silent-function 3",
         {"--silent-function", "3"},
         version,
         versionAnswer,
         {},
         0},
        {"bad-crc",
         "bad-crc on",
         {"--bad-crc"},
         version,
         versionAnswer,
         hex("80 03 02 02 06 05 C7"),
         0},
        {"split", "split-ms 800", {"--split-ms", "800"}, version, versionAnswer, versionAnswer, 3},
        {"exception",
         "exception 3:4",
         {"--exception", "3:4"},
         version,
         versionAnswer,
         hex("80 83 04 10 DB"),
         0},
        {"stray",
         "stray 00 FF",
         {"--stray", "00 FF"},
         version,
         versionAnswer,
         hex("00 FF 80 03 02 02 06 05 38"),
         0},
        {"no-spectrum", "no-spectrum on", {"--no-spectrum"}, spectrum, spectrum, spectrum, 0},
    };
    for (const Fault &fault : faults) {
        QTest::addRow("%s switched at run time", fault.name)
            << fault.command << QStringList() << false << fault.request << fault.healthy
            << fault.faulty << fault.iFirstBurst;
        QTest::addRow("%s from the start", fault.name)
            << fault.command << fault.options << true << fault.request << fault.healthy
            << fault.faulty << fault.iFirstBurst;
    }
}

void tst_SimLink::faults()
{
    QFETCH(QString, command);
    QFETCH(QStringList, options);
    QFETCH(bool, atStart);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, healthy);
    QFETCH(QByteArray, faulty);
    QFETCH(int, firstBurst);

    SimProcess sim(fastLine + options);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSerialPort port;
    QVERIFY(openPort(port, sim.linkPath()));
    const auto isHealthy = [&](const QByteArray &answer) {
        return request == hex("80 06 00 26 12 34 7B 67")
                   ? answer.startsWith(healthy) && answer.size() >= 128
                   : answer == healthy;
    };

    if (!atStart) {
        QVERIFY(isHealthy(exchange(port, request)));
        QVERIFY2(sim.command(command), qPrintable(sim.errorString()));
    }

    port.write(request);
    if (firstBurst > 0) {
        // The first half, then a pause far longer than radarflow's 100 ms
        // quiet time, then the rest. The pause is long enough that a test
        // process held up by a busy machine still sees it.
        QCOMPARE(collect(port, 500, 300), faulty.left(firstBurst));
        QCOMPARE(collect(port, 1000, 100), faulty.mid(firstBurst));
    } else {
        QCOMPARE(collect(port).toHex(' '), faulty.toHex(' '));
    }

    QVERIFY2(sim.command("clear"), qPrintable(sim.errorString()));
    QVERIFY(isHealthy(exchange(port, request)));

    QVERIFY(sim.waitForEntries(atStart ? 2 : 3));
    const QJsonObject faultyEntry = sim.entries().at(atStart ? 0 : 1);
    QVERIFY(!faultyEntry.value("faults").toArray().isEmpty());
    QCOMPARE(SimProcess::answerBytes(faultyEntry).left(faulty.size()), faulty);
}

void tst_SimLink::journalRecordsEveryFrame()
{
    SimProcess sim(fastLine);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSerialPort port;
    QVERIFY(openPort(port, sim.linkPath()));
    exchange(port, hex("80 03 00 24 00 01 DA 10"));
    exchange(port, hex("80 03 00 24 00 01 DA 11"));
    exchange(port, hex("01 03 00 24 00 01 C4 01"));
    QVERIFY(sim.waitForEntries(3));
    const QList<QJsonObject> entries = sim.entries();

    const QJsonObject read = entries.at(0);
    QCOMPARE(read.value("rx").toString(), QString("80 03 00 24 00 01 DA 10"));
    QCOMPARE(read.value("crcOk").toBool(), true);
    QCOMPARE(read.value("outcome").toString(), QString("answered"));
    QCOMPARE(read.value("tx").toString(), QString("80 03 02 02 06 05 38"));
    const QJsonObject request = read.value("request").toObject();
    QCOMPARE(request.value("slave").toInt(), 0x80);
    QCOMPARE(request.value("function").toInt(), 3);
    QCOMPARE(request.value("start").toInt(), 36);
    QCOMPARE(request.value("count").toInt(), 1);
    QVERIFY(QDateTime::fromString(read.value("time").toString(), Qt::ISODateWithMs).isValid());

    QCOMPARE(entries.at(1).value("crcOk").toBool(), false);
    QCOMPARE(entries.at(1).value("outcome").toString(), QString("bad-crc"));
    QCOMPARE(entries.at(1).value("tx").toString(), QString());
    QCOMPARE(entries.at(2).value("outcome").toString(), QString("other-slave"));
}

void tst_SimLink::controlPipe()
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath("control");
    SimProcess sim(fastLine + QStringList{"--control", pipe});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QSerialPort port;
    QVERIFY(openPort(port, sim.linkPath()));

    QFile control(pipe);
    QVERIFY(control.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    control.write("exception 3:4\n");
    // The pipe has no acknowledgement; the answer shows when it is in force.
    QTRY_COMPARE_WITH_TIMEOUT(exchange(port, hex("80 03 00 24 00 01 DA 10")), hex("80 83 04 10 DB"),
                              3000);
}

void tst_SimLink::stopRemovesTheLink()
{
    SimProcess sim(fastLine);
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    QVERIFY(QFileInfo(sim.linkPath()).isSymLink());
    sim.stop();
    QVERIFY(!QFileInfo(sim.linkPath()).isSymLink());
}

QTEST_GUILESS_MAIN(tst_SimLink)
#include "tst_simlink.moc"

// The main window against the simulated instrument behind a network, one
// simulator serving both kinds of gateway: a conversation over each, the
// faults a network has and a line has not, and a station that reconnects.
#include "rowtable.h"
#include "windowbench.h"
#include "wire.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

// The station's events as the log has them.
QStringList told;
QtMessageHandler logged = nullptr;
void Record(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtInfoMsg)
        told << text;
    logged(type, context, text);
}

class tst_Network : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowBench> bench;
    int first = 0;

    // The bytes the simulator received (or sent) since the case began.
    QStringList Wire(const char *key = "rx") const
    {
        QStringList frames;
        for (const QJsonObject &entry : bench->sim.entries().mid(first))
            frames << QString::fromLatin1(
                QByteArray::fromHex(entry[key].toString().toLatin1()).toHex(' ').toUpper());
        return frames;
    }
    // An RTU frame with its CRC, or an MBAP frame as given.
    static QString Frame(const QString &hex, bool isMbap)
    {
        const QByteArray bytes = Wire::hex(qPrintable(hex));
        return QString::fromLatin1((isMbap ? bytes : Wire::withCrc(bytes)).toHex(' ').toUpper());
    }

private slots:
    void initTestCase()
    {
        bench = std::make_unique<WindowBench>(QStringList{
            "--calm", "--velocity", "1.5", "--level", "0.8", "--tcp", "0", "--modbus-tcp", "0"});
        QVERIFY2(bench->sim.isReady(), qPrintable(bench->sim.errorString()));
    }
    void init()
    {
        if (bench->isPortOpen())
            QVERIFY(bench->click("pushButtonUartConnect"));
        bench->find<QCheckBox>("checkBoxReconnect")->setChecked(false);
        QTest::qWait(50);
        for (const char *command : {"clear", "listen on"})
            QVERIFY2(bench->sim.command(command), qPrintable(bench->sim.errorString()));
        bench->window->SetLineTiming(3000, 20);
        bench->find<QStatusBar>("statusBar")->clearMessage();
        bench->boxes.clear();
        first = bench->sim.entries().size();
    }
    void cleanupTestCase() { bench.reset(); }

    void conversation_data()
    {
        // The wire of the version read, its answer, the first read-back block,
        // the third poll and the write; a gateway numbers its transactions.
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QStringList>("wire");
        QTest::newRow("RTU over TCP")
            << "tcp"
            << QStringList{"80 03 00 24 00 01", "80 03 02 02 06", "80 03 00 01 00 05",
                           "80 04 00 01 00 10", "80 06 00 20 00 0F"};
        QTest::newRow("Modbus TCP") << "modbus-tcp"
                                    << QStringList{"00 01 00 00 00 06 80 03 00 24 00 01",
                                                   "00 01 00 00 00 05 80 03 02 02 06",
                                                   "00 02 00 00 00 06 80 03 00 01 00 05",
                                                   "00 0F 00 00 00 06 80 04 00 01 00 10",
                                                   "00 10 00 00 00 06 80 06 00 20 00 0F"};
    }
    void conversation()
    {
        QFETCH(QString, scheme);
        QFETCH(QStringList, wire);
        const bool isMbap = scheme == "modbus-tcp";
        const QString port = bench->sim.networkPort(scheme);
        QVERIFY(bench->openPort(port));
        QVERIFY(bench->settle(first + 12));
        QCOMPARE(Wire().at(0), Frame(wire[0], isMbap));
        QCOMPARE(Wire("tx").at(0), Frame(wire[1], isMbap));
        QCOMPARE(Wire().at(1), Frame(wire[2], isMbap));
        // A run of three samples at 1 s, then a write.
        QVERIFY(bench->enter("lineEditAutoRunIntvel=1 pushButtonAutoRun70"));
        QVERIFY(bench->settle(first + 15, 5000));
        QVERIFY(bench->click("pushButtonAutoRun70"));
        QCOMPARE(Wire().at(14), Frame(wire[3], isMbap));
        QCOMPARE(bench->shown("labelDevVersion curSpeed curLevel"),
                 QString("设备软件版本：V2.6|1.5 m/s|0.8 m"));
        QVERIFY(bench->enter("lineEditSleepTime=15 pushButtonSleepTime"));
        QVERIFY(bench->sim.waitForEntries(first + 16));
        QCOMPARE(Wire().at(15), Frame(wire[4], isMbap));
        QTRY_COMPARE(bench->told(), QString("设置写入成功"));
        // The spectrum travels through a transparent server only; a gateway
        // is not even asked.
        QVERIFY(bench->click("pushButtonGetFreq70"));
        if (isMbap) {
            QTest::qWait(300);
            QCOMPARE(bench->told(), QString("警告/回波谱不是 Modbus 帧，Modbus TCP 网关不会转发："
                                            "读取回波谱需要串口或透明传输的串口服务器（tcp://）"));
            QCOMPARE(Wire().size(), 16);
        } else {
            QVERIFY(bench->settle(first + 17));
            QCOMPARE(Wire().at(16), Frame("80 06 00 26 12 34", false));
            const int amplitudes = Wire("tx").at(16).count("0D 0A");
            QTRY_COMPARE(qobject_cast<QXYSeries *>(
                             bench->find<QChartView>("kx70FreqChart")->chart()->series().value(0))
                             ->count(),
                         amplitudes + 1);
        }
        QVERIFY(bench->find<QPushButton>("pushButtonGetFreq70")->isEnabled());
        QVERIFY(bench->click("pushButtonUartConnect"));
        QVERIFY(!bench->isPortOpen());
        QCOMPARE(bench->boxes.boxes().size(), int(isMbap));
        // The port list offers the network ports opened before.
        QVERIFY(bench->click("pushButtonUpdatePort"));
        QVERIFY(bench->find<QComboBox>("comboBoxPort")->findText(port) >= 0);
    }

    void faults_data()
    {
        // The port, a fault before the opening (left of ';') or after the
        // version read (right of it), then the wire from the opening on ("+":
        // more may follow), what the operator is told and whether the port
        // stays open. P is the port's name.
        const QString rows = R"(
refused                  | tcp        | listen off ;   | | 警告/串口 P 打开失败：Connection refused | closed
closed by the server mid-run | modbus-tcp | ; hang-up | 00 01 00 00 00 06 80 03 00 24 00 01 + | 警告/串口 P 连接中断：The remote host closed the connection | closed
segments 150 ms apart: one answer | tcp | segments 3:150 ; | 80 03 00 24 00 01 * 80 03 00 01 00 05 * + | | open
wrong transaction: never the answer | modbus-tcp | bad-tid on ; | 00 01 00 00 00 06 80 03 00 24 00 01 * 00 02 00 00 00 06 80 03 00 24 00 01 * 00 03 00 00 00 06 80 03 00 24 00 01 | 警告/消息接收超时，请检查设备连接是否正常 | closed
)";
        RowTable::Add(rows);
    }
    void faults()
    {
        QFETCH(QString, row);
        const QStringList cell = RowTable::Cells(row);
        const QString port = bench->sim.networkPort(cell[1]);
        const bool isMbap = cell[1] == "modbus-tcp";
        // The network's pauses are longer than the quiet time of a line.
        bench->window->SetLineTiming(600, 100);
        const QString before = cell[2].section(';', 0, 0).trimmed();
        const QString after = cell[2].section(';', 1).trimmed();
        QVERIFY(before.isEmpty() || bench->sim.command(before));
        QCOMPARE(bench->openPort(port), !cell[3].isEmpty());
        if (!after.isEmpty()) {
            QVERIFY(bench->enter("lineEditAutoRunIntvel=1 pushButtonAutoRun70"));
            QVERIFY(bench->sim.waitForEntries(first + 14));
            QVERIFY(bench->sim.command(after));
        }
        QStringList frames;
        for (const QString &frame : cell[3].split('*', Qt::SkipEmptyParts))
            if (frame.trimmed() != "+")
                frames << Frame(frame.trimmed(), isMbap);
        QTRY_VERIFY_WITH_TIMEOUT(Wire().size() >= frames.size(), 10000);
        if (!cell[4].isEmpty())
            QTRY_COMPARE(bench->told(), QString(cell[4]).replace('P', port));
        if (!cell[3].endsWith('+')) {
            QTest::qWait(500);
            QCOMPARE(Wire().size(), frames.size());
        }
        QCOMPARE(Wire().mid(0, frames.size()).join(" / "), frames.join(" / "));
        QCOMPARE(bench->boxes.boxes().size(), int(cell[4].contains('/')));
        QCOMPARE(bench->isPortOpen(), cell[5] == "open");
        // A run the lost connection ended is over.
        QCOMPARE(bench->find<QPushButton>("pushButtonAutoRun70")->text(), QString("开始测量"));
    }

    void reconnection()
    {
        // A station measuring over RTU over TCP; the server goes away and
        // comes back, and the run resumes by itself.
        const QString port = bench->sim.networkPort("tcp");
        bench->find<QCheckBox>("checkBoxReconnect")->setChecked(true);
        QVERIFY(bench->openPort(port));
        QVERIFY(bench->enter("lineEditAutoRunIntvel=1 pushButtonAutoRun70"));
        QVERIFY(bench->sim.waitForEntries(first + 14));
        QVERIFY(bench->sim.command("listen off"));
        QTRY_VERIFY(!bench->isPortOpen());
        QCOMPARE(bench->told(),
                 "串口 " + port +
                     " 连接中断：The remote host closed the connection，每 5 秒重新连接");
        QCOMPARE(bench->find<QPushButton>("pushButtonAutoRun70")->text(), QString("开始测量"));
        // The first attempt, 5 s on, is refused and told once.
        QTRY_COMPARE_WITH_TIMEOUT(bench->told(), "串口 " + port + " 打开失败：Connection refused",
                                  7000);
        logged = qInstallMessageHandler(Record);
        QVERIFY(bench->sim.command("listen on"));
        const int before = bench->sim.entries().size();
        QTRY_VERIFY_WITH_TIMEOUT(told.contains("串口 " + port + " 已重新连接"), 8000);
        qInstallMessageHandler(logged);
        QVERIFY(bench->sim.waitForEntries(before + 13, 5000));
        QVERIFY(bench->isPortOpen() && bench->boxes.boxes().isEmpty());
        QVERIFY(bench->find<QPushButton>("pushButtonAutoRun70")->text() != "开始测量");
    }
};

QTEST_MAIN(tst_Network)
#include "tst_network.moc"

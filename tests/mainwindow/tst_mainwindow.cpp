// The main window against one simulated instrument, reset between cases:
// opening at the chosen address, the line's faults on a short time-out, one
// conversation per firmware family, spectra, and a port that vanishes. CTest
// runs the functions in two groups side by side (tests/mainwindow/CMakeLists.txt):
// a new function must join one of them.
#include "windowbench.h"
#include "wire.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include <termios.h>

class tst_MainWindow : public QObject
{
    Q_OBJECT

    static constexpr int ShortTimeoutMs = 300;
    std::unique_ptr<WindowBench> bench;
    int first = 0;

    // Frames the simulator received since the case began, as "80 03 ...".
    QStringList Sent(int from = 0) const
    {
        QStringList frames;
        for (const QJsonObject &entry : bench->sim.entries().mid(first + from))
            frames << QString::fromLatin1(SimProcess::requestBytes(entry).toHex(' ').toUpper());
        return frames;
    }
    static QString Frame(const char *hex)
    {
        return QString::fromLatin1(Wire::withCrc(Wire::hex(hex)).toHex(' ').toUpper());
    }
    static QStringList Repeat(int n, const QString &frame)
    {
        return QStringList(QList<QString>::fromVector(QVector<QString>(n, frame)));
    }
    QString Shown(const QString &name) const
    {
        if (auto *label = bench->find<QLabel>(name))
            return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
        return bench->find<QLineEdit>(name)->text();
    }

private slots:
    void initTestCase()
    {
        bench = std::make_unique<WindowBench>(
            QStringList{"--calm", "--velocity", "1.5", "--level", "0.8"});
        QVERIFY(bench->isReady());
        QCOMPARE(bench->window->ResponseTimeoutMs(), 3000);
        QCOMPARE(bench->window->QuietTimeMs(), 100);
        auto *tabs = bench->find<QTabWidget>("tabWidget");
        QCOMPARE(QString("%1%2%3%4%5")
                     .arg(tabs->isTabEnabled(0))
                     .arg(tabs->isTabEnabled(1))
                     .arg(tabs->isTabEnabled(2))
                     .arg(tabs->isTabEnabled(3))
                     .arg(tabs->isTabEnabled(4)),
                 QString("10001"));
        // Only ports that can be opened are listed.
        qputenv("RADARFLOW_PORTS", (bench->sim.linkPath() + ":/nonexistent/ttyX").toLocal8Bit());
        QVERIFY(bench->click("pushButtonUpdatePort"));
        auto *ports = bench->find<QComboBox>("comboBoxPort");
        QVERIFY(ports->findText(bench->sim.linkPath()) >= 0 &&
                ports->findText("/nonexistent/ttyX") < 0);
    }
    void init()
    {
        if (bench->isPortOpen())
            QVERIFY(bench->click("pushButtonUartConnect"));
        QTest::qWait(50);
        for (const char *command : {"clear", "holding 28 128", "holding 36 0x0206"})
            QVERIFY2(bench->sim.command(command), qPrintable(bench->sim.errorString()));
        bench->window->SetLineTiming(3000, 100);
        bench->find<QComboBox>("comboBoxDevAddr")->setCurrentIndex(0);
        bench->boxes.clear();
        first = bench->sim.entries().size();
    }
    void cleanupTestCase() { bench.reset(); }

    void opening_data()
    {
        QTest::addColumn<int>("simAddr");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0x80 at start")
            << 0x80 << "0x80" << QStringList{Frame("80 03 00 24 00 01")} << "0x80";
        QTest::newRow("0x01 from the list")
            << 0x01 << "0x01" << QStringList{Frame("01 03 00 24 00 01")} << "0x01";
        QTest::newRow("C0 typed without 0x")
            << 0xC0 << "C0" << QStringList{Frame("C0 03 00 24 00 01")} << "C0";
        QTest::newRow("address query finds 0x0A")
            << 0x0A << "查地址"
            << QStringList{Frame("FF 03 00 1C 00 01"), Frame("0A 03 00 24 00 01")} << "0x0A";
    }
    void opening()
    {
        QFETCH(int, simAddr);
        QFETCH(QString, chosen);
        QFETCH(QStringList, frames);
        QFETCH(QString, shown);
        QVERIFY(bench->sim.command(QString("holding 28 %1").arg(simAddr)));
        auto *addr = bench->find<QComboBox>("comboBoxDevAddr");
        addr->setEditText(chosen);
        QVERIFY(bench->openPort());
        QVERIFY(bench->sim.waitForEntries(first + frames.size()));
        QCOMPARE(Sent().mid(0, frames.size()), frames);
        QCOMPARE(addr->currentText(), shown);
        // The line is set to 9600 8N1, no flow control.
        termios tio{};
        QFile line(bench->sim.linkPath());
        QVERIFY(line.open(QIODevice::ReadWrite | QIODevice::Unbuffered));
        QCOMPARE(tcgetattr(line.handle(), &tio), 0);
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
        QCOMPARE(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    }

    void faults_data()
    {
        // The version read at opening meets the fault. An answer that never
        // decodes is sent three times, a full time-out apart, then the port
        // closes. Exception answers have their own table with the window's faults.
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("sends"); // of the version read
        QTest::addColumn<bool>("isReadBack");
        QTest::newRow("silence") << "silent-next 3" << 3 << false;
        QTest::newRow("bad CRC") << "bad-crc on" << 3 << false;
        QTest::newRow("stray bytes before the answer") << "stray 00 FF" << 3 << false;
        QTest::newRow("split 250 ms: two halves") << "split-ms 250" << 3 << false;
        QTest::newRow("split 50 ms: one frame") << "split-ms 50" << 1 << true;
        QTest::newRow("one silence, then answered") << "silent-next 1" << 2 << true;
    }
    void faults()
    {
        QFETCH(QString, command);
        QFETCH(int, sends);
        QFETCH(bool, isReadBack);
        QVERIFY(bench->sim.command(command));
        bench->window->SetLineTiming(ShortTimeoutMs, 100);
        QVERIFY(bench->openPort());
        if (sends == 3)
            QVERIFY(bench->boxes.waitForBoxes(1, 10 * ShortTimeoutMs));
        if (isReadBack)
            QTRY_VERIFY(Sent().size() > sends);
        QTest::qWait(ShortTimeoutMs + 100);
        QCOMPARE(bench->isPortOpen(), sends < 3);
        QCOMPARE(bench->boxes.boxes().size(), sends < 3 ? 0 : 1);
        if (sends == 3)
            QCOMPARE(bench->boxes.boxes().at(0).title + bench->boxes.lastText(),
                     QString("警告消息接收超时，请检查设备连接是否正常"));
        // The same frame again after each time-out of its full length.
        QCOMPARE(Sent().mid(0, sends + 1), Repeat(sends, Frame("80 03 00 24 00 01")) +
                                               Repeat(isReadBack, Frame("80 03 00 01 00 05")));
        for (int i = 1; i < sends; ++i) {
            const auto ms = [&](int n) {
                return bench->sim.entries().at(first + n).value("ms").toInt();
            };
            QVERIFY2(ms(i) - ms(i - 1) >= ShortTimeoutMs * 3 / 4 &&
                         ms(i) - ms(i - 1) < ShortTimeoutMs + 1000,
                     qPrintable(QString::number(ms(i) - ms(i - 1))));
        }
    }

    void resendCountResetsAfterAnswer()
    {
        // One resend of the version read, then two of a later request: had the
        // count not been reset by the good answer between, the port would close.
        QVERIFY(bench->sim.command("silent-next 1"));
        bench->window->SetLineTiming(ShortTimeoutMs, 20);
        QVERIFY(bench->openPort());
        QVERIFY(bench->sim.waitForEntries(first + 3));
        QVERIFY(bench->sim.command("silent-next 2"));
        QTRY_COMPARE_WITH_TIMEOUT(Sent().size(), 2 + 11 + 2, 10000);
        QTest::qWait(ShortTimeoutMs + 100);
        QVERIFY(bench->isPortOpen() && bench->boxes.boxes().isEmpty());
    }

    void conversation_data()
    {
        // Old scaling up to V1.8: 40 registers, flow in register 4 in hundredths.
        // V4.17 reads all 101, flow in 15-16 in thousandths. The river: 1.5 m/s,
        // 0.8 m in the factory trapezoid A 2, B 4, C 2 at bank coefficient 0.85:
        // (2 + 2.8) / 2 * 0.8 * 1.5 * 0.85 = 2.448 m³/s.
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("blocks");
        QTest::addColumn<QString>("shown");
        QTest::newRow("V1.8") << "0x0108"
                              << "1/5 6/5 11/5 16/5 21/5 26/5 31/5 36/5"
                              << "设备软件版本：V1.8|3|1.5 m/s|0.8 m|2.45 m³/s";
        QTest::newRow("V4.17") << "0x0411"
                               << "1/5 6/5 11/5 16/5 21/5 26/5 31/5 36/5 41/5 46/5 51/5 56/5 61/5 "
                                  "66/5 71/5 76/5 81/5 86/5 91/5 96/5 101/1"
                               << "设备软件版本：V4.17|3|1.5 m/s|0.8 m|2.448 m³/s";
    }
    void conversation()
    {
        QFETCH(QString, firmware);
        QFETCH(QString, blocks);
        QFETCH(QString, shown);
        QVERIFY(bench->sim.command("holding 36 " + firmware));
        bench->window->SetLineTiming(3000, 20);
        QVERIFY(bench->openPort());
        const int reads = blocks.count('/') + 1;
        QVERIFY(bench->settle(first + reads));
        QStringList read;
        for (const QJsonObject &entry : bench->sim.entries().mid(first + 1)) {
            const QJsonObject request = entry.value("request").toObject();
            read << QString("%1/%2")
                        .arg(request.value("start").toInt())
                        .arg(request.value("count").toInt());
        }
        QCOMPARE(read.join(' '), blocks);
        // A poll of a run at 1 s, then a write, then closing.
        bench->find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
        QVERIFY(bench->click("pushButtonAutoRun70"));
        QVERIFY(bench->settle(first + reads + 1, 3000));
        QVERIFY(bench->click("pushButtonAutoRun70"));
        QCOMPARE(Sent(reads), QStringList{Frame("80 04 00 01 00 10")});
        QCOMPARE(QStringList({Shown("labelDevVersion"), Shown("lineEditDevToButtomLen"),
                              Shown("curSpeed"), Shown("curLevel"), Shown("curQuantity")})
                     .join('|'),
                 shown);
        bench->find<QLineEdit>("lineEditSleepTime")->setText("15");
        QVERIFY(bench->click("pushButtonSleepTime"));
        QVERIFY(bench->sim.waitForEntries(first + reads + 2));
        QCOMPARE(Sent(reads + 1), QStringList{Frame("80 06 00 20 00 0F")});
        QTRY_COMPARE(bench->find<QStatusBar>("statusBar")->currentMessage(),
                     QString("设置写入成功"));
        QVERIFY(bench->click("pushButtonUartConnect"));
        QVERIFY(!bench->isPortOpen() && bench->boxes.boxes().isEmpty());
    }

    void spectra()
    {
        // The amplitudes after the 8-byte echo, one point each, and 0 on the right edge.
        bench->window->SetLineTiming(3000, 20);
        QVERIFY(bench->openPort());
        QVERIFY(bench->settle(first + 12));
        const QStringList buttons{"pushButtonGetFreq70", "pushButtonGetFreq80"};
        const QStringList views{"kx70FreqChart", "kx80FreqChart"};
        const QStringList requests{Frame("80 06 00 26 12 34"), Frame("80 06 00 5B 12 34")};
        for (int i = 0; i < 2; ++i) {
            QVERIFY(bench->click(buttons[i]));
            QVERIFY(!bench->find<QPushButton>(buttons[i])->isEnabled());
            QVERIFY(bench->settle(first + 13 + i));
            QTRY_VERIFY(bench->find<QPushButton>(buttons[i])->isEnabled());
            QCOMPARE(Sent(12 + i), QStringList{requests[i]});
            const QList<QByteArray> amplitudes =
                SimProcess::answerBytes(bench->sim.entries().last()).mid(8).trimmed().split('\n');
            auto *series = qobject_cast<QXYSeries *>(
                bench->find<QChartView>(views[i])->chart()->series().value(0));
            QCOMPARE(series->count(), amplitudes.size() + 1);
            QCOMPARE(series->at(1).y(), amplitudes.at(1).trimmed().toDouble());
        }
        QVERIFY(bench->isPortOpen());
    }

    void closingAbandonsBlockedRequest()
    {
        const auto threads = [] {
            return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
        };
        const int threadsBefore = threads();
        // The version read is never answered; a spectrum request waits for the line.
        QVERIFY(bench->sim.command("silent-function 3"));
        QVERIFY(bench->openPort());
        QVERIFY(bench->click("pushButtonGetFreq80"));
        QTest::qWait(200);
        QCOMPARE(Sent().size(), 1);
        QVERIFY(bench->click("pushButtonUartConnect"));
        QCOMPARE(threads(), threadsBefore);
        QVERIFY(bench->find<QPushButton>("pushButtonGetFreq80")->isEnabled());
        // The next opening sends at once, although the gate was left closed.
        QVERIFY(bench->sim.command("silent-function off"));
        QVERIFY(bench->openPort());
        QVERIFY(bench->sim.waitForEntries(first + 2, 1500));
        QCOMPARE(Sent(1).value(0), Frame("80 03 00 24 00 01"));
    }

    void spectrumThatNeverComes()
    {
        // After its last time-out the buttons come back, the port stays open
        // and the run polls again.
        QVERIFY(bench->sim.command("no-spectrum on"));
        bench->window->SetLineTiming(ShortTimeoutMs, 20);
        QVERIFY(bench->openPort() && bench->settle(first + 12));
        bench->find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
        QVERIFY(bench->click("pushButtonAutoRun70") && bench->click("pushButtonGetFreq70"));
        QTRY_VERIFY(bench->find<QPushButton>("pushButtonGetFreq70")->isEnabled());
        QCOMPARE(Sent(12), Repeat(3, Frame("80 06 00 26 12 34")));
        QVERIFY(bench->isPortOpen() && bench->boxes.boxes().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(Sent(15).value(0), Frame("80 04 00 01 00 10"), 2000);
    }

    void vanishedPort() // last: it stops the simulator
    {
        QVERIFY(bench->openPort() && bench->click("pushButtonAutoRun70"));
        bench->sim.stop();
        QVERIFY(bench->boxes.waitForBoxes(1));
        QVERIFY(bench->boxes.lastText().contains(bench->sim.linkPath()));
        QVERIFY(!bench->isPortOpen());
        QCOMPARE(bench->find<QPushButton>("pushButtonAutoRun70")->text(), QString("开始测量"));
        QTest::qWait(300);
        QCOMPARE(bench->boxes.boxes().size(), 1);
        // Opening the vanished port warns and stays closed.
        QVERIFY(bench->click("pushButtonUartConnect"));
        QCOMPARE(bench->boxes.boxes().size(), 2);
        QVERIFY(bench->boxes.lastText().contains(bench->sim.linkPath()) && !bench->isPortOpen());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"

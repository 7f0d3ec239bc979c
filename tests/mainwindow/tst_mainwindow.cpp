// The main window against one simulated instrument, reset between cases:
// opening at the chosen address, the line's faults on a short time-out, one
// conversation per firmware family, spectra, and a port that vanishes.
#include "windowbench.h"
#include "wire.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QtCharts/QChartView>
#include <QtCharts/QXYSeries>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int ShortTimeoutMs = 300;
const QString TimeoutWarning = QStringLiteral("消息接收超时，请检查设备连接是否正常");

QByteArray Frame(const char *hex)
{
    return Wire::withCrc(Wire::hex(hex));
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase() { bench.reset(); }
    void startUp();
    void opening_data();
    void opening();
    void faults_data();
    void faults();
    void resendCountResetsAfterAnswer();
    void conversation_data();
    void conversation();
    void spectra();
    void closingAbandonsBlockedRequest();
    void vanishedPort(); // last: it stops the simulator

private:
    QList<QJsonObject> Sent() const { return bench->sim.entries().mid(first); }
    QString Shown(const char *name) const
    {
        if (auto *label = bench->find<QLabel>(name))
            return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
        return bench->find<QLineEdit>(name)->text();
    }

    std::unique_ptr<WindowBench> bench;
    int first = 0;
};

void tst_MainWindow::initTestCase()
{
    bench =
        std::make_unique<WindowBench>(QStringList{"--calm", "--velocity", "1.5", "--level", "0.8"});
    QVERIFY(bench->isReady());
    QCOMPARE(bench->window->ResponseTimeoutMs(), 3000);
    QCOMPARE(bench->window->QuietTimeMs(), 100);
}

void tst_MainWindow::init()
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

void tst_MainWindow::startUp()
{
    auto *tabs = bench->find<QTabWidget>("tabWidget");
    QVERIFY(tabs->isTabEnabled(0) && tabs->isTabEnabled(4));
    for (int tab = 1; tab <= 3; ++tab)
        QVERIFY(!tabs->isTabEnabled(tab));
    QCOMPARE(bench->find<QComboBox>("comboBoxDevAddr")->currentText(), QStringLiteral("0x80"));
    QCOMPARE(bench->find<QPushButton>("pushButtonUartConnect")->text(), QStringLiteral("打开串口"));
    // Only ports that can be opened are listed.
    qputenv("RADARFLOW_PORTS", (bench->sim.linkPath() + ":/nonexistent/ttyX").toLocal8Bit());
    QVERIFY(bench->click("pushButtonUpdatePort"));
    auto *ports = bench->find<QComboBox>("comboBoxPort");
    QVERIFY(ports->findText(bench->sim.linkPath()) >= 0);
    QCOMPARE(ports->findText("/nonexistent/ttyX"), -1);
}

void tst_MainWindow::opening_data()
{
    QTest::addColumn<int>("simAddr");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QByteArrayList>("frames");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0x01 from the list")
        << 0x01 << "0x01" << QByteArrayList{Frame("01 03 00 24 00 01")} << "0x01";
    QTest::newRow("C0 typed without 0x")
        << 0xC0 << "C0" << QByteArrayList{Frame("C0 03 00 24 00 01")} << "C0";
    QTest::newRow("address query finds 0x0A")
        << 0x0A << "查地址"
        << QByteArrayList{Frame("FF 03 00 1C 00 01"), Frame("0A 03 00 24 00 01")} << "0x0A";
}

void tst_MainWindow::opening()
{
    QFETCH(int, simAddr);
    QFETCH(QString, chosen);
    QFETCH(QByteArrayList, frames);
    QFETCH(QString, shown);
    QVERIFY(bench->sim.command(QStringLiteral("holding 28 %1").arg(simAddr)));
    auto *addr = bench->find<QComboBox>("comboBoxDevAddr");
    addr->setEditText(chosen);
    QVERIFY(bench->openPort());
    QVERIFY(bench->sim.waitForEntries(first + frames.size()));
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(SimProcess::requestBytes(Sent().at(i)).toHex(' '), frames.at(i).toHex(' '));
    QCOMPARE(addr->currentText(), shown);

    // The line is set to 9600 8N1, no flow control.
    const int fd = ::open(qPrintable(bench->sim.linkPath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    ::close(fd);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
}

void tst_MainWindow::faults_data()
{
    // The version read at opening meets the fault. An answer that never
    // decodes is sent three times, a full time-out apart, then the port
    // closes; an exception is an answer, and nothing follows it.
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("sends"); // of the version read
    QTest::addColumn<bool>("isReadBack");
    QTest::newRow("silence") << QStringList{"silent-next 3"} << 3 << false;
    QTest::newRow("bad CRC") << QStringList{"bad-crc on"} << 3 << false;
    QTest::newRow("stray bytes before the answer") << QStringList{"stray 00 FF"} << 3 << false;
    QTest::newRow("split 250 ms: two halves") << QStringList{"split-ms 250"} << 3 << false;
    QTest::newRow("split 50 ms: one frame") << QStringList{"split-ms 50"} << 1 << true;
    QTest::newRow("one silence, then answered") << QStringList{"silent-next 1"} << 2 << true;
    QTest::newRow("exception") << QStringList{"exception 3:4"} << 1 << false;
}

void tst_MainWindow::faults()
{
    QFETCH(QStringList, commands);
    QFETCH(int, sends);
    QFETCH(bool, isReadBack);
    for (const QString &command : commands)
        QVERIFY(bench->sim.command(command));
    bench->window->SetLineTiming(ShortTimeoutMs, 100);
    QVERIFY(bench->openPort());
    if (sends == 3) {
        QVERIFY(bench->boxes.waitForBoxes(1, 10 * ShortTimeoutMs));
        QCOMPARE(bench->boxes.boxes().at(0).title, QStringLiteral("警告"));
        QCOMPARE(bench->boxes.lastText(), TimeoutWarning);
        QVERIFY(!bench->isPortOpen());
    }
    if (isReadBack)
        QTRY_VERIFY(Sent().size() > sends);
    QTest::qWait(ShortTimeoutMs + 100);
    QCOMPARE(bench->isPortOpen(), sends < 3);
    QCOMPARE(bench->boxes.boxes().size(), sends < 3 ? 0 : 1);
    const QList<QJsonObject> sent = Sent();
    QVERIFY(isReadBack ? sent.size() > sends : sent.size() == sends);
    if (isReadBack)
        QCOMPARE(SimProcess::requestBytes(sent.at(sends)), Frame("80 03 00 01 00 05"));
    // The same frame again after each time-out of its full length.
    for (int i = 0; i < sends; ++i)
        QCOMPARE(SimProcess::requestBytes(sent.at(i)), Frame("80 03 00 24 00 01"));
    for (int i = 1; i < sends; ++i) {
        const int gap = sent.at(i).value("ms").toInt() - sent.at(i - 1).value("ms").toInt();
        QVERIFY2(gap >= ShortTimeoutMs * 3 / 4 && gap < ShortTimeoutMs + 1000,
                 qPrintable(QString::number(gap)));
    }
}

void tst_MainWindow::resendCountResetsAfterAnswer()
{
    // One resend of the version read, then two of a later request: had the
    // count not been reset by the good answer between, the port would close.
    QVERIFY(bench->sim.command("silent-next 1"));
    bench->window->SetLineTiming(ShortTimeoutMs, 100);
    QVERIFY(bench->openPort());
    QVERIFY(bench->sim.waitForEntries(first + 3));
    QVERIFY(bench->sim.command("silent-next 2"));
    QTRY_COMPARE_WITH_TIMEOUT(Sent().size(), 2 + 11 + 2, 10000);
    QTest::qWait(ShortTimeoutMs + 100);
    QVERIFY(bench->isPortOpen());
    QVERIFY(bench->boxes.boxes().isEmpty());
}

void tst_MainWindow::conversation_data()
{
    // Old scaling up to V1.8: 40 registers, flow in register 4 in hundredths.
    // V4.17 reads all 101, flow in 15-16 in thousandths.
    // The river: 1.5 m/s, 0.8 m in the factory trapezoid A 2, B 4, C 2 at
    // bank coefficient 0.85: (2 + 2.8) / 2 * 0.8 * 1.5 * 0.85 = 2.448 m³/s.
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<QString>("blocks");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("V1.8") << "0x0108"
                          << "1/5 6/5 11/5 16/5 21/5 26/5 31/5 36/5"
                          << QStringList{"labelDevVersion=设备软件版本：V1.8",
                                         "lineEditDevToButtomLen=3", "curQuantity=2.45 m³/s"};
    QTest::newRow("V4.17") << "0x0411"
                           << "1/5 6/5 11/5 16/5 21/5 26/5 31/5 36/5 41/5 46/5 51/5 56/5 61/5 66/5 "
                              "71/5 76/5 81/5 86/5 91/5 96/5 101/1"
                           << QStringList{"labelDevVersion=设备软件版本：V4.17",
                                          "lineEditDevToButtomLen=3", "curQuantity=2.448 m³/s"};
}

void tst_MainWindow::conversation()
{
    QFETCH(QString, firmware);
    QFETCH(QString, blocks);
    QFETCH(QStringList, shown);
    QVERIFY(bench->sim.command("holding 36 " + firmware));
    bench->window->SetLineTiming(3000, 20);
    QVERIFY(bench->openPort());
    const int reads = blocks.count('/') + 1;
    QVERIFY(bench->settle(first + reads));
    QStringList read;
    for (const QJsonObject &entry : Sent().mid(1)) {
        const QJsonObject request = entry.value("request").toObject();
        read << QStringLiteral("%1/%2")
                    .arg(request.value("start").toInt())
                    .arg(request.value("count").toInt());
    }
    QCOMPARE(read.join(' '), blocks);

    auto *history = bench->find<QTableView>("historyTable")->model();
    const int runs = history->rowCount();
    bench->find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
    QVERIFY(bench->click("pushButtonAutoRun70"));
    QVERIFY(bench->settle(first + reads + 2, 4000));
    QVERIFY(bench->click("pushButtonAutoRun70"));
    QCOMPARE(SimProcess::requestBytes(Sent().last()), Frame("80 04 00 01 00 10"));
    QCOMPARE(Shown("curSpeed"), QStringLiteral("1.5 m/s"));
    QCOMPARE(Shown("curLevel"), QStringLiteral("0.8 m"));
    for (const QString &expected : shown)
        QCOMPARE(expected.section('=', 0, 0) + '=' + Shown(qPrintable(expected.section('=', 0, 0))),
                 expected);
    QCOMPARE(history->rowCount(), runs + 1);

    bench->find<QLineEdit>("lineEditSleepTime")->setText("15");
    QVERIFY(bench->click("pushButtonSleepTime"));
    QVERIFY(bench->sim.waitForEntries(first + reads + 3));
    QCOMPARE(SimProcess::requestBytes(Sent().last()), Frame("80 06 00 20 00 0F"));
    QTRY_COMPARE(bench->find<QStatusBar>("statusBar")->currentMessage(),
                 QStringLiteral("设置写入成功"));
    QVERIFY(bench->click("pushButtonUartConnect"));
    QVERIFY(!bench->isPortOpen());
    QVERIFY(bench->boxes.boxes().isEmpty());
}

void tst_MainWindow::spectra()
{
    QVERIFY(bench->openPort());
    QVERIFY(bench->settle(first + 12));
    const char *const buttons[] = {"pushButtonGetFreq70", "pushButtonGetFreq80"};
    const char *const views[] = {"kx70FreqChart", "kx80FreqChart"};
    const char *const requests[] = {"80 06 00 26 12 34", "80 06 00 5B 12 34"};
    for (int i = 0; i < 2; ++i) {
        QVERIFY(bench->click(buttons[i]));
        QVERIFY(!bench->find<QPushButton>(buttons[i])->isEnabled());
        QVERIFY(bench->settle(first + 13 + i));
        QTRY_VERIFY(bench->find<QPushButton>(buttons[i])->isEnabled());
        const QJsonObject entry = Sent().last();
        QCOMPARE(SimProcess::requestBytes(entry), Frame(requests[i]));
        // The amplitudes after the 8-byte echo, one point each.
        const QList<QByteArray> amplitudes =
            SimProcess::answerBytes(entry).mid(8).trimmed().split('\n');
        auto *series = qobject_cast<QtCharts::QXYSeries *>(
            bench->find<QtCharts::QChartView>(views[i])->chart()->series().value(0));
        QCOMPARE(series->count(), amplitudes.size() + 1); // and 0 on the right edge
        QCOMPARE(series->at(1).y(), amplitudes.at(1).trimmed().toDouble());
    }
    QVERIFY(bench->isPortOpen());
}

void tst_MainWindow::closingAbandonsBlockedRequest()
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
    QCOMPARE(SimProcess::requestBytes(Sent().at(1)), Frame("80 03 00 24 00 01"));
}

void tst_MainWindow::vanishedPort()
{
    QVERIFY(bench->openPort());
    QVERIFY(bench->click("pushButtonAutoRun70"));
    bench->sim.stop();
    QVERIFY(bench->boxes.waitForBoxes(1));
    QVERIFY(bench->boxes.lastText().contains(bench->sim.linkPath()));
    QVERIFY(!bench->isPortOpen());
    QCOMPARE(bench->find<QPushButton>("pushButtonAutoRun70")->text(), QStringLiteral("开始测量"));
    QTest::qWait(300);
    QCOMPARE(bench->boxes.boxes().size(), 1);

    // Opening the vanished port warns and stays closed.
    QVERIFY(bench->click("pushButtonUartConnect"));
    QCOMPARE(bench->boxes.boxes().size(), 2);
    QVERIFY(bench->boxes.lastText().contains(bench->sim.linkPath()));
    QVERIFY(!bench->isPortOpen());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"

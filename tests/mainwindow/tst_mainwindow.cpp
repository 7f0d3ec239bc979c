// The main window against the simulated instrument: start-up state, opening
// and closing the connection, frame cutting, spectra, the close question and
// the live charts over a long run.
#include "callout.h"
#include "loghandler.h"
#include "windowbench.h"
#include "wire.h"

#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QTabWidget>
#include <QValueAxis>
#include <QtTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using namespace QtCharts;

namespace {

constexpr int FuncReadHolding = 0x03;
constexpr int FuncWriteSingle = 0x06;
// Version read and the eleven read-back blocks of firmware 0x0206.
constexpr int OpeningFrames = 12;

QChart *ChartOf(WindowBench &bench, const char *view)
{
    return bench.find<QChartView>(view)->chart();
}

template <class Series> Series *SeriesOf(QChart *chart)
{
    for (QAbstractSeries *series : chart->series()) {
        if (auto *s = qobject_cast<Series *>(series))
            return s;
    }
    return nullptr;
}

QValueAxis *ValueAxis(QChart *chart, Qt::Orientation orientation)
{
    return qobject_cast<QValueAxis *>(chart->axes(orientation).value(0));
}

// The amplitudes of a spectrum text, read independently of the program.
QList<int> Amplitudes(const QByteArray &text)
{
    QList<int> values;
    for (const QByteArray &part : text.split('\n'))
        values << part.trimmed().toInt();
    return values;
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void startUpState();
    void openingReadsVersionAtChosenAddress_data();
    void openingReadsVersionAtChosenAddress();
    void addressQuery();
    void framesAreCutBySilence_data();
    void framesAreCutBySilence();
    void spectraArePlotted();
    void closeQuestionDuringRun();
    void failedOpenWarnsAndStaysClosed();
    void vanishedPortClosesOnce();
    void longRunStaysReachable();
};

void tst_MainWindow::initTestCase()
{
    qInstallMessageHandler(LogHandler::MessageHandler);
}

void tst_MainWindow::init()
{
    QFile::remove(QStringLiteral("log.txt"));
}

void tst_MainWindow::startUpState()
{
    WindowBench bench;
    QVERIFY(bench.isReady());
    auto *tabs = bench.find<QTabWidget>("tabWidget");
    QVERIFY(tabs->isTabEnabled(0));
    for (int tab = 1; tab <= 3; ++tab)
        QVERIFY(!tabs->isTabEnabled(tab));
    QVERIFY(tabs->isTabEnabled(4));
    QVERIFY(!bench.find<QPushButton>("pushButtonLogo")->isVisible());
    QVERIFY(!bench.window->menuBar()->isVisible());
    QCOMPARE(bench.find<QComboBox>("comboBoxDevAddr")->currentText(), QStringLiteral("0x80"));
    QVERIFY(bench.find<QRadioButton>("radioButtonDay")->isChecked());
    QCOMPARE(bench.find<QPushButton>("pushButtonUartConnect")->text(), QStringLiteral("打开串口"));

    // Only ports that can be opened are listed.
    const QString sep(QDir::listSeparator());
    qputenv("RADARFLOW_PORTS",
            (sep + bench.sim.linkPath() + sep + "/nonexistent/ttyX").toLocal8Bit());
    QVERIFY(bench.click("pushButtonUpdatePort"));
    auto *ports = bench.find<QComboBox>("comboBoxPort");
    QVERIFY(ports->findText(bench.sim.linkPath()) >= 0);
    QCOMPARE(ports->findText("/nonexistent/ttyX"), -1);
}

void tst_MainWindow::openingReadsVersionAtChosenAddress_data()
{
    QTest::addColumn<QString>("simAddr");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0x01 from the list") << "0x01"
                                        << "0x01" << Wire::withCrc(Wire::hex("01 03 00 24 00 01"));
    QTest::newRow("C0 typed without 0x") << "0xC0"
                                         << "C0" << Wire::withCrc(Wire::hex("C0 03 00 24 00 01"));
}

void tst_MainWindow::openingReadsVersionAtChosenAddress()
{
    QFETCH(QString, simAddr);
    QFETCH(QString, typed);
    QFETCH(QByteArray, expected);
    WindowBench bench({"--addr", simAddr});
    QVERIFY(bench.isReady());
    bench.find<QComboBox>("comboBoxDevAddr")->setEditText(typed);
    QVERIFY(bench.openPort());
    QVERIFY(bench.sim.waitForEntries(1));
    QCOMPARE(SimProcess::requestBytes(bench.sim.entries().at(0)).toHex(' '), expected.toHex(' '));

    // The line is set to 9600 8N1, no flow control.
    const int fd = ::open(qPrintable(bench.sim.linkPath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios tio{};
    QCOMPARE(tcgetattr(fd, &tio), 0);
    ::close(fd);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(cfgetispeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
}

void tst_MainWindow::addressQuery()
{
    WindowBench bench({"--addr", "0x0A"});
    QVERIFY(bench.isReady());
    auto *addr = bench.find<QComboBox>("comboBoxDevAddr");
    addr->setCurrentIndex(addr->findText(QStringLiteral("查地址")));
    QVERIFY(bench.openPort());
    QVERIFY(bench.sim.waitForEntries(2));
    const auto entries = bench.sim.entries();
    QCOMPARE(SimProcess::requestBytes(entries.at(0)),
             Wire::withCrc(Wire::hex("FF 03 00 1C 00 01")));
    QCOMPARE(SimProcess::requestBytes(entries.at(1)),
             Wire::withCrc(Wire::hex("0A 03 00 24 00 01")));
    QCOMPARE(addr->currentText(), QStringLiteral("0x0A"));
}

void tst_MainWindow::framesAreCutBySilence_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<int>("framesPerAnswer");
    QTest::newRow("50 ms apart: one frame") << 50 << 1;
    QTest::newRow("250 ms apart: two frames") << 250 << 2;
}

void tst_MainWindow::framesAreCutBySilence()
{
    QFETCH(int, gapMs);
    QFETCH(int, framesPerAnswer);
    WindowBench bench({}, {QStringLiteral("split-ms %1").arg(gapMs)});
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.sim.waitForEntries(1));
    QTest::qWait(gapMs + 600);

    QCOMPARE(WindowBench::countLogLines("Receive:") >= framesPerAnswer, true);
    if (framesPerAnswer == 1) {
        // The version was decoded: the read-back follows, no resend.
        QVERIFY(bench.sim.waitForEntries(2));
        QCOMPARE(bench.sim.entries().at(1).value("request").toObject().value("start").toInt(), 1);
        QCOMPARE(WindowBench::countLogLines("Modbus encoding exception:"), 0);
    } else {
        // Two halves, neither a valid answer: the version read waits for its resend.
        QCOMPARE(WindowBench::countLogLines("Receive:"), 2);
        QCOMPARE(WindowBench::countLogLines("Modbus encoding exception:"), 2);
        QCOMPARE(bench.sim.entries().size(), 1);
    }
}

void tst_MainWindow::spectraArePlotted()
{
    WindowBench bench;
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.settle(OpeningFrames));

    struct Case
    {
        const char *button;
        const char *view;
        int reg;
        int headroom;
    };
    const Case cases[] = {{"pushButtonGetFreq70", "kx70FreqChart", 38, 1},
                          {"pushButtonGetFreq80", "kx80FreqChart", 91, 0}};
    int frames = OpeningFrames;
    for (const Case &c : cases) {
        QVERIFY(bench.click(c.button));
        QVERIFY(!bench.find<QPushButton>(c.button)->isEnabled());
        QVERIFY(bench.settle(++frames));
        QVERIFY(QTest::qWaitFor([&] { return bench.find<QPushButton>(c.button)->isEnabled(); }));

        const QJsonObject entry = bench.sim.entries().last();
        QCOMPARE(SimProcess::requestBytes(entry),
                 Wire::withCrc(Wire::hex("80 06 00") + char(c.reg) + Wire::hex("12 34")));
        const QByteArray burst = SimProcess::answerBytes(entry);
        QVERIFY(burst.size() >= 128);
        QCOMPARE(burst.left(8), SimProcess::requestBytes(entry));
        const QByteArray text = burst.mid(8);
        const QList<int> values = Amplitudes(text);
        const int max = *std::max_element(values.begin(), values.end());

        QChart *chart = ChartOf(bench, c.view);
        auto *line = SeriesOf<QLineSeries>(chart);
        QCOMPARE(line->count(), values.size());
        QCOMPARE(line->at(0).y(), double(values.first()));
        QCOMPARE(ValueAxis(chart, Qt::Horizontal)->max(), double(text.count("\r\n")));
        QCOMPARE(ValueAxis(chart, Qt::Vertical)->max(), double(max + max / 10 + c.headroom));
    }
    QCOMPARE(WindowBench::countLogLines("Resend:"), 0);
    QVERIFY(bench.isPortOpen());
}

void tst_MainWindow::closeQuestionDuringRun()
{
    WindowBench bench;
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.click("pushButtonAutoRun70"));
    auto *run = bench.find<QPushButton>("pushButtonAutoRun70");
    QCOMPARE(run->text(), QStringLiteral("结束测量"));

    bench.boxes.setAnswer(QMessageBox::Cancel);
    QVERIFY(!bench.window->close());
    QCOMPARE(bench.boxes.boxes().size(), 1);
    QCOMPARE(bench.boxes.boxes().at(0).title, QStringLiteral("警告"));
    QCOMPARE(bench.boxes.lastText(), QStringLiteral("系统正在测量，是否退出测量并保存数据？"));
    QVERIFY(bench.window->isVisible());
    QCOMPARE(run->text(), QStringLiteral("结束测量"));

    bench.boxes.setAnswer(QMessageBox::Ok);
    QVERIFY(bench.window->close());
    QCOMPARE(run->text(), QStringLiteral("开始测量"));
}

void tst_MainWindow::failedOpenWarnsAndStaysClosed()
{
    WindowBench bench;
    QVERIFY(bench.isReady());
    auto *ports = bench.find<QComboBox>("comboBoxPort");
    ports->setCurrentIndex(ports->findText(bench.sim.linkPath()));
    bench.sim.stop();
    QVERIFY(bench.click("pushButtonUartConnect"));
    QCOMPARE(bench.boxes.boxes().size(), 1);
    QCOMPARE(bench.boxes.boxes().at(0).title, QStringLiteral("警告"));
    QVERIFY(bench.boxes.lastText().contains(bench.sim.linkPath()));
    QVERIFY(!bench.isPortOpen());
    QVERIFY(!bench.find<QTabWidget>("tabWidget")->isTabEnabled(2));
    QVERIFY(ports->isEnabled());
}

void tst_MainWindow::vanishedPortClosesOnce()
{
    WindowBench bench;
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.click("pushButtonAutoRun70"));
    bench.sim.stop();
    QVERIFY(bench.boxes.waitForBoxes(1));
    QVERIFY(bench.boxes.lastText().contains(bench.sim.linkPath()));
    QVERIFY(!bench.isPortOpen());
    QCOMPARE(bench.find<QPushButton>("pushButtonAutoRun70")->text(), QStringLiteral("开始测量"));
    QTest::qWait(500);
    QCOMPARE(bench.boxes.boxes().size(), 1);
}

void tst_MainWindow::longRunStaysReachable()
{
    WindowBench bench;
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.settle(OpeningFrames));
    bench.find<QLineEdit>("lineEditAutoRunIntvel")->setText("65535");
    QVERIFY(bench.click("pushButtonAutoRun70"));

    // Samples fed straight into the update slot, as the codec would.
    auto feed = [&](u16 speedMm) {
        QByteArray regs(32, '\0');
        regs[0] = char(speedMm >> 8);
        regs[1] = char(speedMm & 0xFF);
        ModbusRegister::SetInputRegs(regs, 1, 16);
        bench.window->InputRegisterUpdate(ptReg);
    };
    const QDateTime before = QDateTime::currentDateTime();
    feed(1234);
    const QDateTime after = QDateTime::currentDateTime();
    for (int i = 1; i < 2500; ++i)
        feed(u16(2000 + i % 500));

    QChart *chart = ChartOf(bench, "kx70MainChart");
    auto *axisX = qobject_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).value(0));
    auto *scatter = SeriesOf<QScatterSeries>(chart);
    axisX->setRange(before.addSecs(-60), QDateTime::currentDateTime().addSecs(60));
    QTest::qWait(50);

    QPointF first;
    for (const QPointF &p : scatter->points()) {
        if (qFuzzyCompare(p.y(), 1.234))
            first = p;
    }
    QVERIFY2(!first.isNull(), "the first sample is not shown when zoomed out");
    QVERIFY(first.x() >= before.toMSecsSinceEpoch() && first.x() <= after.toMSecsSinceEpoch());
    QVERIFY(scatter->count() < 2500);

    emit scatter->hovered(first, true);
    Callout *callout = nullptr;
    for (QGraphicsItem *item : chart->scene()->items()) {
        if (auto *c = dynamic_cast<Callout *>(item); c && c->parentItem() == chart)
            callout = c;
    }
    QVERIFY(callout && callout->isVisible());
    const QString time =
        QDateTime::fromMSecsSinceEpoch(qint64(first.x())).toString("yyyy-MM-dd HH:mm:ss");
    QCOMPARE(callout->text(), QStringLiteral("时间: %1 \n流速: 1.234 m/s").arg(time));
    emit scatter->hovered(first, false);
    QVERIFY(!callout->isVisible());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"

// Measurement runs in the main window: the live values, the samples of a
// run, the chain of runs at 3000 rows, and what each run leaves on disk and
// in the history.
#include "windowbench.h"

#include <QChartView>
#include <QDir>
#include <QDomDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace QtCharts;

namespace {

constexpr int FuncReadInput = 0x04;
constexpr int OpeningFrames = 12;

struct Registers
{
    u16 speed = 0, level = 0, airGap = 0, flowOld = 0;
    quint64 discharge = 0;
    u16 strength70 = 0, strength80 = 0, angle = 0, version = 0x0206;
    quint32 flowNew = 0;
};

} // namespace

Q_DECLARE_METATYPE(Registers)

namespace {

// Stores the sixteen input registers as an answer would, and hands them to
// the window's update slot as the codec would.
void Feed(WindowBench &bench, const Registers &r)
{
    const quint16 values[16] = {r.speed,
                                r.level,
                                r.airGap,
                                r.flowOld,
                                u16(r.discharge >> 32),
                                u16(r.discharge >> 16),
                                u16(r.discharge),
                                r.strength70,
                                r.strength80,
                                0,
                                0,
                                r.angle,
                                0,
                                r.version,
                                u16(r.flowNew >> 16),
                                u16(r.flowNew)};
    QByteArray bytes;
    for (quint16 v : values)
        bytes += char(v >> 8) + QByteArray(1, char(v & 0xFF));
    ModbusRegister::SetInputRegs(bytes, 1, 16);
    bench.window->InputRegisterUpdate(ptReg);
}

QString Text(WindowBench &bench, const char *label)
{
    return bench.find<QLabel>(label)->text();
}

QStringList RunFiles()
{
    QDir dir(QStringLiteral("xml"));
    QStringList files = dir.entryList({"*.xml"}, QDir::Files, QDir::Name);
    files.removeAll(QStringLiteral("excel_head.xml"));
    files.removeAll(QStringLiteral("excel_tail.xml"));
    return files;
}

// The rows of a finished file as its cell texts, and its declared row count.
QList<QStringList> FileRows(const QString &name, QString *rowCount)
{
    QFile file(QStringLiteral("xml/") + name);
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file))
        return {};
    const QDomElement table = doc.elementsByTagName("Table").at(0).toElement();
    *rowCount = table.attribute("ss:ExpandedRowCount");
    QList<QStringList> rows;
    const QDomNodeList rowNodes = table.elementsByTagName("Row");
    for (int i = 0; i < rowNodes.size(); ++i) {
        QStringList cells;
        const QDomNodeList data = rowNodes.at(i).toElement().elementsByTagName("Data");
        for (int c = 0; c < data.size(); ++c)
            cells << data.at(c).toElement().text();
        rows << cells;
    }
    return rows;
}

QAbstractItemModel *History(WindowBench &bench)
{
    return bench.find<QTableView>("historyTable")->model();
}

} // namespace

class tst_Recording : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void liveValues_data();
    void liveValues();
    void samplesOnlyWhileRunning();
    void runIsRecorded();
    void shortRunsLeaveNothing_data();
    void shortRunsLeaveNothing();
    void runsChainAt3000Rows();
    void emptyIntervalKeepsLastValid();
    void quoteInWorkingDirectory();

private:
    // Opens the port and starts a run that polls only when asked to.
    bool StartQuietRun(WindowBench &bench);
};

void tst_Recording::init()
{
    QDir(QStringLiteral("xml")).removeRecursively();
    QFile::remove(QStringLiteral("database.db"));
}

bool tst_Recording::StartQuietRun(WindowBench &bench)
{
    if (!bench.isReady() || !bench.openPort() || !bench.settle(OpeningFrames))
        return false;
    bench.find<QLineEdit>("lineEditAutoRunIntvel")->setText("65535");
    return bench.click("pushButtonAutoRun70");
}

void tst_Recording::liveValues_data()
{
    QTest::addColumn<Registers>("regs");
    QTest::addColumn<QStringList>("texts"); // speed, flow, discharge, version, angle

    Registers old;
    old.version = 0x0108;
    old.speed = 65535;
    old.flowOld = 1234;
    old.discharge = 500;
    old.angle = 1234;
    QTest::newRow("V1.8 takes register 4 and hundredths")
        << old << QStringList{"65.535 m/s", "12.34 m³/s", "5 m³", "V1.8", "12.34°"};

    Registers fresh;
    fresh.version = 0x0109;
    fresh.flowOld = 1234;
    fresh.flowNew = 100000;
    fresh.discharge = quint64(1) << 32;
    QTest::newRow("V1.9 takes registers 15-16 and thousandths")
        << fresh << QStringList{"0 m/s", "100 m³/s", "4.29497e+06 m³", "V1.9", "0°"};

    Registers v2;
    v2.version = 0x010A;
    v2.speed = 1200;
    QTest::newRow("minor version 10")
        << v2 << QStringList{"1.2 m/s", "0 m³/s", "0 m³", "V1.10", "0°"};
}

void tst_Recording::liveValues()
{
    QFETCH(Registers, regs);
    QFETCH(QStringList, texts);
    WindowBench bench;
    QVERIFY(bench.isReady());
    Feed(bench, regs);
    QCOMPARE(Text(bench, "curSpeed"), texts.at(0));
    QCOMPARE(Text(bench, "curQuantity"), texts.at(1));
    QCOMPARE(Text(bench, "dischargeCount"), texts.at(2));
    QVERIFY(Text(bench, "labelDevVersion")
                .contains(QStringLiteral("设备软件版本：") + texts.at(3) + "<"));
    QCOMPARE(Text(bench, "labelVerAngle"), texts.at(4));
}

void tst_Recording::samplesOnlyWhileRunning()
{
    WindowBench bench;
    auto *line = qobject_cast<QLineSeries *>(
        bench.find<QChartView>("kx70MainChart")->chart()->series().value(0));
    Registers r;
    r.speed = 500;
    Feed(bench, r);
    QCOMPARE(line->count(), 0);

    QVERIFY(StartQuietRun(bench));
    Feed(bench, r);
    Feed(bench, r);
    QCOMPARE(line->count(), 2);
    QVERIFY(bench.click("pushButtonAutoRun70"));

    // An answer after the stop changes the labels only.
    r.speed = 700;
    Feed(bench, r);
    QCOMPARE(Text(bench, "curSpeed"), QStringLiteral("0.7 m/s"));
    QCOMPARE(line->count(), 2);
    QCOMPARE(RunFiles().size(), 1);
    QCOMPARE(History(bench)->rowCount(), 1);

    // A start by the operator clears the charts.
    QVERIFY(bench.click("pushButtonAutoRun70"));
    QCOMPARE(line->count(), 0);
}

void tst_Recording::runIsRecorded()
{
    WindowBench bench({"--calm"});
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.settle(OpeningFrames));
    bench.find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
    QVERIFY(bench.click("pushButtonAutoRun70"));
    QVERIFY(QTest::qWaitFor([&] { return bench.requests(FuncReadInput).size() >= 3; }, 6000));
    QTest::qWait(300);
    QVERIFY(bench.click("pushButtonAutoRun70"));

    const QStringList files = RunFiles();
    QCOMPARE(files.size(), 1);
    QString rowCount;
    const QList<QStringList> rows = FileRows(files.first(), &rowCount);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rowCount, QStringLiteral("3"));
    // What was shown is what was written.
    for (const QStringList &row : rows) {
        QCOMPARE(row.size(), 8);
        QCOMPARE(row.at(1) + " m/s", Text(bench, "curSpeed"));
        QCOMPARE(row.at(2) + " m", Text(bench, "curLevel"));
        QCOMPARE(row.at(3) + " m³/s", Text(bench, "curQuantity"));
        QCOMPARE(row.at(4) + " m", Text(bench, "curKongGao"));
        QCOMPARE(row.at(6), Text(bench, "labelThreshold70"));
        QCOMPARE(row.at(7), Text(bench, "labelThreshold80"));
    }
    // The discharge grows; the file keeps all its digits, the label six.
    QCOMPARE(QString::number(rows.last().at(5).toDouble()) + " m³", Text(bench, "dischargeCount"));

    QAbstractItemModel *history = History(bench);
    QCOMPARE(history->rowCount(), 1);
    QStringList cells;
    for (int c = 0; c < history->columnCount(); ++c)
        cells << history->index(0, c).data().toString();
    QVERIFY2(cells.contains("3"), qPrintable(cells.join('|')));
    QVERIFY2(cells.contains("1.200") && cells.contains("0.800") && cells.contains("1.958"),
             qPrintable(cells.join('|')));
    QVERIFY2(cells.contains("0-0:0:2") || cells.contains("0-0:0:3") || cells.contains("0-0:0:4"),
             qPrintable(cells.join('|')));
}

void tst_Recording::shortRunsLeaveNothing_data()
{
    QTest::addColumn<int>("samples");
    QTest::newRow("no sample") << 0;
    QTest::newRow("one sample") << 1;
}

void tst_Recording::shortRunsLeaveNothing()
{
    QFETCH(int, samples);
    WindowBench bench;
    QVERIFY(StartQuietRun(bench));
    for (int i = 0; i < samples; ++i)
        Feed(bench, Registers());
    QVERIFY(bench.click("pushButtonAutoRun70"));
    QCOMPARE(RunFiles(), QStringList());
    QCOMPARE(History(bench)->rowCount(), 0);
}

void tst_Recording::runsChainAt3000Rows()
{
    WindowBench bench;
    QVERIFY(StartQuietRun(bench));
    auto *line = qobject_cast<QLineSeries *>(
        bench.find<QChartView>("kx70MainChart")->chart()->series().value(0));
    Registers r;
    for (int i = 0; i < 2999; ++i) {
        r.speed = u16(i);
        Feed(bench, r);
    }
    QCOMPARE(History(bench)->rowCount(), 0);
    r.speed = 2999;
    Feed(bench, r);
    // The 3000th sample ends the run and starts the next, charts kept.
    QCOMPARE(History(bench)->rowCount(), 1);
    QCOMPARE(bench.find<QPushButton>("pushButtonAutoRun70")->text(), QStringLiteral("结束测量"));
    QVERIFY(line->count() > 0);

    r.speed = 3000;
    Feed(bench, r);
    Feed(bench, r);
    QVERIFY(bench.click("pushButtonAutoRun70"));
    const QStringList files = RunFiles();
    QCOMPARE(files.size(), 2);
    QString rowCount;
    const QList<QStringList> first = FileRows(files.at(0), &rowCount);
    QCOMPARE(rowCount, QStringLiteral("3000"));
    QCOMPARE(first.size(), 3000);
    QCOMPARE(first.last().at(1), QStringLiteral("2.999"));
    const QList<QStringList> second = FileRows(files.at(1), &rowCount);
    QCOMPARE(rowCount, QStringLiteral("2"));
    QCOMPARE(second.first().at(1), QStringLiteral("3"));
}

void tst_Recording::emptyIntervalKeepsLastValid()
{
    WindowBench bench;
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.settle(OpeningFrames));
    auto *interval = bench.find<QLineEdit>("lineEditAutoRunIntvel");
    interval->clear();
    QVERIFY(bench.click("pushButtonAutoRun70"));
    QCOMPARE(interval->text(), QStringLiteral("2"));
    // The first poll comes one interval of 2 s after the start, not at once.
    QTest::qWait(1000);
    QCOMPARE(bench.requests(FuncReadInput).size(), 0);
    QVERIFY(QTest::qWaitFor([&] { return bench.requests(FuncReadInput).size() == 1; }, 3000));

    // Emptied while running, the old interval stays in force.
    interval->clear();
    QTest::qWait(2300);
    QCOMPARE(bench.requests(FuncReadInput).size(), 2);
    QVERIFY(bench.click("pushButtonAutoRun70"));
}

void tst_Recording::quoteInWorkingDirectory()
{
    QTemporaryDir parent;
    const QString odd = parent.path() + QStringLiteral("/it's \"here\"");
    QVERIFY(QDir().mkpath(odd));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(odd));
    {
        WindowBench bench;
        QVERIFY(StartQuietRun(bench));
        Feed(bench, Registers());
        Feed(bench, Registers());
        QVERIFY(bench.click("pushButtonAutoRun70"));
        QCOMPARE(History(bench)->rowCount(), 1);
        QCOMPARE(RunFiles().size(), 1);
    }
    QVERIFY(QDir::setCurrent(previous));
}

QTEST_MAIN(tst_Recording)
#include "tst_recording.moc"

#include "simprocess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

// Runs mbpoll once against the simulator at 9600 8N1. "-0" makes the
// reference numbers the register addresses of the frame; without it mbpoll
// counts from 1 and reference 1 would be address 0.
QMap<int, int> mbpoll(const SimProcess &sim, const QStringList &args,
                      const QStringList &writeValues = {})
{
    QProcess process;
    process.start("mbpoll", QStringList{"-m", "rtu", "-a", "128", "-b", "9600", "-d", "8", "-s",
                                        "1", "-P", "none", "-0", "-1", "-o", "2"} +
                                args + QStringList{sim.linkPath()} + writeValues);
    process.waitForFinished(10000);
    QMap<int, int> values;
    const QRegularExpression line("^\\[(\\d+)\\]:\\s+(-?\\d+)",
                                  QRegularExpression::MultilineOption);
    auto it = line.globalMatch(QString::fromLocal8Bit(process.readAllStandardOutput()));
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        values.insert(match.captured(1).toInt(), match.captured(2).toInt());
    }
    return values;
}

} // namespace

class tst_MbPoll : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsInputRegisters();
    void readsHoldingBlock();
    void writesAndReadsBack();
};

void tst_MbPoll::initTestCase()
{
    if (QStandardPaths::findExecutable("mbpoll").isEmpty())
        QSKIP("mbpoll is not installed (Debian package mbpoll); the interoperation check with "
              "an independent Modbus master is skipped");
}

void tst_MbPoll::readsInputRegisters()
{
    SimProcess sim({"--calm", "--velocity", "1.5", "--level", "0.8"});
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));

    const QMap<int, int> values = mbpoll(sim, {"-t", "3", "-r", "1", "-c", "16"});
    QCOMPARE(values.size(), 16);
    QCOMPARE(values.firstKey(), 1);
    QCOMPARE(values.value(1), 1500); // velocity, mm/s
    QCOMPARE(values.value(2), 800);  // level, mm
    QCOMPARE(values.value(3), 2200); // air gap, mm
    QCOMPARE(values.value(14), 0x0206);

    QVERIFY(sim.waitForEntries(1));
    QCOMPARE(SimProcess::requestBytes(sim.entries().at(0)),
             QByteArray::fromHex("80 04 00 01 00 10 BE 17"));
}

void tst_MbPoll::readsHoldingBlock()
{
    SimProcess sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));

    // Thresholds, filter counts and the factory trapezoid: shape, D, R, A, B, C.
    const QMap<int, int> values = mbpoll(sim, {"-t", "4", "-r", "11", "-c", "10"});
    QCOMPARE(values.keys(), (QList<int>{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
    QCOMPARE(values.values(), (QList<int>{30, 30, 10, 5, 2, 300, 50, 200, 400, 200}));
}

void tst_MbPoll::writesAndReadsBack()
{
    SimProcess sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));

    mbpoll(sim, {"-t", "4", "-r", "21"}, {"90"});
    QCOMPARE(mbpoll(sim, {"-t", "4", "-r", "21", "-c", "1"}).value(21), 90);
    QVERIFY(sim.waitForEntries(2));
    const QJsonObject write = sim.entries().at(0);
    QCOMPARE(write.value("outcome").toString(), QString("answered"));
    QCOMPARE(SimProcess::answerBytes(write).left(6), QByteArray::fromHex("80 06 00 15 00 5A"));
}

QTEST_GUILESS_MAIN(tst_MbPoll)
#include "tst_mbpoll.moc"

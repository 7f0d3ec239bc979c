// The response time-out of the serial connection against a simulated
// instrument that stays silent: resends, the give-up, and abandoning a
// request that waits for the line.
#include "loghandler.h"
#include "windowbench.h"
#include "wire.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr int FuncReadHolding = 0x03;
constexpr int FuncReadInput = 0x04;
// Three waits of 3 s and some slack.
constexpr int GiveUpMs = 11000;

int ThreadCount()
{
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

} // namespace

class tst_SerialConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInstallMessageHandler(LogHandler::MessageHandler); }
    void init() { QFile::remove(QStringLiteral("log.txt")); }
    void silenceClosesAfterTwoResends();
    void answerAfterResendResetsCount();
    void closingAbandonsBlockedRequest();
    void spectrumThatNeverComes();
};

void tst_SerialConnection::silenceClosesAfterTwoResends()
{
    WindowBench bench({"--silent-next", "3"});
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.boxes.waitForBoxes(1, GiveUpMs));
    QCOMPARE(bench.boxes.boxes().at(0).title, QStringLiteral("警告"));
    QCOMPARE(bench.boxes.lastText(), QStringLiteral("消息接收超时，请检查设备连接是否正常"));
    QVERIFY(!bench.isPortOpen());

    // The same frame three times, then nothing more.
    const auto entries = bench.sim.entries();
    QCOMPARE(entries.size(), 3);
    for (const QJsonObject &entry : entries)
        QCOMPARE(SimProcess::requestBytes(entry), Wire::withCrc(Wire::hex("80 03 00 24 00 01")));
    QCOMPARE(WindowBench::countLogLines("DEBUG|Resend: 1 "), 1);
    QCOMPARE(WindowBench::countLogLines("DEBUG|Resend: 2 "), 1);
}

void tst_SerialConnection::answerAfterResendResetsCount()
{
    WindowBench bench({"--silent-next", "1"});
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    // Version read, its resend, then the read-back.
    QVERIFY(bench.settle(13, GiveUpMs));
    QCOMPARE(WindowBench::countLogLines("Resend:"), 1);

    // Two more resends of a later request: had the count not been reset
    // after the good answer, the connection would close.
    QVERIFY(bench.sim.command("silent-next 2"));
    QVERIFY(bench.click("pushButtonAutoRun70"));
    QVERIFY(QTest::qWaitFor([&] { return bench.requests(FuncReadInput).size() >= 3; }, GiveUpMs));
    QTest::qWait(500);
    QVERIFY(bench.isPortOpen());
    QCOMPARE(bench.boxes.boxes().size(), 0);
    QVERIFY(bench.find<QLabel>("curSpeed")->text().endsWith(" m/s"));
    QVERIFY(!bench.find<QLabel>("curSpeed")->text().startsWith("-.--"));
}

void tst_SerialConnection::closingAbandonsBlockedRequest()
{
    WindowBench bench({"--silent-function", "3"});
    QVERIFY(bench.isReady());
    const int threadsBefore = ThreadCount();
    QVERIFY(bench.openPort());
    QVERIFY(bench.sim.waitForEntries(1));
    // The version read is unanswered; a spectrum request now waits for the line.
    QVERIFY(bench.click("pushButtonGetFreq80"));
    QTest::qWait(200);
    QCOMPARE(bench.sim.entries().size(), 1);

    QVERIFY(bench.click("pushButtonUartConnect"));
    QVERIFY(!bench.isPortOpen());
    QCOMPARE(ThreadCount(), threadsBefore);
    // The spectrum that was waiting is given up with the connection.
    QVERIFY(bench.find<QPushButton>("pushButtonGetFreq80")->isEnabled());

    // The next opening sends at once, although the gate was left closed.
    QVERIFY(bench.sim.command("silent-function off"));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(bench.openPort());
    QVERIFY(bench.sim.waitForEntries(2, 2000));
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(
        bench.requests(FuncReadHolding).last().value("request").toObject().value("start").toInt(),
        36);
}

void tst_SerialConnection::spectrumThatNeverComes()
{
    WindowBench bench({}, {"no-spectrum on"});
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.settle(12));
    bench.find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
    QVERIFY(bench.click("pushButtonAutoRun70"));
    QVERIFY(QTest::qWaitFor([&] { return bench.requests(FuncReadInput).size() >= 1; }));

    QVERIFY(bench.click("pushButtonGetFreq70"));
    auto *speedButton = bench.find<QPushButton>("pushButtonGetFreq70");
    QVERIFY(QTest::qWaitFor([&] { return speedButton->isEnabled(); }, GiveUpMs));
    QVERIFY(bench.find<QPushButton>("pushButtonGetFreq80")->isEnabled());
    QCOMPARE(WindowBench::countLogLines("Resend:"), 2);
    QVERIFY(bench.isPortOpen());
    QCOMPARE(bench.boxes.boxes().size(), 0);

    // The gate is open again and the run polls again.
    const int polls = bench.requests(FuncReadInput).size();
    QVERIFY(
        QTest::qWaitFor([&] { return bench.requests(FuncReadInput).size() >= polls + 2; }, 4000));
}

QTEST_MAIN(tst_SerialConnection)
#include "tst_serialconnection.moc"

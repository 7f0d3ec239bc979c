// The receive side against an instrument paced like a 9600-baud line, whose
// answers come in pieces: a whole answer is taken without waiting for the
// line to fall quiet.
#include "loghandler.h"
#include "windowbench.h"

#include <QtTest>

#include <algorithm>

namespace {

// Version read and the read-back of the settings.
constexpr int OpeningFrames = 12;
constexpr double QuietTimeMs = 100;

const QStringList PacedLine = {"--baud", "9600", "--reply-delay", "5"};

} // namespace

class tst_PacedLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInstallMessageHandler(LogHandler::MessageHandler); }
    void init() { QFile::remove(QStringLiteral("log.txt")); }
    void wholeAnswersNeedNoQuietTime();
};

void tst_PacedLink::wholeAnswersNeedNoQuietTime()
{
    WindowBench bench(PacedLine);
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    QVERIFY(bench.settle(OpeningFrames));
    const auto entries = bench.sim.entries();
    QVector<double> gaps;
    for (int i = 1; i < entries.size(); ++i)
        gaps << entries[i].value("ms").toDouble() - entries[i - 1].value("ms").toDouble();
    std::sort(gaps.begin(), gaps.end());
    // Waiting for the quiet time would put every request this far behind the last.
    QVERIFY2(gaps[gaps.size() / 2] < QuietTimeMs,
             qPrintable(QString::number(gaps[gaps.size() / 2])));
    // Every request went out once: none was refused as a bad frame and resent.
    QCOMPARE(entries.size(), OpeningFrames);
}

QTEST_MAIN(tst_PacedLink)
#include "tst_pacedlink.moc"

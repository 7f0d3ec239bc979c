// The receive side against an instrument paced like a 9600-baud line, whose
// answers come in pieces: a whole answer is taken without waiting for the
// line to fall quiet.
#include "loghandler.h"
#include "windowbench.h"

#include <QtTest>

#include <algorithm>

class tst_PacedLink : public QObject
{
    Q_OBJECT

private slots:
    void wholeAnswersNeedNoQuietTime()
    {
        qInstallMessageHandler(LogHandler::MessageHandler);
        WindowBench bench({"--baud", "9600", "--reply-delay", "5"});
        // The version read and the read-back, each request sent once: none
        // was refused as a bad frame and resent.
        QVERIFY(bench.isReady() && bench.openPort() && bench.settle(12));
        const auto entries = bench.sim.entries();
        QVector<double> gaps;
        for (int i = 1; i < entries.size(); ++i)
            gaps << entries[i].value("ms").toDouble() - entries[i - 1].value("ms").toDouble();
        std::sort(gaps.begin(), gaps.end());
        // Waiting for the 100 ms quiet time would put every request this far
        // behind the last.
        QVERIFY2(gaps[gaps.size() / 2] < 100, qPrintable(QString::number(gaps[gaps.size() / 2])));
    }
};

QTEST_MAIN(tst_PacedLink)
#include "tst_pacedlink.moc"

// The simulator against an independent Modbus master, mbpoll, at 9600 8N1.
#include "simprocess.h"

#include <QtTest>

class tst_MbPoll : public QObject
{
    Q_OBJECT

    // "-0" makes the reference numbers the register addresses of the frame.
    QMap<int, int> Poll(const QStringList &args, const QStringList &writeValues = {})
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

    SimProcess sim{{"--calm", "--velocity", "1.5", "--level", "0.8"}};

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("mbpoll").isEmpty())
            QSKIP("mbpoll is not installed (Debian package mbpoll)");
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    }

    void readsAndWrites()
    {
        // Velocity and level in mm, the air gap under D = 3 m, the firmware.
        const QMap<int, int> inputs = Poll({"-t", "3", "-r", "1", "-c", "16"});
        QCOMPARE(inputs.keys().size(), 16);
        QCOMPARE((QList<int>{inputs[1], inputs[2], inputs[3], inputs[14]}),
                 (QList<int>{1500, 800, 2200, 0x0206}));
        // Thresholds, filter counts and the factory trapezoid: shape, D, R, A, B, C.
        QCOMPARE(Poll({"-t", "4", "-r", "11", "-c", "10"}).values(),
                 (QList<int>{30, 30, 10, 5, 2, 300, 50, 200, 400, 200}));
        Poll({"-t", "4", "-r", "21"}, {"90"});
        QCOMPARE(Poll({"-t", "4", "-r", "21", "-c", "1"}).value(21), 90);
    }
};

QTEST_GUILESS_MAIN(tst_MbPoll)
#include "tst_mbpoll.moc"

// Measurement runs in one window, one after another: the live values, what
// each run leaves in its file and in the history, the chain at 3000 rows,
// and the poll interval.
#include "callout.h"
#include "runfilemaker.h"
#include "windowbench.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

class tst_Recording : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowBench> bench;
    const QStringList views{"kx70MainChart", "kx80MainChart", "kx90MainChart"};

    // The sixteen input registers stored as an answer would, handed to the
    // window's update slot as the codec would.
    void Feed(const QList<int> &regs)
    {
        QByteArray bytes;
        for (int i = 0; i < 16; ++i)
            bytes += char(regs.value(i) >> 8) + QByteArray(1, char(regs.value(i) & 0xFF));
        ModbusRegister::SetInputRegs(bytes, 1, 16);
        bench->window->InputRegisterUpdate(ptReg);
    }
    void Speeds(std::initializer_list<int> mmPerSecond)
    {
        for (int speed : mmPerSecond)
            Feed({speed, 800, 1250, 0, 1, 0, 34464, 40, 55, 0, 0, 0, 0, 0x0206, 0, 1500});
    }
    bool Run(const char *interval = "65535")
    {
        bench->find<QLineEdit>("lineEditAutoRunIntvel")->setText(interval);
        return bench->click("pushButtonAutoRun70");
    }
    // The history's newest row: start, duration, count, the three means, file.
    QStringList Newest() const
    {
        QStringList cells;
        for (int c = 1; c <= 7; ++c)
            cells << History()->index(0, c).data().toString();
        return cells;
    }
    QAbstractItemModel *History() const { return bench->find<QTableView>("historyTable")->model(); }

private slots:
    void initTestCase()
    {
        QDir("xml").removeRecursively();
        QFile::remove("database.db");
        bench = std::make_unique<WindowBench>();
        bench->window->SetLineTiming(3000, 20);
        QVERIFY(bench->sim.isReady() && bench->openPort() && bench->settle(12));
    }
    void cleanupTestCase() { bench.reset(); }

    void liveValues_data()
    {
        QTest::addColumn<QList<int>>("regs");
        QTest::addColumn<QString>("texts"); // speed, flow, discharge, angle, version
        QTest::newRow("V1.8: flow in register 4, hundredths")
            << QList<int>{65535, 0, 0, 1234, 0, 0, 500, 0, 0, 0, 0, 1234, 0, 0x0108, 0, 0}
            << "65.535 m/s|12.34 m³/s|5 m³|12.34°|设备软件版本：V1.8";
        QTest::newRow("V1.9: flow in registers 15-16, thousandths")
            << QList<int>{0, 0, 0, 1234, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x0109, 1, 34464}
            << "0 m/s|100 m³/s|4.29497e+06 m³|0°|设备软件版本：V1.9";
        QTest::newRow("minor version 10")
            << QList<int>{1200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x010A, 0, 0}
            << "1.2 m/s|0 m³/s|0 m³|0°|设备软件版本：V1.10";
    }
    void liveValues()
    {
        QFETCH(QList<int>, regs);
        QFETCH(QString, texts);
        Feed(regs);
        QCOMPARE(bench->shown("curSpeed curQuantity dischargeCount labelVerAngle labelDevVersion"),
                 texts);
    }

    void callouts()
    {
        // The hovered sample's time and value in the bubble of its chart.
        const QStringList texts{"流速: 1.5 m/s", "水位: 1.5 m", "流量: 1.5 m³/s"};
        const QPointF point(QDateTime(QDate(2024, 5, 1), QTime(8, 0, 5)).toMSecsSinceEpoch(), 1.5);
        for (int i = 0; i < 3; ++i) {
            QtCharts::QChart *chart = bench->find<QtCharts::QChartView>(views[i])->chart();
            auto *scatter = qobject_cast<QtCharts::QScatterSeries *>(chart->series().value(1));
            emit scatter->hovered(point, true);
            Callout *callout = nullptr;
            for (QGraphicsItem *item : chart->childItems())
                callout = callout ? callout : dynamic_cast<Callout *>(item);
            QCOMPARE(callout->text(), "时间: 2024-05-01 08:00:05 \n" + texts[i]);
            QVERIFY(callout->isVisible());
            emit scatter->hovered(point, false);
            QVERIFY(!callout->isVisible());
        }
    }

    void runsOneAfterAnother()
    {
        // A run of one sample leaves nothing; two are recorded.
        QVERIFY(Run());
        Speeds({900});
        QVERIFY(bench->click("pushButtonAutoRun70"));
        QCOMPARE(QDir("xml").entryList({"2*.xml"}), QStringList());
        QCOMPARE(History()->rowCount(), 0);
        // Each run starts its sums, its row count and its file name afresh,
        // also when it starts within the second the last one started.
        const QList<QList<int>> runs = {{1000, 1100, 1200}, {3000, 3500}};
        const QStringList means[] = {{"3", "1.100", "0.800", "1.500"},
                                     {"2", "3.250", "0.800", "1.500"}};
        QString lastPath;
        for (int run = 0; run < runs.size(); ++run) {
            QVERIFY(Run());
            for (int speed : runs[run])
                Speeds({speed});
            QVERIFY(bench->click("pushButtonAutoRun70"));
            // Samples after the stop change the labels only.
            Speeds({7000});
            QCOMPARE(bench->shown("curSpeed"), QStringLiteral("7 m/s"));
            // The run's samples, and only those, on the live charts.
            for (int chart = 0; chart < 3; ++chart) {
                const auto *series = qobject_cast<QtCharts::QXYSeries *>(
                    bench->find<QtCharts::QChartView>(views[chart])->chart()->series().value(0));
                QCOMPARE(series->count(), runs[run].size());
                for (int i = 0; i < series->count(); ++i)
                    QCOMPARE(series->at(i).y(),
                             (QList<double>{runs[run][i] / 1000.0, 0.8, 1.5}[chart]));
            }
            QCOMPARE(History()->rowCount(), run + 1);
            QCOMPARE(Newest().mid(2, 4), means[run]);
            // Shown, the start time whole and the file path taking what is left.
            auto *table = bench->find<QTableView>("historyTable");
            for (QWidget *page = table; page->parentWidget(); page = page->parentWidget())
                if (auto *tabs = qobject_cast<QTabWidget *>(page->parentWidget()->parentWidget()))
                    tabs->setCurrentWidget(page);
            QTRY_VERIFY(table->isVisible());
            QTRY_VERIFY2(table->columnWidth(1) >
                             table->fontMetrics().horizontalAdvance(Newest().at(0)),
                         qPrintable(QString::number(table->columnWidth(1))));
            QCOMPARE(table->horizontalHeader()->length(), table->viewport()->width());
            QVERIFY(Newest().at(6) != lastPath);
            lastPath = Newest().at(6);
            QString rowCount;
            const QList<QStringList> rows = RunFileMaker::Read(lastPath, &rowCount);
            QCOMPARE(rowCount, QString::number(runs[run].size()));
            QCOMPARE(rows.size(), runs[run].size());
            // Air gap, the discharge with every digit, and the two strengths follow.
            QCOMPARE(rows.first().mid(1),
                     (QStringList{QString::number(runs[run][0] / 1000.0), "0.8", "1.5", "1.25",
                                  "4295001.76", "40", "55"}));
        }
        QCOMPARE(QDir("xml").entryList({"2*.xml"}).size(), 2);
    }

    void runsChainAt3000Rows()
    {
        QVERIFY(Run());
        const int runs = History()->rowCount();
        for (int i = 1; i <= 2999; ++i)
            Speeds({i});
        QCOMPARE(History()->rowCount(), runs);
        // The 3000th sample ends the run and starts the next.
        Speeds({3000});
        QCOMPARE(Newest().at(2), QStringLiteral("3000"));
        const QString full = Newest().at(6);
        QString rowCount;
        QCOMPARE(RunFileMaker::Read(full, &rowCount).last().at(1), QStringLiteral("3"));
        QCOMPARE(rowCount, QStringLiteral("3000"));
        Speeds({4000, 4000});
        QVERIFY(bench->click("pushButtonAutoRun70"));
        QCOMPARE(Newest().mid(2, 2), (QStringList{"2", "4.000"}));
        QVERIFY(Newest().at(6) != full);
        QCOMPARE(RunFileMaker::Read(Newest().at(6), &rowCount).size(), 2);
        QCOMPARE(rowCount, QStringLiteral("2"));
    }

    void emptyIntervalKeepsLastValid()
    {
        // 0, 65536 and empty are refused; the last valid interval, 1 s, stays
        // in force.
        QVERIFY(Run("1") && bench->click("pushButtonAutoRun70"));
        const int polls = bench->requests(0x04).size();
        QVERIFY(Run("0") && bench->click("pushButtonAutoRun70") && Run("65536") &&
                bench->click("pushButtonAutoRun70") && Run(""));
        QCOMPARE(bench->find<QLineEdit>("lineEditAutoRunIntvel")->text(), QStringLiteral("1"));
        // The first poll comes one interval after the start, not at once.
        QTest::qWait(700);
        QCOMPARE(bench->requests(0x04).size(), polls);
        QTRY_COMPARE_WITH_TIMEOUT(bench->requests(0x04).size(), polls + 1, 1500);
    }

    // Last: it closes the window during the run the test before left going.
    void closeQuestionDuringRun()
    {
        bench->boxes.clear();
        bench->boxes.setAnswer(QMessageBox::Cancel);
        QVERIFY(!bench->window->close());
        QCOMPARE(bench->boxes.boxes().size(), 1);
        QCOMPARE(bench->boxes.boxes().at(0).title + bench->boxes.lastText(),
                 QStringLiteral("警告系统正在测量，是否退出测量并保存数据？"));
        // OK ends the run and saves it first.
        Speeds({500, 500});
        const int runs = History()->rowCount();
        bench->boxes.setAnswer(QMessageBox::Ok);
        QVERIFY(bench->window->close());
        QCOMPARE(History()->rowCount(), runs + 1);
    }
};

QTEST_MAIN(tst_Recording)
#include "tst_recording.moc"

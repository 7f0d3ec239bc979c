// A run's data out of its file: the points, time window and value ranges the
// detail dialog plots, damaged files, the hover bubble, the export and the
// whole run at a glance; the CSV from the command line. The file itself,
// written, recovered and converted: see the run-file suite.
#include "callout.h"
#include "chartview.h"
#include "detailinfo.h"
#include "filebytes.h"
#include "messageboxrecorder.h"
#include "runfilemaker.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include <ctime>

static const QString head = "time,velocity (m/s),level (m),flow (m3/s)";

class tst_DetailInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<DetailInfo> dialog;
    MessageBoxRecorder boxes;
    const QDateTime start{QDate(2017, 12, 10), QTime(10, 10)};

    struct Plot
    {
        QXYSeries *line, *dots;
        QDateTimeAxis *time;
        QValueAxis *value;
    };
    Plot View(int i) const
    {
        const char *const names[] = {"detailInfoChart70", "detailInfoChart80", "detailInfoChart90"};
        QChart *chart = dialog->findChild<ChartView *>(names[i])->chart();
        return {qobject_cast<QLineSeries *>(chart->series().value(0)),
                qobject_cast<QScatterSeries *>(chart->series().value(1)),
                qobject_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).value(0)),
                qobject_cast<QValueAxis *>(chart->axes(Qt::Vertical).value(0))};
    }
    // The numbers a chart's axes show, as drawn.
    static QStringList AxisNumbers(QChart *chart)
    {
        QStringList numbers;
        for (QGraphicsItem *item : chart->scene()->items())
            if (auto *text = dynamic_cast<QGraphicsTextItem *>(item))
                if (bool ok = false; text->toPlainText().toDouble(&ok), ok)
                    numbers << text->toPlainText();
        return numbers;
    }
    void Open(const QString &path)
    {
        boxes.clear();
        dialog = std::make_unique<DetailInfo>();
        dialog->show();
        dialog->setDetailInfoFileName(path);
    }

private slots:
    void initTestCase()
    {
        // Offsets that are not those of the machine.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        // A decimal comma where the locale is followed.
        qputenv("LC_NUMERIC", "de_DE.UTF-8");
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void plotsRows_data()
    {
        // The rows written; the points plotted, in a time window of 20 s from
        // the run's start; each value axis's top: a tenth above the maximum, or
        // 3 for a series that stayed 0. Each axis starts just below 0, labelled
        // from 0. A long
        // run opens on its last 20 s: see wholeRun. Then the warning over the
        // charts, if any ("…" between its start and its end).
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("points");
        QTest::addColumn<QList<double>>("tops");
        QTest::addColumn<QString>("warning");
        QTest::newRow("two rows 5 s apart, exponents read back")
            << RunFileMaker::Write("two.xml",
                                   {{"2017-12-10 10:10:00", "0.85", "1.2", "2"},
                                    {"2017-12-10 10:10:05", "1e-05", "0", "4.29497e+06"}})
            << 2 << QList<double>{0.935, 1.32, 4.29497e+06 * 1.1} << QString();
        QList<QStringList> damaged =
            RunFileMaker::Rows("2017-12-10 10:10:00", 6, 1, {"0.5", "0.5", "0.5"});
        damaged[1].removeLast();
        damaged[2].append("9");
        damaged[3][0] = "2017-12-10 10:1x:00";
        damaged[4][0] = "2017-12-10 10:10:60";
        damaged[5][0] = "10:10:05";
        QTest::newRow("rows short of a value or a time left out, extra values ignored")
            << RunFileMaker::Write("damaged.xml", damaged) << 2 << QList<double>{0.55, 0.55, 0.55}
            << "：4 行数据无法读取。已显示可读取的 2 行。";
        // Cut inside the fifth row's flow.
        const QString cut = RunFileMaker::Write(
            "cut.xml", RunFileMaker::Rows("2017-12-10 10:10:00", 5, 1, {"0.5", "0.5", "0"}), false);
        QFile::resize(cut, QFileInfo(cut).size() - 40);
        QTest::newRow("a file cut inside a row keeps the rows before it")
            << cut << 4 << QList<double>{0.55, 0.55, 3}
            << "：文件不完整或已损坏（…），1 行数据无法读取。已显示可读取的 4 行。";
    }
    void plotsRows()
    {
        QFETCH(QString, path);
        QFETCH(int, points);
        QFETCH(QList<double>, tops);
        QFETCH(QString, warning);
        Open(path);
        QCOMPARE(boxes.waitForBoxes(1, warning.isEmpty() ? 100 : 5000), !warning.isEmpty());
        QVERIFY2(warning.isEmpty() ||
                     (boxes.lastText().contains(path + warning.section("…", 0, 0)) &&
                      boxes.lastText().endsWith(warning.section("…", 1))),
                 qPrintable(boxes.lastText()));
        for (int i = 0; i < 3; ++i) {
            const Plot plot = View(i);
            QCOMPARE(plot.line->count(), points);
            QCOMPARE(plot.dots->pointsVector(), plot.line->pointsVector());
            QCOMPARE(plot.line->at(0).x(), double(start.toMSecsSinceEpoch()));
            QCOMPARE(plot.time->min(), start);
            QCOMPARE(plot.time->max(), start.addSecs(20));
            QCOMPARE(plot.value->min(), -0.0001);
            QCOMPARE(plot.value->max(), tops[i]);
            // Labelled from 0, not from "-0.00".
            dialog->findChild<QTabWidget *>("tabWidget")->setCurrentIndex(i);
            QTRY_VERIFY(!AxisNumbers(plot.line->chart()).isEmpty());
            const QStringList numbers = AxisNumbers(plot.line->chart());
            QVERIFY2(numbers.filter(QRegularExpression("^-")).isEmpty() &&
                         numbers.filter(QRegularExpression("^0(\\.0*)?$")).size() == 1,
                     qPrintable(numbers.join(' ')));
        }
    }

    void missingFileAndHover()
    {
        // Without its file the window starts now and the values span 0 to 3.
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        Open(dir.filePath("deleted by hand.xml"));
        QVERIFY(boxes.waitForBoxes(1));
        QCOMPARE(boxes.lastText(), "测量文件不存在：" + dir.filePath("deleted by hand.xml"));
        QVERIFY(View(1).line->count() == 0 && View(1).time->min() >= before);
        QCOMPARE(View(1).time->min().msecsTo(View(1).time->max()), 20000);
        Open(RunFileMaker::Write(
            "run.xml", RunFileMaker::Rows("2017-12-10 10:10:00", 2, 2, {"0.5", "0.5", "1.25"})));
        // Each chart's bubble names its own quantity.
        const QStringList texts{"流速: 0.5 m/s", "水位: 0.5 m", "流量: 1.25 m³/s"};
        for (int i = 0; i < 3; ++i) {
            Callout *callout = nullptr;
            for (QGraphicsItem *item : View(i).line->chart()->childItems())
                callout = callout ? callout : dynamic_cast<Callout *>(item);
            const QPointF point(double(start.addSecs(2).toMSecsSinceEpoch()), i < 2 ? 0.5 : 1.25);
            emit View(i).dots->hovered(point, true);
            QCOMPARE(callout->text(), "时间: 2017-12-10 10:10:02 \n" + texts[i]);
            QVERIFY(callout->isVisible() && callout->anchor() == point);
            emit View(i).dots->hovered(point, false);
            QVERIFY(!callout->isVisible());
        }
    }

    void exports_data()
    {
        // The file chosen in the save box (export.xls is there already and is
        // replaced once confirmed), the box after it, and what the file then
        // holds: empty for the run file's own bytes.
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("content");
        const QString done = "文件导出成功      ";
        QTest::newRow("copy") << "export.xls" << done << QByteArray();
        QTest::newRow("onto its own file") << "run.xml"
                                           << "文件导出失败      " << QByteArray();
        QTest::newRow("CSV") << "导出.csv" << done
                             << (head + "\n2017-12-10T10:10:00+01:00,0.85,1.2,4294970\n"
                                        "2017-12-10T10:10:02+01:00,1e-05,0,2\n")
                                    .toUtf8();
    }
    void exports()
    {
        QFETCH(QString, target);
        QFETCH(QString, box);
        QFETCH(QByteArray, content);
        const QString record =
            RunFileMaker::Write("run.xml", {{"2017-12-10 10:10:00", "0.85", "1.2", "4.29497e+06"},
                                            {"2017-12-10 10:10:02", "1e-05", "0", "2"}});
        const QByteArray recordBytes = FileBytes(record);
        RunFileMaker::Write("export.xls", {});
        Open(record);
        boxes.setAnswer(QMessageBox::Yes);
        QTimer::singleShot(0, this, [&] {
            QFileDialog *save = nullptr;
            QVERIFY(QTest::qWaitFor([&] { return (save = dialog->findChild<QFileDialog *>()); }));
            save->findChild<QLineEdit *>("fileNameEdit")->setText(dir.filePath(target));
            QMetaObject::invokeMethod(save, "accept");
        });
        QTest::mouseClick(dialog->findChild<QPushButton *>("ButtonExport"), Qt::LeftButton);
        QCOMPARE(boxes.lastText(), box);
        QCOMPARE(FileBytes(dir.filePath(target)), content.isEmpty() ? recordBytes : content);
    }

    void wholeRun()
    {
        // 3000 rows 2 s apart, one peak in the middle.
        QList<QStringList> rows = RunFileMaker::Rows("2017-12-10 10:10:00", 3000, 2, {});
        for (int i = 0; i < 3000; ++i)
            rows[i] << QString::number(i == 1234 ? 9.5 : i % 7 * 0.1)
                    << QString::number(1 + i % 5 * 0.01) << QString::number(i * 0.001);
        Open(RunFileMaker::Write("whole.xml", rows));
        // It opens on the last 20 s, every sample read.
        QCOMPARE(View(2).time->min(), start.addSecs(2 * 2999 - 20));
        QCOMPARE(View(2).line->count(), 3000);
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButtonWholeRun"), Qt::LeftButton);
        for (int view = 0; view < 3; ++view) {
            const Plot plot = View(view);
            QCOMPARE(plot.time->min(), start);
            QCOMPARE(plot.time->max(), start.addSecs(2 * 2999));
            const auto point = [&](int row) {
                return QPointF(start.addSecs(2 * row).toMSecsSinceEpoch(),
                               rows[row][view + 1].toDouble());
            };
            // Each chart its own column, thinned as every run series is (the
            // chart suite shows how), its ends and the peak kept.
            const QVector<QPointF> points = plot.line->pointsVector();
            QVERIFY(points.size() < 3000 && points.contains(point(0)) &&
                    points.contains(point(2999)));
            QVERIFY(view != 0 || points.contains(point(1234)));
        }
    }

    void exportCsv()
    {
        // radarflow --export-csv RUN [OUT]: the CSV on standard output; a run
        // file that is not there gives exit status 1, is named and nothing is
        // written. The rows of older, newer and damaged files: see the
        // run-file suite.
        RunFileMaker::Write("csv.xml", {{"2018-07-01 00:30:00", "1.5", "0.8", "2.4"}});
        QProcess radarflow;
        radarflow.start(RADARFLOW_PATH, {"--export-csv", "csv.xml"});
        QVERIFY(radarflow.waitForFinished(30000) && radarflow.exitCode() == 0);
        QCOMPARE(radarflow.readAllStandardOutput(),
                 (head + "\n2018-07-01T00:30:00+02:00,1.5,0.8,2.4\n").toUtf8());
        radarflow.start(RADARFLOW_PATH, {"--export-csv", "absent.xml", "x.csv"});
        QVERIFY(radarflow.waitForFinished(30000) && radarflow.exitCode() == 1);
        QVERIFY(radarflow.readAllStandardError().contains("absent.xml") && !QFile::exists("x.csv"));
    }
};

QTEST_MAIN(tst_DetailInfo)
#include "tst_detailinfo.moc"

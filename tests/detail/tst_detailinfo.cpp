// A run's data out of its file: the points, time window and value ranges the
// detail dialog plots, damaged files, the hover bubble, the export and the
// whole run at a glance; the CSV from the command line; the recorder's file,
// its number formats, its history row and templates, the recovery of a run
// left unfinished, a run that cannot open its file, and the file as
// LibreOffice opens it.
#include "callout.h"
#include "chartview.h"
#include "detailinfo.h"
#include "filebytes.h"
#include "measurementfile.h"
#include "messageboxrecorder.h"
#include "runfilemaker.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include <ctime>

using Rows = QList<QStringList>;

static const QString head = "time,velocity (m/s),level (m),flow (m3/s)";
static const QString newHead = head + ",air gap (m),discharge (m3),velocity signal strength,"
                                      "level signal strength";

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
        QVERIFY(QDir::setCurrent(dir.path()) && QDir().mkpath("测量"));
        QFile html("page.html");
        QVERIFY(html.open(QIODevice::WriteOnly) && html.write("<html>"));
    }

    void plotsRows_data()
    {
        // The rows written; the points plotted, in a time window of 20 s from
        // the run's start; each value axis's top: a tenth above the maximum, or
        // 3 for a series that stayed 0. Each axis starts just below 0. A long
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

    void exportCsv_data()
    {
        // radarflow --export-csv RUN [OUT]: the run file's rows (none: no
        // such file), OUT (empty: standard output), and what the CSV says,
        // header first (empty: exit status 1, nothing written). A four-column
        // file: see exports.
        QTest::addColumn<QString>("run");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("eight-column file, summer time, non-ASCII paths")
            << "测量/新 运行.xml"
            << Rows{{"2017-12-10 10:10:00", "1.5", "0.8", "2.4", "2.2", "4294967.296", "120", "90"},
                    {"2018-07-01 00:30:00", "1.5", "0.8", "2.4", "2.2", "4294967.5", "121", "0"}}
            << "测量/出口 1.csv"
            << QStringList{newHead, "2017-12-10T10:10:00+01:00,1.5,0.8,2.4,2.2,4294967.296,120,90",
                           "2018-07-01T00:30:00+02:00,1.5,0.8,2.4,2.2,4294967.5,121,0"};
        // A row named TZ=zone runs in that zone.
        QTest::newRow("TZ=UTC: +00:00, never Z or -00:00")
            << "utc.xml" << Rows{{"2018-07-01 00:30:00", "1", "2", "3"}} << QString()
            << QStringList{head, "2018-07-01T00:30:00+00:00,1,2,3"};
        QTest::newRow("TZ=America/St_Johns: west by hours and a half")
            << "west.xml" << Rows{{"2017-12-10 10:10:00", "1", "2", "3"}} << QString()
            << QStringList{head, "2017-12-10T10:10:00-03:30,1,2,3"};
        QTest::newRow("damaged rows: no time, short, no number, a cell too many")
            << "damaged.xml"
            << Rows{{"10:10:00", "1", "1", "1"},
                    {"2017-12-10 10:10:01", "1", "1"},
                    {"2017-12-10 10:10:02", "x", "", "1,5", "9", "inf"},
                    {"2017-12-10 10:10:03", "1", "2", "3", "4", "5", "6", "7", "8"}}
            << QString()
            << QStringList{newHead, "2017-12-10T10:10:02+01:00,,,,9,,,",
                           "2017-12-10T10:10:03+01:00,1,2,3,4,5,6,7"};
        QTest::newRow("no such file") << "absent.xml" << Rows() << "x.csv" << QStringList();
        QTest::newRow("not a run file") << "page.html" << Rows() << QString() << QStringList();
        QTest::newRow("onto the run file")
            << "self.xml" << Rows{{"2017-12-10 10:10:00", "1", "2", "3"}} << "self.xml"
            << QStringList();
    }
    void exportCsv()
    {
        QFETCH(QString, run);
        QFETCH(Rows, rows);
        QFETCH(QString, out);
        QFETCH(QStringList, lines);
        const QByteArray runBytes =
            rows.isEmpty() ? QByteArray() : FileBytes(RunFileMaker::Write(run, rows));
        QProcess radarflow;
        const QString zone = QString(QTest::currentDataTag()).section(':', 0, 0);
        qputenv("TZ", zone.startsWith("TZ=") ? zone.mid(3).toUtf8() : "Europe/Berlin");
        radarflow.start(RADARFLOW_PATH, QStringList{"--export-csv", run} +
                                            (out.isEmpty() ? QStringList() : QStringList{out}));
        QVERIFY(radarflow.waitForFinished(30000));
        QCOMPARE(radarflow.exitCode(), lines.isEmpty() ? 1 : 0);
        // A failure writes nothing, leaves the run file as it was and names it.
        const QString csv = lines.isEmpty() ? "" : lines.join('\n') + '\n';
        QCOMPARE(out.isEmpty() ? radarflow.readAllStandardOutput() : FileBytes(out),
                 out == run ? runBytes : csv.toUtf8());
        QCOMPARE(radarflow.readAllStandardError().contains(QFileInfo(run).fileName().toUtf8()),
                 lines.isEmpty());
    }

    void finishedFile()
    {
        // The recorder's file: six significant digits, an exponent from 1e6 and
        // below 1e-4. The templates come along on a machine that has no "xml"
        // folder yet. A run of one row leaves nothing: see the recording suite.
        MeasurementFile file;
        const QList<double> values{0.850, 2, 0.1234567, 4294967.295, 65535, 0.00001234, 0.0001};
        QVERIFY(file.CreateXmlFile(start));
        for (double value : values)
            QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:00", value, 1.25, 2.5, 0.75, 4294967.296,
                                         40, 55));
        // 1 day 1 h 1 min 1 s, unpadded; the means of the values as written, to
        // three decimals.
        const auto record = file.SaveXmlFile(start, start.addSecs(90061));
        QVERIFY(record);
        QCOMPARE(record->filePath, QDir::current().absoluteFilePath("xml/2017-12-10_10_10_00.xml"));
        QCOMPARE(
            QStringList({record->startTime, record->durationTime, QString::number(record->count),
                         record->min, record->max, record->average}),
            QStringList({"2017-12-10 10:10:00", "1-1:1:1", "7", "622929.711", "1.250", "2.500"}));
        // Air gap, discharge and the two strengths follow: see the recording
        // suite, which also counts the rows.
        QStringList cells;
        for (const QStringList &row : RunFileMaker::Read(record->filePath))
            cells << row.mid(1, 3).join(' ');
        QCOMPARE(cells.join('|'), QStringLiteral("0.85 1.25 2.5|2 1.25 2.5|0.123457 1.25 2.5|"
                                                 "4.29497e+06 1.25 2.5|65535 1.25 2.5|"
                                                 "1.234e-05 1.25 2.5|0.0001 1.25 2.5"));
        // Time as ticked text, never a number.
        const QByteArray xml = FileBytes(record->filePath);
        QCOMPARE(xml.count("x:Ticked=\"1\""), 7);
        QCOMPARE(xml.count("ss:Type=\"String\""), 7);
        QCOMPARE(xml.count("ss:Type=\"Number\""), 49);
        for (const QString name : {"excel_head.xml", "excel_tail.xml"})
            QCOMPARE(FileBytes("xml/" + name), FileBytes(":/templates/" + name));
    }

    void recovery_data()
    {
        // A run file as a killed program or a lost history row leaves it: rows
        // 2 s apart, the first 0.2 0.3 1.0, the others 0.5 0.6 0.7, tail or
        // not, listed in the history or not; the history row recovery makes of
        // it (count, duration, the three means of every row).
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("isFinished");
        QTest::addColumn<bool>("isListed");
        QTest::addColumn<QString>("history");
        QTest::newRow("killed after three rows")
            << 3 << false << false << "3 0-0:0:4 0.400 0.500 0.800";
        QTest::newRow("killed after two rows")
            << 2 << false << false << "2 0-0:0:2 0.350 0.450 0.850";
        QTest::newRow("killed after one row: finished, no row") << 1 << false << false << "";
        QTest::newRow("finished, never listed")
            << 3 << true << false << "3 0-0:0:4 0.400 0.500 0.800";
        QTest::newRow("finished and listed: left alone") << 3 << true << true << "";
    }
    void recovery()
    {
        QFETCH(int, rows);
        QFETCH(bool, isFinished);
        QFETCH(bool, isListed);
        QFETCH(QString, history);
        QList<QStringList> written{{"2017-12-10 10:10:00", "0.2", "0.3", "1.0"}};
        written += RunFileMaker::Rows("2017-12-10 10:10:02", rows - 1, 2, {"0.5", "0.6", "0.7"});
        const QString path = RunFileMaker::Write("2017-12-10_10_10_00.xml", written, isFinished);
        const QByteArray before = FileBytes(path);
        bool isChanged = false;
        QString error;
        const auto record = MeasurementFile::Recover(path, isListed, &isChanged, &error);
        QCOMPARE(record ? QStringList({QString::number(record->count), record->durationTime,
                                       record->min, record->max, record->average})
                              .join(' ')
                        : QString(),
                 history);
        QCOMPARE(isChanged, !isFinished);
        QString rowCount;
        QCOMPARE(RunFileMaker::Read(path, &rowCount), written);
        QCOMPARE(rowCount, isFinished ? QString("10") : QString::number(rows));
        QVERIFY(isFinished ? FileBytes(path) == before : FileBytes(path).endsWith("</Workbook>\n"));
        // The next start changes nothing.
        const QByteArray recovered = FileBytes(path);
        QVERIFY(!MeasurementFile::Recover(path, true, &isChanged, &error) && !isChanged);
        QCOMPARE(FileBytes(path), recovered);
    }

    void unopenableFile()
    {
        // A working directory that vanished: nothing can be created, even as root.
        QVERIFY(QDir().mkdir("gone") && QDir::setCurrent("gone") && QDir(dir.path()).rmdir("gone"));
        MeasurementFile file;
        QVERIFY(!file.CreateXmlFile(start) && !file.errorString().isEmpty());
        QVERIFY(!file.WriteXmlFileRow("2017-12-10 10:10:00", 1, 1, 1, 1, 1, 1, 1));
        QVERIFY(!file.SaveXmlFile(start, start.addSecs(4)));
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void opensInLibreOffice()
    {
        const QString office = QStandardPaths::findExecutable("libreoffice");
        if (office.isEmpty())
            QSKIP("libreoffice is not on PATH (Debian package libreoffice-calc-nogui)");
        MeasurementFile file;
        QVERIFY(
            file.CreateXmlFile(start) &&
            file.WriteXmlFileRow("2017-12-10 10:10:00", 0.85, 1.25, 4.5, 2.25, 12345.5, 120, 90) &&
            file.WriteXmlFileRow("2017-12-10 10:10:02", 1.5, 0, 0.02, 0.5, 12346, 121, 0) &&
            file.SaveXmlFile(start, start.addSecs(2)));
        QProcess convert;
        convert.start(office,
                      {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
                       "--convert-to", "csv", "--outdir", dir.path(), file.filePath()});
        QVERIFY(convert.waitForFinished(120000));
        // Every column, as written.
        QCOMPARE(
            QString::fromUtf8(FileBytes(QFileInfo(file.filePath()).completeBaseName() + ".csv")),
            QString("2017-12-10 10:10:00,0.85,1.25,4.5,2.25,12345.5,120,90\n"
                    "2017-12-10 10:10:02,1.5,0,0.02,0.5,12346,121,0\n"));
    }
};

QTEST_MAIN(tst_DetailInfo)
#include "tst_detailinfo.moc"

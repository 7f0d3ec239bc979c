// A run's data out of its file: the CSV from the class, the command line and
// the detail dialog, and the whole run at a glance.
#include "chartview.h"
#include "csvexport.h"
#include "detailinfo.h"
#include "messageboxrecorder.h"

#include <QApplication>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

using namespace QtCharts;
using Rows = QList<QStringList>;

namespace {

const QDateTime runStart(QDate(2017, 12, 10), QTime(10, 10, 0));
const QString head = "time,velocity (m/s),level (m),flow (m3/s)";
const QString newHead = head + ",air gap (m),discharge (m3),velocity signal strength,"
                               "level signal strength";

// A run file the way the reader sees it: rows of cells, a Data in each.
QByteArray Workbook(const Rows &rows)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<Workbook><Worksheet><Table>\n";
    for (const QStringList &row : rows)
        xml += "<Row><Cell><Data>" + row.join("</Data></Cell><Cell><Data>").toUtf8() +
               "</Data></Cell></Row>\n";
    return xml + "</Table></Worksheet></Workbook>\n";
}

QString At(int seconds)
{
    return runStart.addSecs(seconds).toString("yyyy-MM-dd HH:mm:ss");
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_RunData : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString Write(const QString &name, const QByteArray &content)
    {
        QFile file(dir.filePath(name));
        QDir().mkpath(QFileInfo(file).path());
        return file.open(QIODevice::WriteOnly) && file.write(content) ? file.fileName() : QString();
    }

private slots:
    void initTestCase()
    {
        // Offsets and number formats that are not those of the machine.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QLocale::setDefault(QLocale(QLocale::German));
    }
    void csv_data();
    void csv();
    void commandLine_data();
    void commandLine();
    void dialogExportsCsv();
    void wholeRun();
};

void tst_RunData::csv_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QStringList>("lines"); // what the CSV says, header first

    QTest::newRow("four-column file")
        << "old.xml" << Rows{{At(0), "0.85", "1.2", "4.29497e+06"}, {At(2), "1e-05", "0", "2"}}
        << QStringList{head, "2017-12-10T10:10:00+01:00,0.85,1.2,4294970",
                       "2017-12-10T10:10:02+01:00,1e-05,0,2"};
    QTest::newRow("eight-column file, summer time")
        << "new.xml"
        << Rows{{At(0), "1.5", "0.8", "2.4", "2.2", "4294967.296", "120", "90"},
                {"2018-07-01 00:30:00", "1.5", "0.8", "2.4", "2.2", "4294967.5", "121", "0"}}
        << QStringList{newHead, "2017-12-10T10:10:00+01:00,1.5,0.8,2.4,2.2,4294967.296,120,90",
                       "2018-07-01T00:30:00+02:00,1.5,0.8,2.4,2.2,4294967.5,121,0"};
    QTest::newRow("damaged rows: no time, short, no number, a cell too many")
        << "damaged.xml"
        << Rows{{"10:10:00", "1", "1", "1"},
                {At(1), "1", "1"},
                {At(2), "x", "", "1,5", "9", "inf"},
                {At(3), "1", "2", "3", "4", "5", "6", "7", "8"}}
        << QStringList{newHead, "2017-12-10T10:10:02+01:00,,,,9,,,",
                       "2017-12-10T10:10:03+01:00,1,2,3,4,5,6,7"};
    QTest::newRow("non-ASCII path") << "测量/运行 1.xml" << Rows{{At(0), "1", "2", "3"}}
                                    << QStringList{head, "2017-12-10T10:10:00+01:00,1,2,3"};
}

void tst_RunData::csv()
{
    QFETCH(QString, name);
    QFETCH(Rows, rows);
    QFETCH(QStringList, lines);
    const QString run = Write(name, Workbook(rows));
    const QString target = run + ".csv";
    CsvExport csv;
    QVERIFY2(csv.ExportFile(run, target), qPrintable(csv.errorString()));
    QCOMPARE(QString::fromUtf8(ReadAll(target)).split('\n'), lines + QStringList{QString()});
    QCOMPARE(csv.rowCount(), lines.size() - 1);
    // Never onto the run file itself.
    QVERIFY(!csv.ExportFile(run, run) && ReadAll(run) == Workbook(rows));
}

void tst_RunData::commandLine_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<QString>("out");        // empty: standard output
    QTest::addColumn<int>("exitCode");
    const QByteArray run = Workbook({{At(0), "1", "2", "3"}, {At(2), "4", "5", "6"}});
    QTest::newRow("to standard output") << run << QString() << 0;
    QTest::newRow("to a file") << run << "出口.csv" << 0;
    QTest::newRow("no such file") << QByteArray() << "x.csv" << 1;
    QTest::newRow("not a run file") << QByteArray("<html>") << QString() << 1;
}

void tst_RunData::commandLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, out);
    QFETCH(int, exitCode);
    const QString run = content.isEmpty() ? dir.filePath("absent.xml") : Write("cli.xml", content);
    QProcess radarflow;
    radarflow.start(RADARFLOW_PATH,
                    QStringList{"--export-csv", run} +
                        (out.isEmpty() ? QStringList() : QStringList{dir.filePath(out)}));
    QVERIFY(radarflow.waitForFinished(30000));
    QCOMPARE(radarflow.exitCode(), exitCode);
    const QByteArray csv = (head + "\n2017-12-10T10:10:00+01:00,1,2,3\n"
                                   "2017-12-10T10:10:02+01:00,4,5,6\n")
                               .toUtf8();
    QCOMPARE(out.isEmpty() ? radarflow.readAllStandardOutput() : ReadAll(dir.filePath(out)),
             exitCode ? QByteArray() : csv);
    // A failure names the file it could not read.
    QCOMPARE(radarflow.readAllStandardError().contains(QFileInfo(run).fileName().toUtf8()),
             exitCode != 0);
}

void tst_RunData::dialogExportsCsv()
{
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(Write("dialog.xml", Workbook({{At(0), "1", "2", "3"}})));
    MessageBoxRecorder boxes;
    QStringList filters;
    QTimer::singleShot(0, this, [&] {
        QFileDialog *save = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (save = dialog.findChild<QFileDialog *>()); }));
        filters = save->nameFilters();
        save->findChild<QLineEdit *>("fileNameEdit")->setText(dir.filePath("导出.csv"));
        QMetaObject::invokeMethod(save, "accept");
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>("ButtonExport"), Qt::LeftButton);
    QCOMPARE(filters,
             QStringList({"XML数据(*.xml)", "Excel 97-2003 工作簿(*.xls)", "CSV (*.csv)"}));
    QCOMPARE(boxes.lastText(), QStringLiteral("文件导出成功      "));
    QCOMPARE(ReadAll(dir.filePath("导出.csv")),
             (head + "\n2017-12-10T10:10:00+01:00,1,2,3\n").toUtf8());
}

void tst_RunData::wholeRun()
{
    // 3000 rows 2 s apart, one peak in the middle.
    Rows rows;
    for (int i = 0; i < 3000; ++i)
        rows.append({At(2 * i), QString::number(i == 1234 ? 9.5 : i % 7 * 0.1),
                     QString::number(1 + i % 5 * 0.01), QString::number(i * 0.001)});
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(Write("long.xml", Workbook(rows)));
    QTest::mouseClick(dialog.findChild<QPushButton *>("pushButtonWholeRun"), Qt::LeftButton);

    const QStringList views{"detailInfoChart70", "detailInfoChart80", "detailInfoChart90"};
    for (int column = 1; column <= 3; ++column) {
        QChart *chart = dialog.findChild<ChartView *>(views[column - 1])->chart();
        auto *axis = qobject_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).value(0));
        auto *line = qobject_cast<QLineSeries *>(chart->series().value(0));
        QCOMPARE(axis->min(), runStart);
        QCOMPARE(axis->max(), runStart.addSecs(2 * 2999));
        // Two points per pixel column at most (the plot is narrower than
        // 1024 pixels), the ends and the peak among them.
        QVERIFY2(line->count() <= 2 * 1024 + 6, qPrintable(QString::number(line->count())));
        const QVector<QPointF> points = line->pointsVector();
        auto point = [&](int row) {
            return QPointF(runStart.addSecs(2 * row).toMSecsSinceEpoch(),
                           rows[row][column].toDouble());
        };
        QVERIFY(points.contains(point(0)) && points.contains(point(2999)));
        QVERIFY(column != 1 || points.contains(point(1234)));
        // Zoomed in to 20 s: every sample back, with one beyond each edge.
        axis->setRange(runStart.addSecs(1000), runStart.addSecs(1020));
        QVector<QPointF> expected;
        for (int row = 499; row <= 511; ++row)
            expected.append(point(row));
        QCOMPARE(line->pointsVector(), expected);
    }
}

QTEST_MAIN(tst_RunData)
#include "tst_rundata.moc"

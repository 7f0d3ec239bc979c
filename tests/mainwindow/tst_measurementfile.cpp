#include "chartview.h"
#include "detailinfo.h"
#include "measurementfile.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QXYSeries>
#include <QXmlStreamReader>
#include <QtTest>

#include <cstdio>

namespace {

const char *const writerVariable = "TST_MEASUREMENTFILE_WRITER";
const QDateTime runStart(QDate(2017, 12, 10), QTime(10, 10, 0));

struct Sample
{
    double speed;
    double level;
    double quantity;
};

QString TimeText(int row)
{
    return runStart.addSecs(2 * row).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// What a reader of the finished file sees.
struct Table
{
    QString error;
    QString encoding;
    QString rowCount;
    QStringList columnAttributes;
    QList<QStringList> rows;
    QStringList cellLayouts; // per cell: its attributes as "name=value ..."
};

Table ReadTable(const QString &path)
{
    Table table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        table.error = file.errorString();
        return table;
    }
    QXmlStreamReader reader(&file);
    QString layout;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartDocument())
            table.encoding = reader.documentEncoding().toString();
        if (!reader.isStartElement())
            continue;
        const QString name = reader.qualifiedName().toString();
        QStringList attributes;
        for (const QXmlStreamAttribute &attribute : reader.attributes())
            attributes.append(attribute.qualifiedName() + "=" + attribute.value());
        attributes.sort();
        if (name == QLatin1String("Table")) {
            table.rowCount = reader.attributes().value("ss:ExpandedRowCount").toString();
        } else if (name == QLatin1String("Column")) {
            table.columnAttributes = attributes;
        } else if (name == QLatin1String("Row")) {
            table.rows.append(QStringList());
        } else if (name == QLatin1String("Cell")) {
            layout = attributes.join(' ');
        } else if (name == QLatin1String("Data")) {
            table.cellLayouts.append(layout + "|" + attributes.join(' '));
            table.rows.last().append(reader.readElementText());
        }
    }
    if (reader.hasError())
        table.error = reader.errorString();
    return table;
}

QStringList RunFiles()
{
    return QDir(QStringLiteral("xml")).entryList({"20*.xml"}, QDir::Files, QDir::Name);
}

// The writer of a run the parent test kills: prints the file's path once
// the rows are written, then waits to be killed.
int RunKilledWriter(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!QDir::setCurrent(qEnvironmentVariable(writerVariable)))
        return 2;
    MeasurementFile file;
    if (!file.CreateXmlFile(runStart))
        return 3;
    for (int row = 0; row < 5; ++row)
        file.WriteXmlFileRow(TimeText(row), 0.5 + row, 1.25, 2.5);
    std::printf("%s\n", qPrintable(file.filePath()));
    std::fflush(stdout);
    QThread::sleep(60);
    return 4;
}

} // namespace

class tst_MeasurementFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void numbersOnDisk_data();
    void numbersOnDisk();
    void finishedFile_data();
    void finishedFile();
    void shortRunsLeaveNothing_data();
    void shortRunsLeaveNothing();
    void durationAndMeans_data();
    void durationAndMeans();
    void templatesInstalled();
    void neverAppendsToAnotherRun();
    void unopenableFile();
    void opensInLibreOffice();
    void killedWriterLeavesReadableRows();

private:
    std::optional<HistoryRecord> Record(const QList<Sample> &samples, qint64 seconds = 10);

    std::unique_ptr<QTemporaryDir> dir;
    QString startDir;
};

void tst_MeasurementFile::init()
{
    startDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_MeasurementFile::cleanup()
{
    QDir::setCurrent(startDir);
}

std::optional<HistoryRecord> tst_MeasurementFile::Record(const QList<Sample> &samples,
                                                         qint64 seconds)
{
    MeasurementFile file;
    if (!file.CreateXmlFile(runStart))
        return std::nullopt;
    double sums[3] = {0, 0, 0};
    for (int row = 0; row < samples.size(); ++row) {
        const Sample &s = samples[row];
        file.WriteXmlFileRow(TimeText(row), s.speed, s.level, s.quantity);
        sums[0] += s.speed;
        sums[1] += s.level;
        sums[2] += s.quantity;
    }
    return file.SaveXmlFile(runStart, runStart.addSecs(seconds), sums[0], sums[1], sums[2]);
}

void tst_MeasurementFile::numbersOnDisk_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.5") << 1.5 << "1.5";
    QTest::newRow("trailing zeros dropped") << 0.850 << "0.85";
    QTest::newRow("integral") << 2.0 << "2";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("six significant digits") << 0.1234567 << "0.123457";
    QTest::newRow("1.2345678") << 1.2345678 << "1.23457";
    QTest::newRow("exponent from 1e6") << 4294967.295 << "4.29497e+06";
    QTest::newRow("no exponent below 1e6") << 65535.0 << "65535";
    QTest::newRow("exponent below 1e-4") << 0.00001234 << "1.234e-05";
    QTest::newRow("no exponent at 1e-4") << 0.0001 << "0.0001";
}

void tst_MeasurementFile::numbersOnDisk()
{
    QFETCH(double, value);
    QFETCH(QString, text);

    const auto record = Record({{value, 0.5, 0.5}, {0.5, value, value}});
    QVERIFY(record);
    const Table table = ReadTable(record->filePath);
    QVERIFY2(table.error.isEmpty(), qPrintable(table.error));
    QCOMPARE(table.rows.size(), 2);
    QCOMPARE(table.rows[0][1], text);
    QCOMPARE(table.rows[1][2], text);
    QCOMPARE(table.rows[1][3], text);
}

void tst_MeasurementFile::finishedFile_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("two samples") << 2;
    QTest::newRow("ten samples, the placeholder count") << 10;
    QTest::newRow("a full file of 3000") << 3000;
}

void tst_MeasurementFile::finishedFile()
{
    QFETCH(int, rows);

    QList<Sample> samples;
    for (int row = 0; row < rows; ++row)
        samples.append({0.001 * row, 1.25, 2.5});
    const auto record = Record(samples);
    QVERIFY(record);

    const QString path = QDir::current().absoluteFilePath("xml/2017-12-10_10_10_00.xml");
    QCOMPARE(record->filePath, path);
    QCOMPARE(record->startTime, QStringLiteral("2017-12-10 10:10:00"));
    QCOMPARE(record->count, rows);

    const Table table = ReadTable(path);
    QVERIFY2(table.error.isEmpty(), qPrintable(table.error));
    QCOMPARE(table.encoding, QStringLiteral("UTF-8"));
    QCOMPARE(table.rowCount, QString::number(rows));
    QCOMPARE(table.columnAttributes, QStringList({"ss:AutoFitWidth=0", "ss:Width=150"}));
    QCOMPARE(table.rows.size(), rows);
    for (int row = 0; row < rows; ++row) {
        const QStringList expected = {TimeText(row), QString::number(0.001 * row, 'g', 6), "1.25",
                                      "2.5"};
        QCOMPARE(table.rows[row], expected);
    }
    // Time as ticked text, never a number; no style or index on any cell.
    QCOMPARE(table.cellLayouts.mid(0, 4),
             QStringList({"|ss:Type=String x:Ticked=1", "|ss:Type=Number", "|ss:Type=Number",
                          "|ss:Type=Number"}));
    QStringList layouts = table.cellLayouts;
    layouts.removeDuplicates();
    QCOMPARE(layouts.size(), 2);
}

void tst_MeasurementFile::shortRunsLeaveNothing_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("stopped before the first sample") << 0;
    QTest::newRow("stopped after one sample") << 1;
}

void tst_MeasurementFile::shortRunsLeaveNothing()
{
    QFETCH(int, rows);
    QList<Sample> samples;
    for (int row = 0; row < rows; ++row)
        samples.append({0.5, 0.5, 0.5});
    QVERIFY(!Record(samples));
    QCOMPARE(RunFiles(), QStringList());
}

void tst_MeasurementFile::durationAndMeans_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QList<double>>("speeds");
    QTest::addColumn<QString>("speedMean");

    QTest::newRow("10:10:00 to 10:22:34")
        << qint64(754) << "0-0:12:34" << QList<double>{0.8, 0.9} << "0.850";
    QTest::newRow("1 day 1 h 1 min 1 s")
        << qint64(90061) << "1-1:1:1" << QList<double>{0, 0, 0} << "0.000";
    QTest::newRow("three decimals, rounded")
        << qint64(59) << "0-0:0:59" << QList<double>{1.2344, 1.2346, 1.2346} << "1.235";
}

void tst_MeasurementFile::durationAndMeans()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, duration);
    QFETCH(QList<double>, speeds);
    QFETCH(QString, speedMean);

    QList<Sample> samples;
    for (double speed : speeds)
        samples.append({speed, 1.0, 65.535});
    const auto record = Record(samples, seconds);
    QVERIFY(record);
    QCOMPARE(record->durationTime, duration);
    QCOMPARE(record->min, speedMean);
    QCOMPARE(record->max, QStringLiteral("1.000"));
    QCOMPARE(record->average, QStringLiteral("65.535"));
}

void tst_MeasurementFile::templatesInstalled()
{
    // A fresh machine: no "xml" folder, no templates.
    QVERIFY(Record({{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}));
    for (const QString name : {"excel_head.xml", "excel_tail.xml"}) {
        QFile installed("xml/" + name);
        QFile shipped(":/templates/" + name);
        QVERIFY(installed.open(QIODevice::ReadOnly));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        QCOMPARE(installed.readAll(), shipped.readAll());
    }

    // A head the operator changed is used as it is.
    QFile head("xml/excel_head.xml");
    QVERIFY(head.open(QIODevice::ReadWrite));
    QByteArray text = head.readAll().replace("Sheet1", "Channel 4");
    head.resize(0);
    head.write(text);
    head.close();
    QFile::remove(QStringLiteral("xml/2017-12-10_10_10_00.xml"));
    const auto record = Record({{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}});
    QVERIFY(record);
    QFile file(record->filePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("ss:Name=\"Channel 4\""));
    QVERIFY(ReadTable(record->filePath).error.isEmpty());
}

void tst_MeasurementFile::neverAppendsToAnotherRun()
{
    // Two runs in one second: the restart after a full file.
    const auto first = Record({{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}});
    const auto second = Record({{1.5, 1.5, 1.5}, {1.5, 1.5, 1.5}, {1.5, 1.5, 1.5}});
    QVERIFY(first && second);
    QVERIFY(first->filePath != second->filePath);
    QCOMPARE(RunFiles().size(), 2);
    QCOMPARE(ReadTable(first->filePath).rows.size(), 2);
    QCOMPARE(ReadTable(second->filePath).rows.size(), 3);
    QCOMPARE(ReadTable(second->filePath).rowCount, QStringLiteral("3"));
}

void tst_MeasurementFile::unopenableFile()
{
    // A working directory that vanished: nothing can be created, even as root.
    QVERIFY(QDir().mkdir(QStringLiteral("gone")));
    QVERIFY(QDir::setCurrent(QStringLiteral("gone")));
    QVERIFY(QDir(dir->path()).rmdir(QStringLiteral("gone")));

    MeasurementFile file;
    QVERIFY(!file.CreateXmlFile(runStart));
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(!file.isRecording());
    QVERIFY(!file.WriteXmlFileRow(TimeText(0), 1, 1, 1));
    QVERIFY(!file.WriteXmlFileRow(TimeText(1), 1, 1, 1));
    QCOMPARE(file.rowCount(), 0);
    QVERIFY(!file.SaveXmlFile(runStart, runStart.addSecs(4), 2, 2, 2));
}

void tst_MeasurementFile::opensInLibreOffice()
{
    const QString office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (office.isEmpty())
        QSKIP("libreoffice is not on PATH (Debian package libreoffice-calc-nogui)");

    const QList<Sample> samples = {{0.85, 1.2345678, 4294967.295}, {1.5, 0, 0.00001234}};
    const auto record = Record(samples);
    QVERIFY(record);

    QProcess process;
    process.start(office, {"-env:UserInstallation=file://" + dir->filePath("profile"), "--headless",
                           "--convert-to", "csv", "--outdir", dir->path(), record->filePath});
    QVERIFY(process.waitForFinished(120000));
    QFile csv(dir->filePath("2017-12-10_10_10_00.csv"));
    QVERIFY2(csv.open(QIODevice::ReadOnly | QIODevice::Text),
             process.readAllStandardError().constData());
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), samples.size());
    for (int row = 0; row < samples.size(); ++row) {
        const QStringList cells = lines[row].split(',');
        QCOMPARE(cells.size(), 4);
        QCOMPARE(cells[0], TimeText(row));
        const double values[] = {samples[row].speed, samples[row].level, samples[row].quantity};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(cells[i + 1].toDouble(), QString::number(values[i], 'g', 6).toDouble());
    }
}

void tst_MeasurementFile::killedWriterLeavesReadableRows()
{
    QProcess writer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(writerVariable), dir->path());
    writer.setProcessEnvironment(environment);
    writer.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(writer.waitForReadyRead(10000));
    const QString path = QString::fromLocal8Bit(writer.readLine()).trimmed();
    writer.kill(); // SIGKILL: nothing of the writer runs after this
    QVERIFY(writer.waitForFinished(10000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

    const Table table = ReadTable(path);
    QVERIFY(!table.error.isEmpty()); // cut short: no end of table, no tail
    QCOMPARE(table.rows.size(), 5);

    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(path);
    auto *view = dialog.findChild<ChartView *>(QStringLiteral("detailInfoChart70"));
    auto *series = qobject_cast<QtCharts::QXYSeries *>(view->chart()->series().value(0));
    QVERIFY(series);
    QCOMPARE(series->count(), 5);
    QCOMPARE(series->at(4), QPointF(runStart.addSecs(8).toMSecsSinceEpoch(), 4.5));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(writerVariable))
        return RunKilledWriter(argc, argv);
    QApplication app(argc, argv);
    tst_MeasurementFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_measurementfile.moc"

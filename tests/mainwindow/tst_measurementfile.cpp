// The measurement file on disk: cell layout and number formats, the row
// count, the history row, the templates, a run that cannot open its file, a
// spreadsheet program's view of it, and what a killed writer leaves behind.
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

#include <array>
#include <cstdio>

namespace {

const char *const writerVariable = "TST_MEASUREMENTFILE_WRITER";
const QDateTime runStart(QDate(2017, 12, 10), QTime(10, 10, 0));

using Sample = std::array<double, 3>; // velocity, level, flow
// Air gap, discharge and the two strengths every row of Record() carries, as
// written: the discharge keeps all its digits.
const QStringList extras = {"0.75", "4294967.296", "40", "55"};

QString TimeText(int row)
{
    return runStart.addSecs(2 * row).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// What a reader of the file sees; error is empty when it is well-formed.
struct Table
{
    QString error, rowCount, column;
    QList<QStringList> rows;
    QStringList cellLayouts; // per cell: "<Cell attributes>|<Data attributes>"
};

QString Attributes(const QXmlStreamReader &reader)
{
    QStringList attributes;
    for (const QXmlStreamAttribute &attribute : reader.attributes())
        attributes.append(attribute.qualifiedName() + "=" + attribute.value());
    attributes.sort();
    return attributes.join(' ');
}

Table ReadTable(const QString &path)
{
    Table table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        table.error = file.errorString();
        return table;
    }
    QXmlStreamReader reader(&file);
    QString cellLayout;
    while (!reader.atEnd()) {
        reader.readNext();
        const QStringRef name = reader.isStartElement() ? reader.qualifiedName() : QStringRef();
        if (name == QLatin1String("Table")) {
            table.rowCount = reader.attributes().value("ss:ExpandedRowCount").toString();
        } else if (name == QLatin1String("Column")) {
            table.column = Attributes(reader);
        } else if (name == QLatin1String("Row")) {
            table.rows.append(QStringList());
        } else if (name == QLatin1String("Cell")) {
            cellLayout = Attributes(reader);
        } else if (name == QLatin1String("Data")) {
            table.cellLayouts.append(cellLayout + "|" + Attributes(reader));
            table.rows.last().append(reader.readElementText());
        }
    }
    table.error = reader.errorString();
    return table;
}

std::optional<HistoryRecord> Record(const QList<Sample> &samples, qint64 seconds = 10)
{
    MeasurementFile file;
    if (!file.CreateXmlFile(runStart))
        return std::nullopt;
    for (int row = 0; row < samples.size(); ++row) {
        const Sample &s = samples[row];
        file.WriteXmlFileRow(TimeText(row), s[0], s[1], s[2], 0.75, 4294967.296, 40, 55);
    }
    return file.SaveXmlFile(runStart, runStart.addSecs(seconds));
}

const QList<Sample> twoSamples = {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}};

// The writer the parent test kills: prints the file's path once the rows are
// written, then waits.
int RunKilledWriter(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!QDir::setCurrent(qEnvironmentVariable(writerVariable)))
        return 2;
    MeasurementFile file;
    if (!file.CreateXmlFile(runStart))
        return 3;
    for (int row = 0; row < 5; ++row)
        file.WriteXmlFileRow(TimeText(row), 0.5 + row, 1.25, 2.5, 1, 2, 3, 4);
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
    void cleanup() { QDir::setCurrent(startDir); }
    void finishedFile_data();
    void finishedFile();
    void durationAndMeans();
    void templatesInstalled();
    void secondRunInTheSameSecond();
    void unopenableFile();
    void opensInLibreOffice();
    void killedWriterLeavesReadableRows();

private:
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

void tst_MeasurementFile::finishedFile_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("trailing zeros dropped") << 0.850 << "0.85";
    QTest::newRow("integral") << 2.0 << "2";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("six significant digits") << 0.1234567 << "0.123457";
    QTest::newRow("exponent from 1e6") << 4294967.295 << "4.29497e+06";
    QTest::newRow("no exponent below 1e6") << 65535.0 << "65535";
    QTest::newRow("exponent below 1e-4") << 0.00001234 << "1.234e-05";
    QTest::newRow("no exponent at 1e-4") << 0.0001 << "0.0001";
}

void tst_MeasurementFile::finishedFile()
{
    QFETCH(double, value);
    QFETCH(QString, text);

    // Two rows: fewer than the placeholder count of 10 the table starts with.
    const auto record = Record({{value, 1.25, 2.5}, {0.5, value, value}});
    QVERIFY(record);
    const QString path = QDir::current().absoluteFilePath("xml/2017-12-10_10_10_00.xml");
    QCOMPARE(record->filePath, path);
    QCOMPARE(record->startTime, QStringLiteral("2017-12-10 10:10:00"));

    const Table table = ReadTable(path);
    QVERIFY2(table.error.isEmpty(), qPrintable(table.error));
    QCOMPARE(table.rowCount, QStringLiteral("2"));
    QCOMPARE(table.column, QStringLiteral("ss:AutoFitWidth=0 ss:Width=150"));
    QCOMPARE(table.rows,
             QList<QStringList>({QStringList{TimeText(0), text, "1.25", "2.5"} + extras,
                                 QStringList{TimeText(1), "0.5", text, text} + extras}));
    // Time as ticked text, never a number; no style or index on any cell.
    const QString number = QStringLiteral("|ss:Type=Number");
    const QStringList rowLayout = {
        "|ss:Type=String x:Ticked=1", number, number, number, number, number, number, number};
    QCOMPARE(table.cellLayouts, rowLayout + rowLayout);
}

void tst_MeasurementFile::durationAndMeans()
{
    // 1 day 1 h 1 min 1 s, unpadded; the history keeps the means of velocity,
    // level and flow, to three decimals, in min, max and average.
    const auto record =
        Record({{1.2344, 1.0, 65.535}, {1.2346, 1.0, 65.535}, {1.2346, 1.0, 65.535}}, 90061);
    QVERIFY(record);
    QCOMPARE(record->count, 3);
    QCOMPARE(record->durationTime, QStringLiteral("1-1:1:1"));
    QCOMPARE(record->min, QStringLiteral("1.235"));
    QCOMPARE(record->max, QStringLiteral("1.000"));
    QCOMPARE(record->average, QStringLiteral("65.535"));
}

void tst_MeasurementFile::templatesInstalled()
{
    // A fresh machine: no "xml" folder, no templates.
    QVERIFY(Record(twoSamples));
    for (const QString name : {"excel_head.xml", "excel_tail.xml"}) {
        QFile installed("xml/" + name);
        QFile shipped(":/templates/" + name);
        QVERIFY(installed.open(QIODevice::ReadOnly) && shipped.open(QIODevice::ReadOnly));
        QCOMPARE(installed.readAll(), shipped.readAll());
    }
}

void tst_MeasurementFile::secondRunInTheSameSecond()
{
    // The restart after a full file: a name of its own, never an append.
    const auto first = Record(twoSamples);
    QVERIFY(first);
    // A head the operator changed is used as it is.
    QFile head("xml/excel_head.xml");
    QVERIFY(head.open(QIODevice::ReadWrite));
    const QByteArray text = head.readAll().replace("Sheet1", "Channel 4");
    QVERIFY(head.seek(0) && head.write(text) == text.size()); // longer than before
    head.close();

    const auto second = Record({{1.5, 1.5, 1.5}, {1.5, 1.5, 1.5}, {1.5, 1.5, 1.5}});
    QVERIFY(second && second->filePath != first->filePath);
    QCOMPARE(ReadTable(first->filePath).rows.size(), 2);
    const Table table = ReadTable(second->filePath);
    QVERIFY2(table.error.isEmpty(), qPrintable(table.error));
    QCOMPARE(table.rows.size(), 3);
    QCOMPARE(table.rowCount, QStringLiteral("3"));
    QFile file(second->filePath);
    QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll().contains("ss:Name=\"Channel 4\""));
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
    QVERIFY(!file.WriteXmlFileRow(TimeText(0), 1, 1, 1, 1, 1, 1, 1));
    QVERIFY(!file.WriteXmlFileRow(TimeText(1), 1, 1, 1, 1, 1, 1, 1));
    QCOMPARE(file.rowCount(), 0);
    QVERIFY(!file.SaveXmlFile(runStart, runStart.addSecs(4)));
}

void tst_MeasurementFile::opensInLibreOffice()
{
    const QString office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (office.isEmpty())
        QSKIP("libreoffice is not on PATH (Debian package libreoffice-calc-nogui)");

    const auto record = Record({{0.85, 1.2345678, 4294967.295}, {1.5, 0, 0.00001234}});
    QVERIFY(record);
    QProcess process;
    process.start(office, {"-env:UserInstallation=file://" + dir->filePath("profile"), "--headless",
                           "--convert-to", "csv", "--outdir", dir->path(), record->filePath});
    QVERIFY(process.waitForFinished(120000));
    QFile csv(dir->filePath("2017-12-10_10_10_00.csv"));
    QVERIFY2(csv.open(QIODevice::ReadOnly | QIODevice::Text),
             process.readAllStandardError().constData());
    // The values as written, six significant digits; its own number format
    // is LibreOffice's business.
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    const QList<QList<double>> values = {{0.85, 1.23457, 4.29497e+06}, {1.5, 0, 1.234e-05}};
    QCOMPARE(lines.size(), 2);
    for (int row = 0; row < 2; ++row) {
        const QStringList cells = lines[row].split(',');
        QCOMPARE(cells.size(), 8); // every column, none cut off by the table's column count
        QCOMPARE(cells[0], TimeText(row));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(cells[i + 1].toDouble(), values[row][i]);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(cells[i + 4].toDouble(), extras[i].toDouble());
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

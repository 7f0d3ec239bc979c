// The measurement file on disk: number formats, the row count, the history
// row, the templates, and a run that cannot open its file.
#include "measurementfile.h"
#include "runfile.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDateTime runStart(QDate(2017, 12, 10), QTime(10, 10, 0));

} // namespace

class tst_MeasurementFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir->path()));
    }
    void finishedFile_data();
    void finishedFile();
    void durationAndMeans();
    void unopenableFile();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_MeasurementFile::finishedFile_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("trailing zeros dropped") << 0.850 << "0.85";
    QTest::newRow("integral") << 2.0 << "2";
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
    // Two rows: fewer than the placeholder count of 10 the table starts with;
    // the templates come along on a machine that has no "xml" folder yet.
    MeasurementFile file;
    QVERIFY(file.CreateXmlFile(runStart));
    QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:00", value, 1.25, 2.5));
    QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:02", 0.5, value, value));
    const auto record = file.SaveXmlFile(runStart, runStart.addSecs(10), 1, 1, 1);
    QVERIFY(record);
    QCOMPARE(record->filePath, QDir::current().absoluteFilePath("xml/2017-12-10_10_10_00.xml"));
    QCOMPARE(record->startTime, QStringLiteral("2017-12-10 10:10:00"));
    QString rowCount;
    QCOMPARE(RunFile::Read(record->filePath, &rowCount),
             (QList<QStringList>{{"2017-12-10 10:10:00", text, "1.25", "2.5"},
                                 {"2017-12-10 10:10:02", "0.5", text, text}}));
    QCOMPARE(rowCount, QStringLiteral("2"));
    // Time as ticked text, never a number.
    QFile written(record->filePath);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray xml = written.readAll();
    QCOMPARE(xml.count("<Data ss:Type=\"String\" x:Ticked=\"1\">"), 2);
    QCOMPARE(xml.count("<Data ss:Type=\"Number\">"), 6);
    for (const QString name : {"excel_head.xml", "excel_tail.xml"}) {
        QFile installed("xml/" + name), shipped(":/templates/" + name);
        QVERIFY(installed.open(QIODevice::ReadOnly) && shipped.open(QIODevice::ReadOnly));
        QCOMPARE(installed.readAll(), shipped.readAll());
    }
}

void tst_MeasurementFile::durationAndMeans()
{
    // 1 day 1 h 1 min 1 s, unpadded; the means of velocity, level and flow to
    // three decimals, in min, max and average. One row is no run.
    MeasurementFile file;
    QVERIFY(file.CreateXmlFile(runStart));
    QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:00", 1.2344, 1.0, 65.535));
    QVERIFY(!file.SaveXmlFile(runStart, runStart.addSecs(5), 1.2344, 1.0, 65.535));
    QVERIFY(file.CreateXmlFile(runStart));
    for (int row = 0; row < 3; ++row)
        QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:00", 1.0, 1.0, 1.0));
    const auto record = file.SaveXmlFile(runStart, runStart.addSecs(90061), 3.7036, 3.0, 196.605);
    QVERIFY(record);
    QCOMPARE(record->count, 3);
    QCOMPARE(record->durationTime, QStringLiteral("1-1:1:1"));
    QCOMPARE(record->min, QStringLiteral("1.235"));
    QCOMPARE(record->max, QStringLiteral("1.000"));
    QCOMPARE(record->average, QStringLiteral("65.535"));
    QCOMPARE(QDir("xml").entryList({"2*.xml"}), QStringList{"2017-12-10_10_10_00.xml"});
}

void tst_MeasurementFile::unopenableFile()
{
    // A working directory that vanished: nothing can be created, even as root.
    QVERIFY(QDir().mkdir("gone") && QDir::setCurrent("gone"));
    QVERIFY(QDir(dir->path()).rmdir("gone"));
    MeasurementFile file;
    QVERIFY(!file.CreateXmlFile(runStart));
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(!file.WriteXmlFileRow("2017-12-10 10:10:00", 1, 1, 1));
    QCOMPARE(file.rowCount(), 0);
    QVERIFY(!file.SaveXmlFile(runStart, runStart.addSecs(4), 2, 2, 2));
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
}

QTEST_MAIN(tst_MeasurementFile)
#include "tst_measurementfile.moc"

// The measurement file on disk: number formats, the history row, the templates, and a run that
// cannot open its file.
#include "filebytes.h"
#include "measurementfile.h"
#include "runfilemaker.h"

#include <QtTest>

class tst_MeasurementFile : public QObject
{
    Q_OBJECT

    const QDateTime runStart{QDate(2017, 12, 10), QTime(10, 10, 0)};
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir->path()));
    }

    void finishedFile()
    {
        // Six significant digits, an exponent from 1e6 and below 1e-4. The
        // templates come along on a machine that has no "xml" folder yet. A
        // run of one row leaves nothing: see the recording suite.
        MeasurementFile file;
        const QList<double> values{0.850, 2, 0.1234567, 4294967.295, 65535, 0.00001234, 0.0001};
        QVERIFY(file.CreateXmlFile(runStart));
        for (double value : values)
            QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:00", value, 1.25, 2.5, 0.75, 4294967.296,
                                         40, 55));
        // 1 day 1 h 1 min 1 s, unpadded; the means of the values as written, to
        // three decimals.
        const auto record = file.SaveXmlFile(runStart, runStart.addSecs(90061));
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
        for (const QString name : {"excel_head.xml", "excel_tail.xml"}) {
            QCOMPARE(FileBytes("xml/" + name), FileBytes(":/templates/" + name));
        }
    }

    void unopenableFile()
    {
        // A working directory that vanished: nothing can be created, even as root.
        QVERIFY(QDir().mkdir("gone") && QDir::setCurrent("gone") &&
                QDir(dir->path()).rmdir("gone"));
        MeasurementFile file;
        QVERIFY(!file.CreateXmlFile(runStart) && !file.errorString().isEmpty());
        QVERIFY(!file.WriteXmlFileRow("2017-12-10 10:10:00", 1, 1, 1, 1, 1, 1, 1));
        QVERIFY(!file.SaveXmlFile(runStart, runStart.addSecs(4)));
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }
};

QTEST_MAIN(tst_MeasurementFile)
#include "tst_measurementfile.moc"

// The run file without a window: what the recorder writes, byte for byte.
#include "filebytes.h"
#include "measurementfile.h"

#include <QtTest>

class tst_RunFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QDateTime start{QDate(2017, 12, 10), QTime(10, 10)};

    // Three samples 2 s apart whose numbers take every form the file knows:
    // six significant digits, exponents from 1e6 and below 1e-4, a discharge
    // with all its digits.
    void WriteSamples(MeasurementFile &file)
    {
        QVERIFY(file.CreateXmlFile(start));
        QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:00", 0.85, 1.25, 0.1234567, 2.25,
                                     4294967.296, 120, 90));
        QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:02", 4294967.295, 0, 0.00001234, 0.5,
                                     123456789012345, 121, 0));
        QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:04", 0.0001, 65535, 2, 0, 0, 0, 65535));
    }

private slots:
    void initTestCase()
    {
        // The finished file's attributes come out in the order of a hash.
        qSetGlobalQHashSeed(0);
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void written()
    {
        MeasurementFile file;
        WriteSamples(file);
        const auto record = file.SaveXmlFile(start, start.addSecs(4));
        QVERIFY(record);
        QCOMPARE(FileBytes(record->filePath), FileBytes(RUNFILE_DATA "/written.xml"));
    }

    void recovered()
    {
        {
            MeasurementFile file;
            WriteSamples(file);
        }
        const QString path = "xml/2017-12-10_10_10_00_2.xml";
        QVERIFY(QFile::resize(path, QFileInfo(path).size() - 20));
        bool isChanged = false;
        QString error;
        QVERIFY(MeasurementFile::Recover(QFileInfo(path).absoluteFilePath(), false, &isChanged,
                                         &error));
        QCOMPARE(FileBytes(path), FileBytes(RUNFILE_DATA "/recovered.xml"));
    }
};

QTEST_GUILESS_MAIN(tst_RunFile)
#include "tst_runfile.moc"

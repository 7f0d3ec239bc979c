// A run's data out of its file: the CSV from the class and from the command
// line, and the recorder's file as LibreOffice opens it.
#include "csvexport.h"
#include "measurementfile.h"
#include "runfilemaker.h"

#include <QtTest>

#include <ctime>

using Rows = QList<QStringList>;

namespace {

const QString head = "time,velocity (m/s),level (m),flow (m3/s)";
const QString newHead = head + ",air gap (m),discharge (m3),velocity signal strength,"
                               "level signal strength";

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

private slots:
    void initTestCase()
    {
        // Offsets that are not those of the machine.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QVERIFY(QDir::setCurrent(dir.path()) && QDir().mkpath("测量"));
    }

    void exportCsv_data()
    {
        // radarflow --export-csv RUN [OUT]: the run file's rows (none: no
        // such file), OUT (empty: standard output), and what the CSV says,
        // header first (empty: exit status 1, nothing written).
        QTest::addColumn<QString>("run");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("four-column file")
            << "old.xml"
            << Rows{{"2017-12-10 10:10:00", "0.85", "1.2", "4.29497e+06"},
                    {"2017-12-10 10:10:02", "1e-05", "0", "2"}}
            << QString()
            << QStringList{head, "2017-12-10T10:10:00+01:00,0.85,1.2,4294970",
                           "2017-12-10T10:10:02+01:00,1e-05,0,2"};
        QTest::newRow("eight-column file, summer time, to a file")
            << "new.xml"
            << Rows{{"2017-12-10 10:10:00", "1.5", "0.8", "2.4", "2.2", "4294967.296", "120", "90"},
                    {"2018-07-01 00:30:00", "1.5", "0.8", "2.4", "2.2", "4294967.5", "121", "0"}}
            << "出口.csv"
            << QStringList{newHead, "2017-12-10T10:10:00+01:00,1.5,0.8,2.4,2.2,4294967.296,120,90",
                           "2018-07-01T00:30:00+02:00,1.5,0.8,2.4,2.2,4294967.5,121,0"};
        QTest::newRow("damaged rows: no time, short, no number, a cell too many")
            << "damaged.xml"
            << Rows{{"10:10:00", "1", "1", "1"},
                    {"2017-12-10 10:10:01", "1", "1"},
                    {"2017-12-10 10:10:02", "x", "", "1,5", "9", "inf"},
                    {"2017-12-10 10:10:03", "1", "2", "3", "4", "5", "6", "7", "8"}}
            << QString()
            << QStringList{newHead, "2017-12-10T10:10:02+01:00,,,,9,,,",
                           "2017-12-10T10:10:03+01:00,1,2,3,4,5,6,7"};
        const Rows one{{"2017-12-10 10:10:00", "1", "2", "3"}};
        QTest::newRow("non-ASCII paths") << "测量/运行 1.xml" << one << "测量/出口 1.csv"
                                         << QStringList{head, "2017-12-10T10:10:00+01:00,1,2,3"};
        QTest::newRow("no such file") << "absent.xml" << Rows() << "x.csv" << QStringList();
        QTest::newRow("not a run file") << "page.html" << Rows() << QString() << QStringList();
        QTest::newRow("onto the run file") << "self.xml" << one << "self.xml" << QStringList();
    }
    void exportCsv()
    {
        QFETCH(QString, run);
        QFETCH(Rows, rows);
        QFETCH(QString, out);
        QFETCH(QStringList, lines);
        QFile html("page.html");
        QVERIFY(html.open(QIODevice::WriteOnly) && html.write("<html>"));
        const QByteArray runBytes =
            rows.isEmpty() ? QByteArray() : ReadAll(RunFileMaker::Write(run, rows));
        QProcess radarflow;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_NUMERIC", "de_DE.UTF-8"); // a decimal comma
        radarflow.setProcessEnvironment(env);
        radarflow.start(RADARFLOW_PATH, QStringList{"--export-csv", run} +
                                            (out.isEmpty() ? QStringList() : QStringList{out}));
        QVERIFY(radarflow.waitForFinished(30000));
        QCOMPARE(radarflow.exitCode(), lines.isEmpty() ? 1 : 0);
        // A failure writes nothing, leaves the run file as it was and names it.
        const QString csv = lines.isEmpty() ? "" : lines.join('\n') + '\n';
        QCOMPARE(out.isEmpty() ? radarflow.readAllStandardOutput() : ReadAll(out),
                 out == run ? runBytes : csv.toUtf8());
        QCOMPARE(radarflow.readAllStandardError().contains(QFileInfo(run).fileName().toUtf8()),
                 lines.isEmpty());
    }

    void opensInLibreOffice()
    {
        const QString office = QStandardPaths::findExecutable("libreoffice");
        if (office.isEmpty())
            QSKIP("libreoffice is not on PATH (Debian package libreoffice-calc-nogui)");
        const QDateTime start(QDate(2017, 12, 10), QTime(10, 10));
        MeasurementFile file;
        QVERIFY(file.CreateXmlFile(start));
        QVERIFY(
            file.WriteXmlFileRow("2017-12-10 10:10:00", 0.85, 1.25, 4.5, 2.25, 12345.5, 120, 90));
        QVERIFY(file.WriteXmlFileRow("2017-12-10 10:10:02", 1.5, 0, 0.02, 0.5, 12346, 121, 0));
        QVERIFY(file.SaveXmlFile(start, start.addSecs(2), 1, 1, 1));
        QProcess convert;
        convert.start(office,
                      {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
                       "--convert-to", "csv", "--outdir", dir.path(), file.filePath()});
        QVERIFY(convert.waitForFinished(120000));
        // Every column, as written.
        QCOMPARE(QString::fromUtf8(ReadAll(QFileInfo(file.filePath()).completeBaseName() + ".csv")),
                 QString("2017-12-10 10:10:00,0.85,1.25,4.5,2.25,12345.5,120,90\n"
                         "2017-12-10 10:10:02,1.5,0,0.02,0.5,12346,121,0\n"));
    }
};

QTEST_MAIN(tst_RunData)
#include "tst_rundata.moc"

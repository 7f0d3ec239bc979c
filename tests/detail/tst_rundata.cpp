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
        // Offsets and number formats that are not those of the machine.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QLocale::setDefault(QLocale(QLocale::German));
        QVERIFY(QDir::setCurrent(dir.path()) && QDir().mkpath("测量"));
    }

    void csv_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QStringList>("lines"); // what the CSV says, header first
        QTest::newRow("four-column file")
            << "old.xml"
            << Rows{{"2017-12-10 10:10:00", "0.85", "1.2", "4.29497e+06"},
                    {"2017-12-10 10:10:02", "1e-05", "0", "2"}}
            << QStringList{head, "2017-12-10T10:10:00+01:00,0.85,1.2,4294970",
                           "2017-12-10T10:10:02+01:00,1e-05,0,2"};
        QTest::newRow("eight-column file, summer time")
            << "new.xml"
            << Rows{{"2017-12-10 10:10:00", "1.5", "0.8", "2.4", "2.2", "4294967.296", "120", "90"},
                    {"2018-07-01 00:30:00", "1.5", "0.8", "2.4", "2.2", "4294967.5", "121", "0"}}
            << QStringList{newHead, "2017-12-10T10:10:00+01:00,1.5,0.8,2.4,2.2,4294967.296,120,90",
                           "2018-07-01T00:30:00+02:00,1.5,0.8,2.4,2.2,4294967.5,121,0"};
        QTest::newRow("damaged rows: no time, short, no number, a cell too many")
            << "damaged.xml"
            << Rows{{"10:10:00", "1", "1", "1"},
                    {"2017-12-10 10:10:01", "1", "1"},
                    {"2017-12-10 10:10:02", "x", "", "1,5", "9", "inf"},
                    {"2017-12-10 10:10:03", "1", "2", "3", "4", "5", "6", "7", "8"}}
            << QStringList{newHead, "2017-12-10T10:10:02+01:00,,,,9,,,",
                           "2017-12-10T10:10:03+01:00,1,2,3,4,5,6,7"};
        QTest::newRow("non-ASCII path")
            << "测量/运行 1.xml" << Rows{{"2017-12-10 10:10:00", "1", "2", "3"}}
            << QStringList{head, "2017-12-10T10:10:00+01:00,1,2,3"};
    }
    void csv()
    {
        QFETCH(QString, name);
        QFETCH(Rows, rows);
        QFETCH(QStringList, lines);
        const QString run = RunFileMaker::Write(name, rows);
        const QByteArray runBytes = ReadAll(run);
        CsvExport csv;
        QVERIFY2(csv.ExportFile(run, run + ".csv"), qPrintable(csv.errorString()));
        QCOMPARE(QString::fromUtf8(ReadAll(run + ".csv")).split('\n'), lines + QStringList{""});
        QCOMPARE(csv.rowCount(), lines.size() - 1);
        // Never onto the run file itself.
        QVERIFY(!csv.ExportFile(run, run) && ReadAll(run) == runBytes);
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<QString>("out"); // empty: standard output
        QTest::addColumn<int>("exitCode");
        const QString run =
            RunFileMaker::Write("cli.xml", {{"2017-12-10 10:10:00", "1", "2", "3"},
                                            {"2017-12-10 10:10:02", "4", "5", "6"}});
        QFile html("page.html");
        QVERIFY(html.open(QIODevice::WriteOnly) && html.write("<html>"));
        QTest::newRow("to standard output") << run << QString() << 0;
        QTest::newRow("to a file") << run << "出口.csv" << 0;
        QTest::newRow("no such file") << "absent.xml"
                                      << "x.csv" << 1;
        QTest::newRow("not a run file") << "page.html" << QString() << 1;
    }
    void commandLine()
    {
        QFETCH(QString, run);
        QFETCH(QString, out);
        QFETCH(int, exitCode);
        QProcess radarflow;
        radarflow.start(RADARFLOW_PATH, QStringList{"--export-csv", run} +
                                            (out.isEmpty() ? QStringList() : QStringList{out}));
        QVERIFY(radarflow.waitForFinished(30000));
        QCOMPARE(radarflow.exitCode(), exitCode);
        const QByteArray csv = (head + "\n2017-12-10T10:10:00+01:00,1,2,3\n"
                                       "2017-12-10T10:10:02+01:00,4,5,6\n")
                                   .toUtf8();
        QCOMPARE(out.isEmpty() ? radarflow.readAllStandardOutput() : ReadAll(out),
                 exitCode ? QByteArray() : csv);
        // A failure names the file it could not read.
        QCOMPARE(radarflow.readAllStandardError().contains(QFileInfo(run).fileName().toUtf8()),
                 exitCode != 0);
    }

    void opensInLibreOffice()
    {
        const QString office = QStandardPaths::findExecutable("libreoffice");
        if (office.isEmpty())
            QSKIP("libreoffice is not on PATH (Debian package libreoffice-calc-nogui)");
        const Rows rows{
            {"2017-12-10 10:10:00", "0.85", "1.25", "4.5", "2.25", "12345.5", "120", "90"},
            {"2017-12-10 10:10:02", "1.5", "0", "2e-05", "0.5", "12346", "121", "0"}};
        const QDateTime start(QDate(2017, 12, 10), QTime(10, 10));
        MeasurementFile file;
        QVERIFY(file.CreateXmlFile(start));
        for (const QStringList &r : rows) {
            QVERIFY(file.WriteXmlFileRow(r[0], r[1].toDouble(), r[2].toDouble(), r[3].toDouble(),
                                         r[4].toDouble(), r[5].toDouble(), r[6].toInt(),
                                         r[7].toInt()));
        }
        QVERIFY(file.SaveXmlFile(start, start.addSecs(2), 1, 1, 1));
        QProcess process;
        process.start(office,
                      {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
                       "--convert-to", "csv", "--outdir", dir.path(), file.filePath()});
        QVERIFY(process.waitForFinished(120000));
        const QString csv = ReadAll(QFileInfo(file.filePath()).completeBaseName() + ".csv");
        const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), rows.size());
        for (int row = 0; row < rows.size(); ++row) {
            const QStringList cells = lines[row].split(',');
            QCOMPARE(cells.size(), 8);
            QCOMPARE(cells[0], rows[row][0]);
            for (int i = 1; i < 8; ++i)
                QCOMPARE(cells[i].toDouble(), rows[row][i].toDouble());
        }
    }
};

QTEST_MAIN(tst_RunData)
#include "tst_rundata.moc"

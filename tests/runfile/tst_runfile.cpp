// The run file without a window: the recorder's bytes, its history row and
// templates, the recovery of a run cut short anywhere, a run that cannot open
// its file, older and newer files as CSV, and the file as LibreOffice opens it.
#include "csvexport.h"
#include "filebytes.h"
#include "measurementfile.h"
#include "runfilemaker.h"

#include <QtTest>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

using Rows = QList<QStringList>;

static const QString head = "time,velocity (m/s),level (m),flow (m3/s)";
static const QString newHead =
    head + ",air gap (m),discharge (m3),velocity signal strength,level signal strength";

using R = MeasurementFile::Recovery;

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

    // A history row as its count, duration and three means.
    static QString Summary(const std::optional<HistoryRecord> &record)
    {
        return record ? QString("%1 %2 %3 %4 %5")
                            .arg(record->count)
                            .arg(record->durationTime, record->min, record->max, record->average)
                      : QString();
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
    }

    void written()
    {
        // The templates come along on a machine that has no "xml" folder yet.
        // A run of one row leaves nothing: see the recording suite.
        MeasurementFile file;
        WriteSamples(file);
        // 1 day 1 h 1 min 1 s, unpadded; the means of the values as written,
        // to three decimals.
        const auto record = file.SaveXmlFile(start, start.addSecs(90061));
        QVERIFY(record);
        QCOMPARE(record->startTime + ' ' + Summary(record),
                 "2017-12-10 10:10:00 3 1-1:1:1 1431656.950 21845.417 0.708");
        // Its bytes: see recovery.
        for (const QString name : {"excel_head.xml", "excel_tail.xml"})
            QCOMPARE(FileBytes("xml/" + name), FileBytes(":/templates/" + name));
    }

    void recovery_data()
    {
        // A run file as a killed program, a lost power, a full disk or a lost
        // history row leaves it: the recorder's three rows, finished or not,
        // cut after the n-th occurrence of a mark plus some bytes (n 0: not
        // cut), listed in the history with a count or not (-1). Then what
        // the recovery does, the file it leaves (written: as the recorder
        // finishes three rows, the same bytes as it always wrote; recovered:
        // of two; cut: as cut; none: gone, moved when damaged) and the
        // history row it makes.
        QTest::addColumn<bool>("isFinished");
        QTest::addColumn<QByteArray>("mark");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("extra");
        QTest::addColumn<int>("listedCount");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("history");
        const auto row = [](const char *name, bool isFinished, const char *mark, int n, int extra,
                            int listedCount, int outcome, const char *expected,
                            const char *history) {
            QTest::newRow(name) << isFinished << QByteArray(mark) << n << extra << listedCount
                                << outcome << QString(expected) << QString(history);
        };
        const char *three = "3 0-0:0:4 1431656.950 21845.417 0.708";
        const char *two = "2 0-0:0:2 2147485.425 0.625 0.062";
        row("killed after three rows", false, "", 0, 0, -1, R::Finished, "written", three);
        row("killed between rows", false, "</Row>", 2, 0, -1, R::Finished, "recovered", two);
        row("killed after one row: removed", false, "</Row>", 1, 0, -1, R::Removed, "none", "");
        row("killed inside the first row", false, "<Row>", 1, 55, -1, R::Removed, "none", "");
        row("power lost in the tail", true, "</Table>", 1, 60, -1, R::Finished, "written", three);
        row("killed before the count", true, "RowCount=\"", 1, 0, -1, R::Finished, "written",
            three);
        row("power cut: no byte left", false, "<?xml", 1, -5, -1, R::CutHead, "none", "");
        row("cut inside the table's start", false, "<Table", 1, 30, -1, R::CutHead, "none", "");
        row("finished, never listed", true, "", 0, 0, -1, R::Untouched, "written", three);
        row("finished and listed: left alone", true, "", 0, 0, 3, R::Untouched, "written", "");
        row("listed, end kept off by a full disk", false, "", 0, 0, 3, R::Finished, "written", "");
        row("listed and cut short: left as cut", true, "</Row>", 2, 0, 3, R::CutShort, "cut", "");
    }
    void recovery()
    {
        QFETCH(bool, isFinished);
        QFETCH(QByteArray, mark);
        QFETCH(int, n);
        QFETCH(int, extra);
        QFETCH(int, listedCount);
        QFETCH(int, outcome);
        QFETCH(QString, expected);
        QFETCH(QString, history);
        QDir("xml").removeRecursively();
        {
            MeasurementFile file;
            WriteSamples(file);
            QVERIFY(!isFinished || file.SaveXmlFile(start, start.addSecs(4)));
        }
        const QString path = QDir::current().absoluteFilePath("xml/2017-12-10_10_10_00.xml");
        int cut = -1;
        for (int i = 0; i < n; ++i)
            cut = FileBytes(path).indexOf(mark, cut + 1);
        // The row count as a program killed before it was set leaves it,
        // and the copy of an older recorder's rewrite beside it.
        const bool isCount = mark == "RowCount=\"";
        QVERIFY(n == 0 || isCount || QFile::resize(path, cut + mark.size() + extra));
        const QByteArray placeholder =
            FileBytes(path).replace("=\"3\"", "=\"10\"").replace(" >", ">");
        QFile file(path);
        QVERIFY(!isCount || (file.open(QIODevice::WriteOnly) && file.write(placeholder) &&
                             file.copy(path + ".Ab12Cd")));
        const QByteArray cutBytes = FileBytes(path);
        const auto recovery = MeasurementFile::Recover(path, listedCount);
        QCOMPARE(int(recovery.outcome), outcome);
        QCOMPARE(Summary(recovery.record), history);
        QCOMPARE(MeasurementFile::RemoveTemporaries(), int(isCount));
        // Damaged files are kept aside, whole; the next start changes nothing.
        QCOMPARE(QFile::exists(path), expected != "none");
        const QString aside = "xml/damaged/" + QFileInfo(path).fileName();
        QCOMPARE(FileBytes(aside), outcome == R::CutHead ? cutBytes : QByteArray());
        if (expected == "none")
            return;
        QCOMPARE(int(MeasurementFile::Recover(path, qMax(3, listedCount)).outcome),
                 int(outcome == R::CutShort ? R::CutShort : R::Untouched));
        QCOMPARE(FileBytes(path),
                 expected == "cut" ? cutBytes : FileBytes(RUNFILE_DATA "/" + expected + ".xml"));
    }

    void unopenableFile()
    {
        // A working directory that vanished: nothing can be created, even as root.
        QVERIFY(QDir().mkdir("gone") && QDir::setCurrent("gone") && QDir(dir.path()).rmdir("gone"));
        MeasurementFile file;
        QVERIFY(!file.CreateXmlFile(start) && !file.errorString().isEmpty() &&
                !file.WriteXmlFileRow("2017-12-10 10:10:00", 1, 1, 1, 1, 1, 1, 1) &&
                !file.SaveXmlFile(start, start.addSecs(4)));
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void csv_data()
    {
        // The run file's rows (none: no such file), the CSV file (empty: a
        // device open for writing; *.fifo: a named pipe with a reader;
        // kept.csv: an older CSV on a full disk), and what the CSV says,
        // header first (empty: refused, nothing written, the reason naming
        // the file at fault).
        QTest::addColumn<QString>("run");
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("lines");
        // A row named TZ=zone runs in that zone.
        QTest::newRow("TZ=UTC: four-column file, +00:00, never Z or -00:00")
            << "run.xml"
            << Rows{{"2017-12-10 10:10:00", "0.85", "1.2", "4.29497e+06"},
                    {"2017-12-10 10:10:02", "1e-05", "0", "2"}}
            << "run.csv"
            << QStringList{head, "2017-12-10T10:10:00+00:00,0.85,1.2,4294970",
                           "2017-12-10T10:10:02+00:00,1e-05,0,2"};
        QTest::newRow("eight-column file, summer time, non-ASCII paths")
            << "测量/新 运行.xml"
            << Rows{{"2017-12-10 10:10:00", "1.5", "0.8", "2.4", "2.2", "4294967.296", "120", "90"},
                    {"2018-07-01 00:30:00", "1.5", "0.8", "2.4", "2.2", "4294967.5", "121", "0"}}
            << "测量/出口 1.csv"
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
        const Rows two{{"2017-12-10 10:10:00", "0.85", "1.2", "4.29497e+06"},
                       {"2017-12-10 10:10:02", "1e-05", "0", "2"}};
        QTest::newRow("into a named pipe, as a stream")
            << "pipe.xml" << two << "out.fifo"
            << QStringList{head, "2017-12-10T10:10:00+01:00,0.85,1.2,4294970",
                           "2017-12-10T10:10:02+01:00,1e-05,0,2"};
        QTest::newRow("onto /dev/full: the node stays")
            << "dev.xml" << two << "/dev/full" << QStringList();
        QTest::newRow("onto a full disk: the older CSV stays")
            << "full.xml" << two << "kept.csv" << QStringList();
        QTest::newRow("TZ=America/St_Johns: west by hours and a half")
            << "west.xml" << Rows{{"2017-12-10 10:10:00", "1", "2", "3"}} << QString()
            << QStringList{head, "2017-12-10T10:10:00-03:30,1,2,3"};
        QTest::newRow("no such file") << "absent.xml" << Rows() << "x.csv" << QStringList();
        QTest::newRow("onto the run file")
            << "self.xml" << Rows{{"2017-12-10 10:10:00", "1", "2", "3"}} << "self.xml"
            << QStringList();
    }
    void csv()
    {
        QFETCH(QString, run);
        QFETCH(Rows, rows);
        QFETCH(QString, out);
        QFETCH(QStringList, lines);
        const QString zone = QString(QTest::currentDataTag()).section(':', 0, 0);
        qputenv("TZ", zone.startsWith("TZ=") ? zone.mid(3).toUtf8() : "Europe/Berlin");
        tzset();
        if (!rows.isEmpty())
            QVERIFY(!RunFileMaker::Write(run, rows).isEmpty());
        const bool isDevice = out.startsWith("/dev/"), isFifo = out.endsWith(".fifo");
        QFile reader;
        if (isFifo)
            QVERIFY(::mkfifo(qPrintable(out), 0600) == 0 &&
                    reader.open(::open(qPrintable(out), O_RDONLY | O_NONBLOCK), QIODevice::ReadOnly,
                                QFileDevice::AutoCloseHandle));
        QVERIFY(out != "kept.csv" || RunFileMaker::Write(out, {}, false).endsWith(out));
        const QByteArray before = isDevice || isFifo ? QByteArray() : FileBytes(out);
        // A file-size limit stands for a full disk.
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{64, saved.rlim_max};
        ::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(out != "kept.csv" || ::setrlimit(RLIMIT_FSIZE, &small) == 0);
        CsvExport csv;
        QBuffer buffer;
        const bool isDone = out.isEmpty()
                                ? buffer.open(QIODevice::WriteOnly) && csv.Export(run, &buffer)
                                : csv.ExportFile(run, out);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(isDone, !lines.isEmpty());
        // A failure writes nothing and leaves the target as it was: a node
        // stays a node, no copy is left beside a file.
        const QString text = lines.isEmpty() ? "" : lines.join('\n') + '\n';
        const QByteArray written = out.isEmpty() ? buffer.data()
                                   : isFifo      ? reader.readAll()
                                   : isDevice    ? QByteArray()
                                                 : FileBytes(out);
        QCOMPARE(written, lines.isEmpty() ? before : text.toUtf8());
        QVERIFY(!(isDevice || isFifo) || (QFileInfo::exists(out) && !QFileInfo(out).isFile()));
        QVERIFY(
            out.isEmpty() ||
            QDir(QFileInfo(out).path()).entryList({QFileInfo(out).fileName() + ".*"}).isEmpty());
        const QString blame = QFileInfo(rows.isEmpty() || out.isEmpty() ? run : out).fileName();
        QCOMPARE(csv.errorString().contains(blame), lines.isEmpty());
    }

    void opensInLibreOffice()
    {
        const QString office = QStandardPaths::findExecutable("libreoffice");
        if (office.isEmpty())
            QSKIP("libreoffice is not on PATH (Debian package libreoffice-calc-nogui)");
        QDir("xml").removeRecursively();
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

QTEST_GUILESS_MAIN(tst_RunFile)
#include "tst_runfile.moc"

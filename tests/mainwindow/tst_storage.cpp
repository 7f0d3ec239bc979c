// Faults of the storage met by the program as at an unattended station: a
// history that is damaged (in its header or its pages), locked or in a
// folder that cannot be written at the start, run files cut short, a data
// folder moved, and a disk that fills during a run and has room again.
// Whatever the fault, afterwards every run file is finished, its row count
// is its rows, and the history lists each once with that count. Damaged run
// files opened from the history: see the detail dialog's suite.
#include "filebytes.h"
#include "loghandler.h"
#include "runfilemaker.h"
#include "windowbench.h"

#include <QtSql>
#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

class tst_Storage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInstallMessageHandler(LogHandler::MessageHandler); }

    void storage_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<bool>("isPutAside");
        const auto row = [](const char *name, const char *fault, const char *warning,
                            bool isPutAside) {
            QTest::newRow(name) << QString(fault) << QString(warning) << isPutAside;
        };
        row("garbage", "garbage", "历史数据库已损坏", true);
        row("history of 3 columns", "columns", "history 表的列不符", true);
        row("locked by another program", "locked", "database is locked", false);
        row("read-only folder", "read-only", "无法写入", false);
        row("disk full during a run, room again later", "full", "File too large", false);
        row("damaged pages: refilled from the run files", "pages", "历史数据库已损坏", true);
        row("run files cut in the head and, listed, in the rows", "cut", "已损坏", false);
        row("data folder moved", "moved", "", false);
    }
    void storage()
    {
        QFETCH(QString, fault);
        QFETCH(QString, warning);
        QFETCH(bool, isPutAside);
        QDir("xml").removeRecursively();
        for (const QString &name : QDir().entryList({"database*"}))
            QFile::remove(name);
        const QString home = QDir::currentPath();
        QTemporaryDir readOnly;
        // Finished runs, and what a moved folder or a power cut leaves.
        QVERIFY(QDir().mkpath("xml"));
        const QString run = "xml/2017-12-10_10_10_00.xml";
        const auto rows = RunFileMaker::Rows("2017-12-10 10:10:00", 3, 2, {"1", "2", "3"});
        const bool hasRun = QString("pages cut moved").contains(fault);
        QVERIFY(!hasRun || !RunFileMaker::Write(run, rows).isEmpty());
        const QString cut = "xml/2017-12-10_10_20_00.xml";
        QVERIFY(fault != "cut" ||
                (QFile::resize(run, 700) && QFile(cut).open(QIODevice::WriteOnly)));
        const QByteArray cutBytes = FileBytes(run);
        QFile garbage("database.db");
        QVERIFY(fault != "garbage" ||
                (garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'x')) > 0));
        garbage.close();
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName("database.db");
            QVERIFY(other.open());
            QSqlQuery query(other);
            if (fault == "columns")
                QVERIFY(query.exec("create table history(id integer, a text, b text)"));
            // Pages enough that the damage lies behind a sound header.
            const QString insert = "insert into history (count, filePath) select 3, '%1' from "
                                   "(with recursive n(i) as (select 1 union all select i + 1 "
                                   "from n where i < %2) select i from n)";
            if (hasRun)
                QVERIFY(query.exec("create table history(id integer primary key autoincrement, "
                                   "startTime, durationTime, count int, min, max, average, "
                                   "filePath, operation)") &&
                        query.exec(insert
                                       .arg(fault == "moved" ? "/gone/" + run
                                                             : QFileInfo(run).absoluteFilePath())
                                       .arg(fault == "pages" ? 300 : 1)));
            QFile pages("database.db");
            QVERIFY(fault != "pages" ||
                    (pages.open(QIODevice::ReadWrite) && pages.size() > 5 * 4096 &&
                     pages.seek(3 * 4096 + 8) && pages.write(QByteArray(1000, 'x')) == 1000));
            pages.close();
            if (fault == "locked")
                QVERIFY(query.exec("create table t(x)") && query.exec("begin exclusive") &&
                        query.exec("insert into t values(1)"));
            // Root writes into any folder but one of a read-only file system.
            if (fault == "read-only")
                QVERIFY(
                    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner) &&
                    QDir::setCurrent(::geteuid() == 0 ? QString("/proc") : readOnly.path()));

            // Everything else works: the port opens and reads back.
            WindowBench bench({"--calm"});
            bench.window->SetStorageRetryMs(500);
            QVERIFY(bench.sim.isReady() && bench.openPort() && bench.settle(12));
            // A run polling each second meets a file-size limit with room for
            // neither another row nor the end of its file.
            if (fault == "full") {
                QVERIFY(bench.enter("lineEditAutoRunIntvel=1 pushButtonAutoRun70"));
                QTRY_VERIFY_WITH_TIMEOUT(QDir("xml").entryList({"20*.xml"}).size() == 1, 5000);
                const QString path = "xml/" + QDir("xml").entryList({"20*.xml"}).first();
                QTRY_VERIFY_WITH_TIMEOUT(FileBytes(path).count("</Row>") >= 2, 8000);
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit saved{};
                ::getrlimit(RLIMIT_FSIZE, &saved);
                rlimit small = saved;
                small.rlim_cur = rlim_t(QFileInfo(path).size() + 200);
                QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
                const bool isWarned = bench.boxes.waitForBoxes(1, 8000);
                QVERIFY(isWarned && bench.boxes.lastText().contains(QFileInfo(path).fileName()));
                // Whole rows only, left for the next start to finish; the live
                // display goes on without the file, and no run starts while
                // the disk stays full.
                const QByteArray bytes = FileBytes(path);
                QVERIFY(bytes.trimmed().endsWith("</Row>"));
                const int polls = bench.requests(0x04).size();
                QTRY_VERIFY_WITH_TIMEOUT(bench.requests(0x04).size() > polls + 1, 4000);
                QCOMPARE(FileBytes(path), bytes);
                QCOMPARE(QDir("xml").entryList({"20*"}).size(), 1);
                // Room again: a new run records by itself.
                ::setrlimit(RLIMIT_FSIZE, &saved);
                QTRY_VERIFY_WITH_TIMEOUT(QDir("xml").entryList({"20*"}).size() == 2, 3000);
                const QString next = "xml/" + QDir("xml").entryList({"20*"}).last();
                QTRY_VERIFY_WITH_TIMEOUT(FileBytes(next).count("</Row>") >= 2, 8000);
                QVERIFY(bench.click("pushButtonAutoRun70"));
            }
            QCOMPARE(bench.boxes.waitForBoxes(1, warning.isEmpty() ? 500 : 5000),
                     !warning.isEmpty());
            QVERIFY2(bench.boxes.lastText().contains(warning), qPrintable(bench.boxes.lastText()));
            QCOMPARE(bench.boxes.boxes().size(), warning.isEmpty() ? 0 : 1);
            // The file cut in its head named and moved aside; the listed
            // one cut in its rows named and left as it is.
            if (fault == "cut") {
                for (const QString &name : {run, cut})
                    QVERIFY(bench.boxes.lastText().contains(QFileInfo(name).fileName()));
                QVERIFY(QFile::exists("xml/damaged/" + QFileInfo(cut).fileName()) &&
                        !QFile::exists(cut));
                QCOMPARE(FileBytes(run), cutBytes);
            }
            query.exec("rollback");
        }
        QSqlDatabase::removeDatabase("other");
        QDir::setCurrent(home);
        QFile::setPermissions(readOnly.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Kept aside, never deleted; the next start finds a sound history.
        QCOMPARE(QDir().entryList({"database_damaged_*.db"}).size(), isPutAside ? 1 : 0);
        WindowBench again;
        QTest::qWait(200);
        QCOMPARE(again.boxes.boxes().size(), fault == "cut" ? 1 : 0);
        QMap<QString, int> listed;
        {
            QSqlDatabase check = QSqlDatabase::addDatabase("QSQLITE", "check");
            check.setDatabaseName("database.db");
            QSqlQuery query(check);
            QVERIFY(check.open() && query.exec("select filePath, count from history"));
            while (query.next())
                listed[QFileInfo(query.value(0).toString()).fileName()] += query.value(1).toInt();
        }
        QSqlDatabase::removeDatabase("check");
        QMap<QString, int> files;
        for (const QString &name : QDir("xml").entryList({"20*"})) {
            QString count;
            files[name] = RunFileMaker::Read("xml/" + name, &count).size();
            QVERIFY(fault == "cut" || (FileBytes("xml/" + name).trimmed().endsWith("</Workbook>") &&
                                       count == QString::number(files[name])));
        }
        QCOMPARE(files.size(), fault == "full" ? 2 : int(hasRun));
        // A cut file keeps the history's count; every other one its rows.
        if (fault == "cut")
            files[QFileInfo(run).fileName()] = 3;
        QCOMPARE(listed, files);
    }
};

QTEST_MAIN(tst_Storage)
#include "tst_storage.moc"

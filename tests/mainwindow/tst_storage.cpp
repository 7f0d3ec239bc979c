// Faults of the storage met by the program as at an unattended station: a
// history that is damaged, locked, read-only or in a folder that cannot be
// written at the start, and a disk that fills during a run. Damaged run files opened
// from the history: see the detail dialog's suite.
#include "database.h"
#include "filebytes.h"
#include "loghandler.h"
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
        row("read-only history in a writable folder", "read-only file", "历史数据库无法写入",
            false);
        row("disk full during a run", "full", "File too large", false);
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
            if (fault == "locked")
                QVERIFY(query.exec("create table t(x)") && query.exec("begin exclusive") &&
                        query.exec("insert into t values(1)"));
            // A sound history; root writes any file but an immutable one.
            if (fault == "read-only file")
                QVERIFY(
                    std::make_unique<Database>() &&
                    QFile::setPermissions("database.db", QFile::ReadOwner) &&
                    (::geteuid() != 0 || QProcess::execute("chattr", {"+i", "database.db"}) == 0));
            // Root writes into any folder but one of a read-only file system.
            if (fault == "read-only")
                QVERIFY(
                    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner) &&
                    QDir::setCurrent(::geteuid() == 0 ? QString("/proc") : readOnly.path()));

            // Everything else works: the port opens and reads back.
            WindowBench bench({"--calm"});
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
                ::setrlimit(RLIMIT_FSIZE, &saved);
                QVERIFY(isWarned && bench.boxes.lastText().contains(QFileInfo(path).fileName()));
                // Whole rows only, left for the next start to finish; the live
                // display goes on without the file.
                const QByteArray bytes = FileBytes(path);
                QVERIFY(bytes.trimmed().endsWith("</Row>"));
                const int polls = bench.requests(0x04).size();
                QTRY_VERIFY_WITH_TIMEOUT(bench.requests(0x04).size() > polls, 3000);
                QCOMPARE(FileBytes(path), bytes);
            }
            QVERIFY(bench.boxes.waitForBoxes(1));
            QVERIFY2(bench.boxes.lastText().contains(warning), qPrintable(bench.boxes.lastText()));
            QCOMPARE(bench.boxes.boxes().size(), 1);
            query.exec("rollback");
        }
        QSqlDatabase::removeDatabase("other");
        QDir::setCurrent(home);
        if (fault == "read-only file")
            QVERIFY((::geteuid() != 0 || QProcess::execute("chattr", {"-i", "database.db"}) == 0) &&
                    QFile::setPermissions("database.db", QFile::ReadOwner | QFile::WriteOwner));
        QFile::setPermissions(readOnly.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Kept aside, never deleted; the next start finds a sound history.
        QCOMPARE(QDir().entryList({"database_damaged_*.db"}).size(), isPutAside ? 1 : 0);
        WindowBench again;
        QTest::qWait(200);
        QCOMPARE(again.boxes.boxes().size(), 0);
    }
};

QTEST_MAIN(tst_Storage)
#include "tst_storage.moc"

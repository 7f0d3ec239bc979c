// Faults of the storage and of the instrument, met by the main window as an
// operator at an unattended station would meet them: the start, a full disk,
// exception answers, an outage mid-run, damaged run files, refused input.
#include "detailinfo.h"
#include "loghandler.h"
#include "windowbench.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int OpeningFrames = 12;

QString Status(WindowBench &bench)
{
    return bench.find<QStatusBar>("statusBar")->currentMessage();
}

QString RunFile()
{
    const QStringList names = QDir("xml").entryList({"20*.xml"}, QDir::Files);
    return names.isEmpty() ? QString() : QStringLiteral("xml/") + names.first();
}

int RowsOnDisk(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count("</Row>") : 0;
}

// Opens the port on a settled instrument and starts a run polling each second.
bool StartRun(WindowBench &bench)
{
    if (!bench.isReady() || !bench.openPort() || !bench.settle(OpeningFrames))
        return false;
    bench.find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
    return bench.click("pushButtonAutoRun70");
}

} // namespace

class tst_Faults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInstallMessageHandler(LogHandler::MessageHandler); }
    void init();
    void damagedStorageAtStart_data();
    void damagedStorageAtStart();
    void diskFullStopsRecording();
    void exceptionAnswers_data();
    void exceptionAnswers();
    void noPollBacklog();
    void addressChangeHint();
    void damagedRunFiles_data();
    void damagedRunFiles();
    void refusedInput_data();
    void refusedInput();
    void cleanupTestCase() { shared.reset(); }

private:
    std::unique_ptr<WindowBench> shared;
};

void tst_Faults::init()
{
    QDir("xml").removeRecursively();
    QFile::remove("database.db");
    QFile::remove("log.txt");
    for (const QString &name : QDir().entryList({"database_damaged_*"}))
        QFile::remove(name);
}

void tst_Faults::damagedStorageAtStart_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<bool>("isPutAside");
    QTest::newRow("garbage") << "garbage"
                             << "历史数据库已损坏" << true;
    QTest::newRow("history of 3 columns") << "columns"
                                          << "history 表的列不符" << true;
    QTest::newRow("locked by another program") << "locked"
                                               << "database is locked" << false;
    QTest::newRow("read-only folder") << "read-only"
                                      << "无法写入" << false;
}

void tst_Faults::damagedStorageAtStart()
{
    QFETCH(QString, fault);
    QFETCH(QString, warning);
    QFETCH(bool, isPutAside);
    const QString home = QDir::currentPath();
    QTemporaryDir readOnly;
    if (fault == "garbage") {
        QFile file("database.db");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
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
        if (fault == "read-only") {
            // Root writes into any folder but one of a read-only file system.
            QVERIFY(QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner));
            QVERIFY(QDir::setCurrent(::geteuid() == 0 ? QString("/proc") : readOnly.path()));
        }

        WindowBench bench;
        QVERIFY(bench.boxes.waitForBoxes(1));
        QVERIFY2(bench.boxes.lastText().contains(warning), qPrintable(bench.boxes.lastText()));
        QCOMPARE(bench.boxes.boxes().size(), 1);
        // The rest of the program works: the port opens and reads back.
        QVERIFY(bench.openPort());
        QVERIFY(bench.settle(OpeningFrames));
        query.exec("rollback");
    }
    QSqlDatabase::removeDatabase("other");
    QDir::setCurrent(home);
    QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Kept aside, never deleted; a second start finds a sound history.
    QCOMPARE(QDir().entryList({"database_damaged_*.db"}).size(), isPutAside ? 1 : 0);
    WindowBench again;
    QTest::qWait(200);
    QCOMPARE(again.boxes.boxes().size(), 0);
}

void tst_Faults::diskFullStopsRecording()
{
    QString path;
    {
        WindowBench bench({"--calm"});
        QVERIFY(StartRun(bench));
        QTRY_VERIFY_WITH_TIMEOUT(!(path = RunFile()).isEmpty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(RowsOnDisk(path) >= 2, 8000);

        // Room for neither another row nor the end of the file.
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = rlim_t(QFileInfo(path).size() + 200);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        const bool isWarned = bench.boxes.waitForBoxes(1, 8000);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(isWarned);
        QVERIFY2(bench.boxes.lastText().contains(QFileInfo(path).fileName()) &&
                     bench.boxes.lastText().contains("File too large"),
                 qPrintable(bench.boxes.lastText()));

        // Whole rows only; the live display goes on without the file.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.trimmed().endsWith("</Row>"));
        const int polls = bench.requests(0x04).size();
        QTRY_VERIFY_WITH_TIMEOUT(bench.requests(0x04).size() > polls, 3000);
        QCOMPARE(QFileInfo(path).size(), qint64(bytes.size()));
    }
    // The next start finishes the file and enters its run; the one after
    // changes nothing.
    for (int start = 0; start < 2; ++start) {
        WindowBench bench;
        QCOMPARE(Status(bench), start == 0 ? QString("已恢复 1 次未完成的测量") : QString());
        QCOMPARE(bench.find<QTableView>("historyTable")->model()->rowCount(), 1);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("</Table>"));
}

void tst_Faults::exceptionAnswers_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("warning");
    QTest::newRow("0x03 read-back") << 0x03 << ""
                                    << ""
                                    << "读出设置已停止";
    QTest::newRow("0x04 poll") << 0x04 << "pushButtonAutoRun70"
                               << "设备返回异常码 02"
                               << "";
    QTest::newRow("0x06 single write") << 0x06 << "pushButtonSleepTime"
                                       << "设置写入失败"
                                       << "";
    QTest::newRow("0x10 geometry") << 0x10 << "pushButtonWriteParameter"
                                   << "参数设置失败"
                                   << "";
}

void tst_Faults::exceptionAnswers()
{
    QFETCH(int, function);
    QFETCH(QString, button);
    QFETCH(QString, status);
    QFETCH(QString, warning);
    const QString refuse = QString("exception %1:2").arg(function);
    WindowBench bench({}, function == 0x03 ? QStringList{refuse} : QStringList{});
    QVERIFY(bench.isReady());
    QVERIFY(bench.openPort());
    if (function != 0x03) {
        QVERIFY(bench.settle(OpeningFrames));
        QVERIFY(bench.sim.command(refuse));
        bench.find<QLineEdit>("lineEditAutoRunIntvel")->setText("1");
        bench.find<QLineEdit>("lineEditSleepTime")->setText("10");
        QVERIFY(bench.click(button));
        QTRY_COMPARE_WITH_TIMEOUT(Status(bench), status, 5000);
    } else {
        QVERIFY(bench.boxes.waitForBoxes(1));
        QVERIFY2(bench.boxes.lastText().contains(warning), qPrintable(bench.boxes.lastText()));
    }
    // Answered, so neither resent nor timed out: the port stays open.
    const int sent = bench.requests(function).size();
    QTest::qWait(3500);
    QCOMPARE(WindowBench::countLogLines("Resend:"), 0);
    QVERIFY(bench.isPortOpen());
    if (function != 0x04)
        QCOMPARE(bench.requests(function).size(), sent);
}

void tst_Faults::noPollBacklog()
{
    WindowBench bench({"--calm"});
    QVERIFY(StartRun(bench));
    QVERIFY(bench.sim.waitForEntries(OpeningFrames + 1, 5000));
    QVERIFY(bench.sim.command("silent-next 1"));
    // The silent poll is resent after 3 s; the ticks meanwhile send nothing.
    QTRY_VERIFY_WITH_TIMEOUT(bench.requests(0x04).size() >= 6, 12000);
    const QList<QJsonObject> polls = bench.requests(0x04);
    for (int i = 1; i < polls.size(); ++i)
        QVERIFY2(polls[i]["ms"].toDouble() - polls[i - 1]["ms"].toDouble() > 500,
                 qPrintable(QString::number(i)));
    QVERIFY(WindowBench::countLogLines("poll skipped") >= 2);
}

void tst_Faults::addressChangeHint()
{
    WindowBench bench;
    QVERIFY(bench.openPort());
    QVERIFY(bench.settle(OpeningFrames));
    bench.find<QLineEdit>("lineEditNewDevAddr")->setText("0x0a");
    QVERIFY(bench.click("pushButtonChangeAddr"));
    QTRY_COMPARE(Status(bench),
                 QString("设置写入成功，请在地址框中选择新地址 0x0A 并重新打开串口"));
}

void tst_Faults::refusedInput_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("isSent");
    QTest::newRow("threshold 0") << "lineEditThreshold70"
                                 << "0"
                                 << "pushButtonThreshold70" << false;
    QTest::newRow("threshold 1") << "lineEditThreshold70"
                                 << "1"
                                 << "pushButtonThreshold70" << true;
    QTest::newRow("0x10") << "lineSpeedFilterTimes"
                          << "0x10"
                          << "pushButtonSpeedFilterTimes" << false;
    QTest::newRow("1e2 as a radius") << "lineEditRadius"
                                     << "1e2"
                                     << "pushButtonWriteParameter" << false;
}

void tst_Faults::refusedInput()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(bool, isSent);
    if (!shared) {
        shared = std::make_unique<WindowBench>();
        WindowBench *bench = shared.get();
        // Text that is no address would open the port on broadcast address 0.
        bench->find<QComboBox>("comboBoxDevAddr")->setEditText("zz");
        QVERIFY(!bench->openPort());
        QCOMPARE(bench->boxes.lastText(), QString("输入参数有误，请输入正确参数！"));
        bench->find<QComboBox>("comboBoxDevAddr")->setEditText("0x80");
        QVERIFY(bench->openPort());
        QVERIFY(bench->settle(OpeningFrames));
        bench->find<QRadioButton>("radioButtonCircle")->click();
    }
    WindowBench *bench = shared.get();
    bench->boxes.clear();
    const int sent = bench->sim.entries().size();
    bench->find<QLineEdit>(field)->setText(text);
    QVERIFY(bench->click(button));
    QTest::qWait(300);
    QCOMPARE(bench->sim.entries().size() > sent, isSent);
    QCOMPARE(bench->boxes.lastText(),
             isSent ? QString() : QString("输入参数有误，请输入正确参数！"));
}

void tst_Faults::damagedRunFiles_data()
{
    const QByteArray row = "<Row><Cell><Data>2017-12-10 10:10:01</Data></Cell><Cell><Data>0.5"
                           "</Data></Cell><Cell><Data>1</Data></Cell><Cell><Data>2</Data></Cell>"
                           "</Row>";
    const QByteArray head = "<Workbook><Table>";
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("warning");
    QTest::newRow("missing") << QByteArray() << "测量文件不存在";
    QTest::newRow("cut short") << head + row + "<Row><Cell>"
                               << "已显示可读取的 1 行";
    QTest::newRow("a row unreadable")
        << head + row + QByteArray(row).replace("0.5", "x") + "</Table></Workbook>"
        << "1 行数据无法读取";
}

void tst_Faults::damagedRunFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    const QString path = dir.filePath("run.xml");
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    MessageBoxRecorder boxes;
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(path);
    QCOMPARE(boxes.boxes().size(), 1);
    QVERIFY2(boxes.lastText().contains(warning) && boxes.lastText().contains(path),
             qPrintable(boxes.lastText()));
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"

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
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int OpeningFrames = 12;
const QString badInput = QStringLiteral("输入参数有误，请输入正确参数！");

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
    void noPollBacklog();
    void damagedRunFiles_data();
    void damagedRunFiles();
    void operatorActions_data();
    void operatorActions();
    void cleanupTestCase() { shared.reset(); }

private:
    std::unique_ptr<WindowBench> shared;
};

void tst_Faults::init()
{
    QDir("xml").removeRecursively();
    for (const QString &name : QDir().entryList({"database*", "log.txt"}))
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
    QFile garbage("database.db");
    QVERIFY(fault != "garbage" ||
            (garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'x')) == 4096));
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
        // Root writes into any folder but one of a read-only file system.
        if (fault == "read-only")
            QVERIFY(QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner) &&
                    QDir::setCurrent(::geteuid() == 0 ? QString("/proc") : readOnly.path()));

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
    // Kept aside, never deleted; the next start finds a sound history.
    QCOMPARE(QDir().entryList({"database_damaged_*.db"}).size(), isPutAside ? 1 : 0);
    WindowBench again;
    QTest::qWait(200);
    QCOMPARE(again.boxes.boxes().size(), 0);
}

void tst_Faults::diskFullStopsRecording()
{
    WindowBench bench({"--calm"});
    QVERIFY(StartRun(bench));
    QTRY_VERIFY_WITH_TIMEOUT(QDir("xml").entryList({"20*.xml"}).size() == 1, 5000);
    const QString path = "xml/" + QDir("xml").entryList({"20*.xml"}).first();
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

    // Whole rows only, left for the next start to finish; the live display
    // goes on without the file.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.trimmed().endsWith("</Row>"));
    const int polls = bench.requests(0x04).size();
    QTRY_VERIFY_WITH_TIMEOUT(bench.requests(0x04).size() > polls, 3000);
    QCOMPARE(QFileInfo(path).size(), qint64(bytes.size()));
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
}

void tst_Faults::damagedRunFiles_data()
{
    const QByteArray row = "<Row><Cell><Data>2017-12-10 10:10:01</Data></Cell><Cell><Data>0.5"
                           "</Data></Cell><Cell><Data>1</Data></Cell><Cell><Data>2</Data></Cell>"
                           "</Row>";
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("warning");
    QTest::newRow("missing") << QByteArray() << "测量文件不存在";
    QTest::newRow("a row unreadable, cut short")
        << "<Table>" + row + QByteArray(row).replace("0.5", "x") + "<Row><Cell>"
        << "2 行数据无法读取。已显示可读取的 1 行";
}

void tst_Faults::damagedRunFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    const QString path = dir.filePath("run.xml");
    QFile file(path);
    QVERIFY(content.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(content) > 0));
    file.close();
    MessageBoxRecorder boxes;
    DetailInfo dialog;
    dialog.show();
    dialog.setDetailInfoFileName(path);
    QVERIFY(boxes.waitForBoxes(1));
    QVERIFY2(boxes.lastText().contains(warning) && boxes.lastText().contains(path),
             qPrintable(boxes.lastText()));
}

void tst_Faults::operatorActions_data()
{
    QTest::addColumn<QString>("refusal"); // forced on the instrument
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("shown"); // status bar, or the warning box
    QTest::addColumn<bool>("isSent");
    const auto row = [](const char *name, const char *refusal, const char *field, const char *text,
                        const char *button, const QString &shown) {
        QTest::newRow(name) << refusal << field << text << button << shown << (shown != badInput);
    };
    row("0x03 read-back refused", "exception 3:2", "", "", "pushButtonReadAll",
        "设备拒绝读出设置（异常码 02），读出设置已停止。");
    row("0x04 poll refused", "exception 4:2", "lineEditAutoRunIntvel", "1", "pushButtonAutoRun70",
        "设备返回异常码 02");
    row("0x06 write refused", "exception 6:3", "lineEditSleepTime", "10", "pushButtonSleepTime",
        "设置写入失败");
    row("0x10 geometry refused", "exception 16:4", "lineEditRadius", "2",
        "pushButtonWriteParameter", "参数设置失败");
    row("threshold 0", "", "lineEditThreshold70", "0", "pushButtonThreshold70", badInput);
    row("threshold 1", "", "lineEditThreshold70", "1", "pushButtonThreshold70", "设置写入成功");
    row("0x10 as a count", "", "lineSpeedFilterTimes", "0x10", "pushButtonSpeedFilterTimes",
        badInput);
    row("1e2 as a radius", "", "lineEditRadius", "1e2", "pushButtonWriteParameter", badInput);
    // Last: the instrument answers at its new address from now on.
    row("address changed: hint", "", "lineEditNewDevAddr", "0x0a", "pushButtonChangeAddr",
        "设置写入成功，请在地址框中选择新地址 0x0A 并重新打开串口");
}

void tst_Faults::operatorActions()
{
    QFETCH(QString, refusal);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, button);
    QFETCH(QString, shown);
    QFETCH(bool, isSent);
    if (!shared) {
        shared = std::make_unique<WindowBench>();
        // Text that is no address would open the port on broadcast address 0.
        shared->find<QComboBox>("comboBoxDevAddr")->setEditText("zz");
        QVERIFY(!shared->openPort());
        QCOMPARE(shared->boxes.lastText(), badInput);
        shared->find<QComboBox>("comboBoxDevAddr")->setEditText("0x80");
        QVERIFY(shared->openPort() && shared->settle(OpeningFrames));
        shared->find<QRadioButton>("radioButtonCircle")->click();
    }
    WindowBench &bench = *shared;
    bench.boxes.clear();
    bench.find<QStatusBar>("statusBar")->clearMessage();
    QVERIFY(bench.sim.command(refusal.isEmpty() ? "clear" : refusal));
    const int before = bench.sim.entries().size();
    if (!field.isEmpty())
        bench.find<QLineEdit>(field)->setText(text);
    QVERIFY(bench.click(button));
    QTRY_VERIFY(bench.boxes.lastText() == shown ||
                bench.find<QStatusBar>("statusBar")->currentMessage() == shown);
    QCOMPARE(bench.sim.entries().size() > before, isSent);
    if (refusal.isEmpty())
        return;
    // Answered, so neither resent nor timed out: the port stays open.
    const int sent = bench.sim.entries().size();
    QTest::qWait(3500);
    QVERIFY(bench.isPortOpen());
    if (button == "pushButtonAutoRun70")
        QVERIFY(bench.click(button));
    else
        QCOMPARE(bench.sim.entries().size(), sent);
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"

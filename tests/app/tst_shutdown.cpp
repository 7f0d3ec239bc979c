// Ending the program from outside mid-run: SIGTERM, SIGHUP and SIGINT end the
// run as the operator's stop would and quit with 0; after SIGKILL the next
// start of the built program recovers the run, and the start after that
// changes nothing.
#include "mainwindow.h"
#include "shutdownsignals.h"
#include "simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const char *const childVariable = "TST_SHUTDOWN_CHILD";

// The program's window and shutdown hook, its port opened on the simulator
// and a run polling each second: what an operator leaves running.
int RunChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::received, &window,
                     &MainWindow::EndRunAndQuit);
    auto *ports = window.findChild<QComboBox *>("comboBoxPort");
    ports->setCurrentIndex(ports->findText(qEnvironmentVariable("RADARFLOW_PORTS")));
    window.findChild<QLineEdit *>("lineEditAutoRunIntvel")->setText("1");
    window.findChild<QPushButton *>("pushButtonUartConnect")->click();
    QTimer::singleShot(1000, &window,
                       [&] { window.findChild<QPushButton *>("pushButtonAutoRun70")->click(); });
    return app.exec();
}

QByteArray RunFileBytes(const QDir &dir)
{
    const QStringList names = QDir(dir.filePath("xml")).entryList({"20*.xml"}, QDir::Files);
    QFile file(dir.filePath("xml/") + names.value(0));
    return names.size() == 1 && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int HistoryRows(const QDir &dir)
{
    int rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(dir.filePath("database.db"));
        QSqlQuery count(db);
        if (db.open() && count.exec("select count(*) from history") && count.next())
            rows = count.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("check");
    return rows;
}

void Start(QProcess &process, const QString &program, const QString &folder, const QString &link)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("RADARFLOW_PORTS", link);
    if (program == QCoreApplication::applicationFilePath())
        env.insert(childVariable, "1");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(program, QStringList());
}

} // namespace

class tst_Shutdown : public QObject
{
    Q_OBJECT

private slots:
    void endFromOutside_data();
    void endFromOutside();
};

void tst_Shutdown::endFromOutside_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void tst_Shutdown::endFromOutside()
{
    QFETCH(int, signalNumber);
    QTemporaryDir folder;
    const QDir dir(folder.path());
    SimProcess sim({"--baud", "0", "--reply-delay", "0", "--calm"});
    QVERIFY(sim.isReady());

    QProcess child;
    Start(child, QCoreApplication::applicationFilePath(), folder.path(), sim.linkPath());
    QTRY_VERIFY_WITH_TIMEOUT(RunFileBytes(dir).count("</Row>") >= 3, 20000);
    ::kill(pid_t(child.processId()), signalNumber);
    QVERIFY(child.waitForFinished(10000));
    const bool isKilled = signalNumber == SIGKILL;
    QCOMPARE(child.exitStatus(), isKilled ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(child.exitCode(), isKilled ? child.exitCode() : 0);
    QCOMPARE(RunFileBytes(dir).contains("</Table>"), !isKilled);
    QCOMPARE(HistoryRows(dir), isKilled ? 0 : 1);

    QByteArray afterFirst;
    for (int start = 1; start <= 2; ++start) {
        QProcess program;
        Start(program, RADARFLOW_PROGRAM, folder.path(), sim.linkPath());
        // Its signal handlers are in place once it says so in its log.
        const auto ready = [&] {
            QFile log(dir.filePath("log.txt"));
            return log.open(QIODevice::ReadOnly) &&
                   log.readAll().count("end the program cleanly") == start;
        };
        QTRY_VERIFY_WITH_TIMEOUT(ready(), 20000);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(HistoryRows(dir), 1);
        if (start == 1)
            afterFirst = RunFileBytes(dir);
    }
    const QByteArray bytes = RunFileBytes(dir);
    QCOMPARE(bytes, afterFirst);
    QVERIFY(
        bytes.contains(QString("ss:ExpandedRowCount=\"%1\"").arg(bytes.count("<Row>")).toUtf8()));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(childVariable))
        return RunChild(argc, argv);
    QCoreApplication app(argc, argv);
    tst_Shutdown test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shutdown.moc"

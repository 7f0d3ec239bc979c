// Ending the program from outside mid-run: SIGTERM and SIGHUP end the run as
// the operator's stop would and quit with 0; after SIGKILL the next start of
// the built program recovers the run, and the start after that changes nothing.
#include "mainwindow.h"
#include "shutdownsignals.h"
#include "simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <csignal>

namespace {

// The program's window and shutdown hook as main() makes them, the port open
// on the simulator and a run polling each second: what an operator leaves.
int RunChild(int argc, char **argv)
{
    QApplication app(argc, argv);
    MainWindow window;
    ShutdownSignals shutdownSignals;
    QObject::connect(&shutdownSignals, &ShutdownSignals::received, &window,
                     &MainWindow::EndRunAndQuit);
    auto *ports = window.findChild<QComboBox *>("comboBoxPort");
    ports->setCurrentIndex(ports->findText(qEnvironmentVariable("RADARFLOW_PORTS")));
    window.findChild<QLineEdit *>("lineEditAutoRunIntvel")->setText("1");
    window.findChild<QPushButton *>("pushButtonUartConnect")->click();
    QTimer::singleShot(1000,
                       [&] { window.findChild<QPushButton *>("pushButtonAutoRun70")->click(); });
    return app.exec();
}

QByteArray Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString RunFile(const QDir &dir)
{
    const QDir xml(dir.filePath("xml"));
    return xml.filePath(xml.entryList({"20*"}).value(0));
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
    const bool isKilled = signalNumber == SIGKILL;
    QTemporaryDir folder;
    const QDir dir(folder.path());
    SimProcess sim({"--baud", "0", "--reply-delay", "0", "--calm"});
    QVERIFY(sim.isReady());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("RADARFLOW_PORTS", sim.linkPath());
    QProcess child;
    child.setWorkingDirectory(folder.path());
    env.insert("TST_SHUTDOWN_CHILD", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(Read(RunFile(dir)).count("</Row>") >= 3, 20000);
    const QString path = RunFile(dir);
    ::kill(pid_t(child.processId()), signalNumber);
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), isKilled ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(child.exitCode(), isKilled ? child.exitCode() : 0);
    QCOMPARE(Read(path).contains("</Table>"), !isKilled);
    QCOMPARE(HistoryRows(dir), isKilled ? 0 : 1);

    env.remove("TST_SHUTDOWN_CHILD");
    QByteArray afterFirst;
    for (int start = 1; start <= 2; ++start) {
        QProcess program;
        program.setWorkingDirectory(folder.path());
        program.setProcessEnvironment(env);
        program.start(RADARFLOW_PROGRAM, QStringList());
        // Its signal handlers are in place once its log says so.
        QTRY_VERIFY_WITH_TIMEOUT(
            Read(dir.filePath("log.txt")).count("end the program cleanly") == start, 20000);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(HistoryRows(dir), 1);
        afterFirst = start == 1 ? Read(path) : afterFirst;
    }
    const QByteArray bytes = Read(path);
    QCOMPARE(bytes, afterFirst);
    QVERIFY(bytes.contains("ss:ExpandedRowCount=\"" + QByteArray::number(bytes.count("<Row>"))));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet("TST_SHUTDOWN_CHILD"))
        return RunChild(argc, argv);
    QCoreApplication app(argc, argv);
    tst_Shutdown test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shutdown.moc"

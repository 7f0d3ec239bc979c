// The built program started with options, as a station starts it: the usage,
// the version and wrong command lines; a headless measuring station against
// the simulated instrument, ended by SIGTERM, and kept alive across a lost
// link; the choices remembered between starts; the rotation of log.txt.
#include "loghandler.h"
#include "mainwindow.h"
#include "simprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

// Time for the version read, the settings read-back and a few polls.
constexpr int StationMs = 30000;

// Polls (function 0x04) the simulator has answered so far.
int PollCount(const SimProcess &sim)
{
    int count = 0;
    for (const QJsonObject &entry : sim.entries())
        count += entry.value("request").toObject().value("function").toInt() == 0x04;
    return count;
}

int HistoryRows(const QString &dataDir)
{
    int rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "station");
        db.setDatabaseName(dataDir + "/database.db");
        const bool isOpen = db.open();
        QSqlQuery query(db);
        if (isOpen && query.exec("select count(*) from history") && query.next())
            rows = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("station"));
    return rows;
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void printsAndExits_data();
    void printsAndExits();
    void headlessStationEndsOnSigterm();
    void stationReconnectsAndMeasuresAgain();
    void choicesRemembered();
    void logRotation_data();
    void logRotation();

private:
    // Starts the program without a screen: no DISPLAY, no platform chosen.
    void Start(QProcess &program, const QStringList &args);

    QTemporaryDir dir;
};

void tst_CommandLine::initTestCase()
{
    QVERIFY(dir.isValid());
    // The remembered choices of the test stay in the test's folder.
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
}

void tst_CommandLine::Start(QProcess &program, const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(RADARFLOW_PATH), args);
    QVERIFY(program.waitForStarted());
}

void tst_CommandLine::printsAndExits_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString version = QStringLiteral("radarflow " RADARFLOW_VERSION "\n");
    const QString usage = QStringLiteral("Usage: ");
    QTest::newRow("help") << QStringList{"--help"} << 0 << usage << "";
    QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << "";
    QTest::newRow("version") << QStringList{"--version"} << 0 << version << "";
    QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << ""
                                    << "radarflow: Unknown option 'bogus'.";
    QTest::newRow("argument") << QStringList{"COM3"} << 2 << ""
                              << "radarflow: Unexpected argument 'COM3'.";
    QTest::newRow("port without name") << QStringList{"--port"} << 2 << ""
                                       << "radarflow: Missing value after '--port'.";
    const QString badAddress = QStringLiteral(
        "radarflow: Bad value '%1' for --address: a hexadecimal address from 0x01 to 0xF7, "
        "such as 0x80.");
    QTest::newRow("address 0x00") << QStringList{"--address", "0x00", "-v"} << 2 << ""
                                  << badAddress.arg("0x00");
    QTest::newRow("address 0x01") << QStringList{"--address", "0x01", "-v"} << 0 << version << "";
    QTest::newRow("address F7") << QStringList{"--address", "F7", "-v"} << 0 << version << "";
    QTest::newRow("address 0xF8") << QStringList{"--address", "0xF8", "-v"} << 2 << ""
                                  << badAddress.arg("0xF8");
    const QString badInterval =
        QStringLiteral("radarflow: Bad value '%1' for --interval: whole seconds from 1 to 65535.");
    QTest::newRow("interval 0") << QStringList{"--interval", "0", "-v"} << 2 << ""
                                << badInterval.arg("0");
    QTest::newRow("interval 1") << QStringList{"--interval", "1", "-v"} << 0 << version << "";
    QTest::newRow("interval 65535")
        << QStringList{"--interval", "65535", "-v"} << 0 << version << "";
    QTest::newRow("interval 65536")
        << QStringList{"--interval", "65536", "-v"} << 2 << "" << badInterval.arg("65536");
    QTest::newRow("lang fr") << QStringList{"--lang", "fr", "-v"} << 2 << ""
                             << "radarflow: Bad value 'fr' for --lang: zh or en.";
    QTest::newRow("lang en") << QStringList{"--lang", "en", "-v"} << 0 << version << "";
}

void tst_CommandLine::printsAndExits()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess program;
    Start(program, args);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
    if (err.isEmpty()) {
        QVERIFY2(stdErr.isEmpty(), qPrintable(stdErr));
    } else {
        QCOMPARE(stdErr.section('\n', 0, 0), err);
        QVERIFY(stdErr.contains("Usage: "));
    }
    if (args.first() == "--help") {
        for (const char *option :
             {"--port <NAME>", "--address <ADDR>", "--interval <SECONDS>", "--connect", "--measure",
              "--reconnect", "--data-dir <DIR>", "--user-data", "--lang <zh|en>", "--headless"})
            QVERIFY2(stdOut.contains(QLatin1String(option)), option);
    }
    // Printing the usage leaves nothing behind.
    QVERIFY(!QFile::exists(dir.filePath("log.txt")));
}

void tst_CommandLine::headlessStationEndsOnSigterm()
{
    SimProcess sim;
    QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
    const QString dataDir = dir.filePath("station/a");
    QProcess program;
    Start(program, {"--headless", "--measure", "--port", sim.linkPath(), "--interval", "1",
                    "--data-dir", dataDir});
    QTRY_VERIFY_WITH_TIMEOUT(PollCount(sim) >= 3, StationMs);
    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(HistoryRows(dataDir), 1);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    QVERIFY2(out.contains("已连接") && out.contains("测量结束"), qPrintable(out));
    QVERIFY(QFile::exists(dataDir + "/log.txt"));
}

void tst_CommandLine::stationReconnectsAndMeasuresAgain()
{
    SimProcess first;
    QVERIFY2(first.isReady(), qPrintable(first.errorString()));
    const QString dataDir = dir.filePath("station/b");
    QProcess program;
    Start(program, {"--headless", "--measure", "--port", first.linkPath(), "--interval", "1",
                    "--data-dir", dataDir});
    // Three answered polls: a run of at least two samples to record.
    QTRY_VERIFY_WITH_TIMEOUT(PollCount(first) >= 4, StationMs);
    first.stop();
    // The instrument is back on the same link.
    SimProcess second({"--link", first.linkPath()});
    QTRY_VERIFY(QFileInfo(first.linkPath()).isSymLink());
    QTRY_VERIFY_WITH_TIMEOUT(PollCount(second) >= 2, StationMs);

    // The run the lost link ended is recorded; the new one runs.
    QCOMPARE(HistoryRows(dataDir), 1);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const int lost = out.indexOf("连接中断");
    QVERIFY2(out.indexOf("测量结束") >= 0 && lost > 0, qPrintable(out));
    QVERIFY2(out.indexOf("已重新连接") > lost, qPrintable(out));
    // Nothing waited for an answer, and nothing needed one.
    QCOMPARE(program.readAllStandardError(), QByteArray());
    program.kill();
    program.waitForFinished();
}

void tst_CommandLine::choicesRemembered()
{
    for (const QString &interval : {QString(), QStringLiteral("9")}) {
        MainWindow window;
        window.StartStation({"/dev/ttyChosen", {}, interval});
        auto *intervalEdit = window.findChild<QLineEdit *>("lineEditAutoRunIntvel");
        auto *reconnect = window.findChild<QCheckBox *>("checkBoxReconnect");
        QCOMPARE(window.findChild<QComboBox *>("comboBoxPort")->currentText(),
                 QStringLiteral("/dev/ttyChosen"));
        if (interval.isEmpty()) {
            // The operator's choices of the first start...
            QCOMPARE(intervalEdit->text(), QStringLiteral("2"));
            QVERIFY(!reconnect->isChecked());
            intervalEdit->selectAll();
            QTest::keyClicks(intervalEdit, "7");
            reconnect->click();
        } else {
            // ...are there at the second, where the command line wins.
            QCOMPARE(intervalEdit->text(), interval);
            QVERIFY(reconnect->isChecked());
        }
    }
    MainWindow window;
    window.StartStation({});
    QCOMPARE(window.findChild<QLineEdit *>("lineEditAutoRunIntvel")->text(), QStringLiteral("7"));
}

void tst_CommandLine::logRotation_data()
{
    // Contents of log.txt, log.1.txt, ... before one more line is logged, and
    // of log.1.txt ... afterwards.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("rotated");
    const QString below(99, 'a');
    const QString full(100, 'b');
    QTest::newRow("one byte short") << QStringList{below} << QStringList{};
    QTest::newRow("at the size") << QStringList{full} << QStringList{full};
    QTest::newRow("five kept") << QStringList{full, "1", "2", "3", "4", "5"}
                               << QStringList{full, "1", "2", "3", "4"};
}

void tst_CommandLine::logRotation()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, rotated);
    QTemporaryDir logDir;
    const QString oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(logDir.path()));
    for (int i = 0; i < before.size(); ++i) {
        QFile file(i == 0 ? "log.txt" : QString("log.%1.txt").arg(i));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before[i].toUtf8());
    }
    LogHandler::SetRotationSize(100);
    LogHandler::SetEchoToStdout(false);
    LogHandler::MessageHandler(QtWarningMsg, QMessageLogContext(), "next");
    LogHandler::SetRotationSize(0);
    const QByteArray log = ReadFile("log.txt");
    QByteArrayList pieces;
    for (int i = 1; i <= rotated.size(); ++i)
        pieces << ReadFile(QString("log.%1.txt").arg(i));
    const bool isOlderKept = QFile::exists(QString("log.%1.txt").arg(rotated.size() + 1));
    QVERIFY(QDir::setCurrent(oldDir));

    // The new line goes to log.txt, after the old text only if that stayed.
    const QByteArray kept = rotated.isEmpty() ? before.first().toUtf8() : QByteArray();
    QVERIFY2(log.startsWith(kept + "[") && log.count('\n') == 1, log.constData());
    QVERIFY2(log.endsWith("WARNING|next () Line:(0)\n"), log.constData());
    for (int i = 0; i < rotated.size(); ++i)
        QCOMPARE(QString::fromUtf8(pieces[i]), rotated[i]);
    QVERIFY(!isOlderKept);
}

QTEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"

// The built program as a station or an operator starts it: the usage, the
// version and wrong command lines; a signal at its first instant; the
// translation and the log taken from the working folder; a headless measuring
// station ended from outside (its history locked, a second program refused on
// its folder), its run recovered at the next start, and kept alive across a
// silent instrument and a lost link; the choices remembered between starts.
// CTest runs the functions in two groups side by side (tests/app/CMakeLists.txt):
// a new function must join one of them.
#include "filebytes.h"
#include "mainwindow.h"
#include "simprocess.h"

#include <QtSql>
#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <csignal>
#include <ctime>

namespace {

// Time for the version read, the settings read-back and a few polls.
constexpr int StationMs = 30000;
const QStringList FastSim{"--baud", "0", "--reply-delay", "0", "--calm"};

// The index-th run file of a data folder, by start time.
QString RunFile(const QString &dataDir, int index = 0)
{
    const QDir xml(dataDir + "/xml");
    return xml.filePath(xml.entryList({"20*"}, QDir::Files, QDir::Name).value(index));
}

// A headless station measuring each second.
QStringList StationArgs(const QString &port, const QString &dataDir)
{
    return {"--headless", "--measure", "--port", port, "--interval", "1", "--data-dir", dataDir};
}

int HistoryRows(const QString &dataDir)
{
    int rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(dataDir + "/database.db");
        QSqlQuery count(db);
        if (db.open() && count.exec("select count(*) from history") && count.next())
            rows = count.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("check");
    return rows;
}

} // namespace

class tst_Program : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // As a station's start script: no screen, no platform chosen.
    void Start(QProcess &program, const QStringList &args, const QString &folder)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(folder);
        program.start(RADARFLOW_PATH, args);
        QVERIFY(program.waitForStarted());
    }

private slots:
    void initTestCase()
    {
        // The remembered choices stay in the test's folder, the program's too.
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        // The log's clock is local time, whatever the machine's zone.
        qputenv("TZ", "Asia/Shanghai");
        tzset();
    }

    void printsAndExits_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // the first line on standard error
        const auto row = [](const char *args, int status, const QString &error = {}) {
            QTest::newRow(args) << QString(args).split(' ') << status << error;
        };
        for (const char *args : {"--help", "-h", "--help-all", "--version", "-v", "--lang en -v"})
            row(args, 0);
        row("--bogus", 2, "radarflow: Unknown option 'bogus'.");
        row("COM3", 2, "radarflow: Unexpected argument 'COM3'.");
        row("--port", 2, "radarflow: Missing value after '--port'.");
        row("--lang fr -v", 2, "radarflow: Bad value 'fr' for --lang: zh or en.");
        // A network port needs its host, and its port unless it is a gateway's.
        const QString port("radarflow: Bad value '%1' for --port: tcp://HOST:PORT or "
                           "modbus-tcp://HOST[:PORT].");
        row("--port tcp://10.0.0.5 -v", 2, port.arg("tcp://10.0.0.5"));
        row("--port tcp://10.0.0.5:65536 -v", 2, port.arg("tcp://10.0.0.5:65536"));
        row("--port tcp://10.0.0.5:65535 -v", 0);
        row("--port modbus-tcp://gw.example -v", 0);
        const QString address("radarflow: Bad value '%1' for --address: a hexadecimal address "
                              "from 0x01 to 0xF7, such as 0x80.");
        row("--address 0x00 -v", 2, address.arg("0x00"));
        row("--address 0x01 -v", 0);
        row("--address F7 -v", 0);
        row("--address 0xF8 -v", 2, address.arg("0xF8"));
        const QString interval("radarflow: Bad value '%1' for --interval: whole seconds from 1 "
                               "to 65535.");
        row("--interval 0 -v", 2, interval.arg("0"));
        row("--interval 1 -v", 0);
        row("--interval 65535 -v", 0);
        row("--interval 65536 -v", 2, interval.arg("65536"));
    }
    void printsAndExits()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, error);
        QProcess program;
        Start(program, args, dir.path());
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(status ? err.section('\n', 0, 0) : err, error);
        QCOMPARE(err.contains("\nUsage: "), status != 0);
        // The usage goes to standard output for --help, to standard error
        // after a wrong command line; its wording is the parser's own.
        if (status != 0 || (!args[0].startsWith("-h") && !args[0].startsWith("--help")))
            QCOMPARE(out, status ? QString() : QString("radarflow " RADARFLOW_VERSION "\n"));
        else
            QVERIFY2(out.startsWith("Usage: "), qPrintable(out));
        // Printing leaves nothing behind.
        for (const char *name : {"log.txt", "database.db", "xml"})
            QVERIFY2(!QFile::exists(dir.filePath(name)), name);
    }

    void signalAtStart()
    {
        // SIGTERM already waiting when the program begins, as if sent at its
        // first instant: it ends the start before anything is made.
        struct Blocked : QProcess
        {
            void setupChildProcess() override
            {
                sigset_t term;
                sigemptyset(&term);
                sigaddset(&term, SIGTERM);
                sigprocmask(SIG_BLOCK, &term, nullptr);
            }
        } program;
        const QString data = dir.filePath("signalled");
        Start(program, {"--headless", "--data-dir", data}, dir.path());
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(data));
    }

    void startsFromItsWorkingFolder()
    {
        // The English translation beside it, proved by the warning about a
        // missing port, and the log's first line (written before the warning)
        // stamped with the clock.
        const QString folder = dir.filePath("operator");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(RADARFLOW_QM_FILE, folder + "/ZelEnglish.qm"));
        const QDateTime started = QDateTime::currentDateTime().addMSecs(-999);
        QProcess program;
        // Headless needs no screen, whatever -platform asks for.
        Start(program, {"--headless", "-platform", "xcb", "--connect", "--port", "/no/tty"},
              folder);
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains('\n'), StationMs);
        // Qt's own Chinese stays out of the English interface.
        QVERIFY(!FileBytes(QStringLiteral("/proc/%1/maps").arg(program.processId()))
                     .contains("qtbase_zh_CN.qm"));
        const QDateTime seen = QDateTime::currentDateTime();
        const QString first = QString::fromUtf8(FileBytes(folder + "/log.txt")).section('\n', 0, 0);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(err.contains("] Cannot open serial port /no/tty: "), err.constData());
        // The line's layout is the log's own test; here its time.
        const QDateTime stamp = QDateTime::fromString(first.mid(1, 19), "yyyy-MM-dd HH:mm:ss");
        QVERIFY2(started <= stamp && stamp <= seen, qPrintable(first));
    }

    void endedFromOutside_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<bool>("isHistoryLocked"); // by another program as the run ends
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGTERM, history locked") << int(SIGTERM) << true;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
        QTest::newRow("SIGKILL") << int(SIGKILL) << false;
    }
    void endedFromOutside()
    {
        // A station measuring each second is ended after 3 samples; then it
        // is started twice more in its folder, without a port: the first of
        // those recovers a killed run, the second changes nothing.
        QFETCH(int, signalNumber);
        QFETCH(bool, isHistoryLocked);
        const bool isKilled = signalNumber == SIGKILL;
        const QString data = dir.filePath(QTest::currentDataTag());
        SimProcess sim(FastSim);
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        QProcess station;
        Start(station, StationArgs(sim.linkPath(), data), dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(FileBytes(RunFile(data)).count("</Row>") >= 3, StationMs);
        const QString run = RunFile(data);
        // Frames logged by default: see reconnectsAndMeasuresAgain for less.
        QVERIFY(FileBytes(data + "/log.txt").contains("DEBUG|write:"));

        // A second program on the folder is refused and changes nothing: the
        // live run stays unfinished and unlisted.
        QProcess second;
        Start(second, {"--headless", "--data-dir", data}, dir.path());
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 2);
        const QString refusal = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(refusal.count('\n') == 1 &&
                     refusal.startsWith("radarflow: the data folder " + data + " is in use"),
                 qPrintable(refusal));
        QVERIFY(!FileBytes(run).contains("</Table>") &&
                !FileBytes(data + "/log.txt").contains(" in use"));
        QCOMPARE(HistoryRows(data), 0);

        {
            QSqlDatabase lock = QSqlDatabase::addDatabase("QSQLITE", "lock");
            lock.setDatabaseName(data + "/database.db");
            QVERIFY(!isHistoryLocked || (lock.open() && lock.exec("begin exclusive").isActive()));
            ::kill(pid_t(station.processId()), signalNumber);
            QVERIFY(station.waitForFinished(10000));
            lock.close();
        }
        QSqlDatabase::removeDatabase("lock");
        QCOMPARE(station.exitStatus() == QProcess::NormalExit && station.exitCode() == 0,
                 !isKilled);
        QCOMPARE(FileBytes(run).contains("</Table>"), !isKilled);
        QCOMPARE(HistoryRows(data), isKilled || isHistoryLocked ? 0 : 1);
        const QString out = QString::fromUtf8(station.readAllStandardOutput());
        QVERIFY2(out.contains("已连接") && out.contains("测量结束") == !isKilled, qPrintable(out));
        // The row not entered is said once, on standard error and in the log.
        const QString err = QString::fromUtf8(station.readAllStandardError());
        const QString notEntered = QStringLiteral("本次测量无法记入历史记录（%1）").arg(run);
        QVERIFY2(isHistoryLocked ? err.count('\n') == 1 && err.contains(notEntered) : err.isEmpty(),
                 qPrintable(err));
        QCOMPARE(FileBytes(data + "/log.txt").contains("WARNING|" + notEntered.toUtf8()),
                 isHistoryLocked);

        QByteArray afterRecovery;
        for (int start = 2; start <= 3; ++start) {
            QProcess program;
            Start(program, {"--headless", "--data-dir", data}, dir.path());
            // Its signal handlers are in place once its log says so.
            QTRY_VERIFY_WITH_TIMEOUT(
                FileBytes(data + "/log.txt").count("end the program cleanly") == start, StationMs);
            // The Chinese interface, Qt's own dialogs and buttons included.
            const QString maps = QStringLiteral("/proc/%1/maps").arg(program.processId());
            QVERIFY(FileBytes(maps).contains("/qtbase_zh_CN.qm"));
            program.terminate();
            QVERIFY(program.waitForFinished(10000) &&
                    program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
            QCOMPARE(HistoryRows(data), 1);
            afterRecovery = start == 2 ? FileBytes(run) : afterRecovery;
        }
        const QByteArray bytes = FileBytes(run);
        QCOMPARE(bytes, afterRecovery);
        const QByteArray rowCount = QByteArray::number(bytes.count("<Row>"));
        QVERIFY(bytes.contains("</Table>") &&
                bytes.contains("ExpandedRowCount=\"" + rowCount + '"'));
    }

    void reconnectsAndMeasuresAgain()
    {
        // The instrument is silent at first: the version read is resent after
        // the program's own time-out of 3 s, twice, given up after 9 s, and
        // the port reopened 5 s later.
        SimProcess first(FastSim);
        QVERIFY2(first.isReady() && first.command("silent-next 3"),
                 qPrintable(first.errorString()));
        const QString data = dir.filePath("reconnect");
        QProcess station;
        // Its log quieter by area: no frames.
        qputenv("QT_LOGGING_RULES", "radarflow.link.debug=false");
        Start(station, StationArgs(first.linkPath(), data), dir.path());
        qunsetenv("QT_LOGGING_RULES");
        // Two samples: a run worth recording.
        QTRY_VERIFY_WITH_TIMEOUT(FileBytes(RunFile(data)).count("</Row>") >= 2, 2 * StationMs);
        const QList<QJsonObject> silent = first.entries();
        const double resendMs = silent[2]["ms"].toDouble() - silent[0]["ms"].toDouble();
        QVERIFY2(resendMs > 5000 && resendMs < 8000, qPrintable(QString::number(resendMs)));
        first.stop();
        // The first retry, 5 s after the loss (within 8 s), finds no port and
        // says so, the line stamped with the clock.
        const QDateTime lostAt = QDateTime::currentDateTime();
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += QString::fromUtf8(station.readAllStandardError())).contains("打开失败"), 8000);
        const QDateTime stamp = QDateTime::fromString(err.trimmed().section('\n', -1).mid(1, 19),
                                                      "yyyy-MM-dd HH:mm:ss");
        QVERIFY2(lostAt.msecsTo(QDateTime::currentDateTime()) > 4000 &&
                     lostAt.addSecs(3) <= stamp && stamp <= QDateTime::currentDateTime(),
                 qPrintable(err));
        // The instrument back on the same link, paced like a 9600-baud line
        // whose answers come in pieces: the next retry reconnects, and a
        // second run starts by itself.
        SimProcess second(FastSim + QStringList{"--link", first.linkPath(), "--baud", "9600",
                                                "--reply-delay", "5"});
        QTRY_VERIFY_WITH_TIMEOUT(FileBytes(RunFile(data, 1)).count("</Row>") >= 1, StationMs);
        // Whole answers are taken without waiting for the line to fall quiet
        // for 100 ms: the version read and the read-back follow closely.
        const QList<QJsonObject> entries = second.entries().mid(0, 12);
        QVector<double> gaps;
        for (int i = 1; i < entries.size(); ++i)
            gaps << entries[i]["ms"].toDouble() - entries[i - 1]["ms"].toDouble();
        std::sort(gaps.begin(), gaps.end());
        QVERIFY2(gaps.size() == 11 && gaps[5] < 100, qPrintable(QString::number(gaps.value(5))));
        QCOMPARE(HistoryRows(data), 1);
        // The first answer after the silence connects; only the link that
        // had answered before comes back as reconnected.
        const QString out = QString::fromUtf8(station.readAllStandardOutput());
        const int lost = out.indexOf("连接中断");
        QVERIFY2(out.indexOf("测量结束") >= 0 && lost > out.indexOf("已连接") &&
                     out.indexOf("已重新连接") > lost && out.count("已重新连接") == 1,
                 qPrintable(out));
        // The silence and the failed retry, each told once with its end;
        // nothing waited for an answer.
        const QStringList lines = (err + QString::fromUtf8(station.readAllStandardError()))
                                      .split('\n', Qt::SkipEmptyParts);
        const QString port = first.linkPath(), answered = QString("串口 %1 的仪器已应答").arg(port);
        QVERIFY2(lines.size() == 4 &&
                     lines[0].endsWith(
                         QString("串口 %1 无应答：消息接收超时，每 5 秒重新连接").arg(port)) &&
                     lines[1].endsWith(answered) &&
                     lines[2].contains(QString("] 串口 %1 打开失败：").arg(port)) &&
                     lines[3].endsWith(answered),
                 qPrintable(lines.join('\n')));
        const QByteArray log = FileBytes(data + "/log.txt");
        QVERIFY(!log.contains("DEBUG|write:") && !log.contains("DEBUG|Receive:") &&
                log.contains("DEBUG|SIGTERM, SIGINT and SIGHUP end the program cleanly"));
        station.kill();
        station.waitForFinished();
    }

    void choicesRemembered()
    {
        {
            MainWindow window;
            window.StartStation({"/dev/ttyChosen", {}, {}});
            auto *interval = window.findChild<QLineEdit *>("lineEditAutoRunIntvel");
            QCOMPARE(interval->text(), QStringLiteral("2"));
            QVERIFY(!window.findChild<QCheckBox *>("checkBoxReconnect")->isChecked());
            interval->selectAll();
            QTest::keyClicks(interval, "7");
            window.findChild<QCheckBox *>("checkBoxReconnect")->click();
        }
        // The command line wins, and what it says is not remembered.
        for (const StationOptions &options : {StationOptions{"/dev/ttyOther", {}, "9"}, {}}) {
            MainWindow window;
            window.StartStation(options);
            const bool isGiven = !options.interval.isEmpty();
            QCOMPARE(window.findChild<QComboBox *>("comboBoxPort")->currentText(),
                     isGiven ? "/dev/ttyOther" : "/dev/ttyChosen");
            QCOMPARE(window.findChild<QLineEdit *>("lineEditAutoRunIntvel")->text(),
                     isGiven ? "9" : "7");
            QVERIFY(window.findChild<QCheckBox *>("checkBoxReconnect")->isChecked());
        }
    }
};

QTEST_MAIN(tst_Program)
#include "tst_program.moc"

// The built program as a station or an operator starts it: the usage, the
// version and wrong command lines; the translation and the log taken from the
// working folder; a headless measuring station ended from outside, its run
// recovered at the next start, and kept alive across a lost link; the choices
// remembered between starts.
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
        for (const char *args : {"--help", "-h", "--version", "-v", "--lang en -v"})
            row(args, 0);
        row("--bogus", 2, "radarflow: Unknown option 'bogus'.");
        row("COM3", 2, "radarflow: Unexpected argument 'COM3'.");
        row("--port", 2, "radarflow: Missing value after '--port'.");
        row("--lang fr -v", 2, "radarflow: Bad value 'fr' for --lang: zh or en.");
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
        if (status != 0 || (!args[0].startsWith("-h") && args[0] != "--help"))
            QCOMPARE(out, status ? QString() : QString("radarflow " RADARFLOW_VERSION "\n"));
        else
            QVERIFY2(out.startsWith("Usage: "), qPrintable(out));
        // Printing leaves nothing behind.
        QVERIFY(!QFile::exists(dir.filePath("log.txt")));
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
        Start(program, {"--headless", "--connect", "--port", "/nonexistent/ttyX"}, folder);
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += program.readAllStandardError()).contains('\n'), StationMs);
        const QDateTime seen = QDateTime::currentDateTime();
        const QString first = QString::fromUtf8(FileBytes(folder + "/log.txt")).section('\n', 0, 0);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QVERIFY2(err.contains("] Cannot open serial port /nonexistent/ttyX: "), err.constData());
        // The line's layout is the log's own test; here its time.
        const QDateTime stamp = QDateTime::fromString(first.mid(1, 19), "yyyy-MM-dd HH:mm:ss");
        QVERIFY2(started <= stamp && stamp <= seen, qPrintable(first));
    }

    void endedFromOutside_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGKILL") << int(SIGKILL);
    }
    void endedFromOutside()
    {
        // A station measuring each second is ended after 3 samples; then it
        // is started twice more in its folder, without a port: the first of
        // those recovers a killed run, the second changes nothing.
        QFETCH(int, signalNumber);
        const bool isKilled = signalNumber == SIGKILL;
        const QString data = dir.filePath(QTest::currentDataTag());
        SimProcess sim(FastSim);
        QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
        QProcess station;
        Start(station, StationArgs(sim.linkPath(), data), dir.path());
        QTRY_VERIFY_WITH_TIMEOUT(FileBytes(RunFile(data)).count("</Row>") >= 3, StationMs);
        const QString run = RunFile(data);
        ::kill(pid_t(station.processId()), signalNumber);
        QVERIFY(station.waitForFinished(10000));
        QCOMPARE(station.exitStatus() == QProcess::NormalExit && station.exitCode() == 0,
                 !isKilled);
        QCOMPARE(FileBytes(run).contains("</Table>"), !isKilled);
        QCOMPARE(HistoryRows(data), isKilled ? 0 : 1);
        const QString out = QString::fromUtf8(station.readAllStandardOutput());
        QVERIFY2(out.contains("已连接") && out.contains("测量结束") == !isKilled, qPrintable(out));

        QByteArray afterRecovery;
        for (int start = 2; start <= 3; ++start) {
            QProcess program;
            Start(program, {"--headless", "--data-dir", data}, dir.path());
            // Its signal handlers are in place once its log says so.
            QTRY_VERIFY_WITH_TIMEOUT(
                FileBytes(data + "/log.txt").count("end the program cleanly") == start, StationMs);
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
        SimProcess first(FastSim);
        QVERIFY2(first.isReady(), qPrintable(first.errorString()));
        const QString data = dir.filePath("reconnect");
        QProcess station;
        Start(station, StationArgs(first.linkPath(), data), dir.path());
        // Two samples: a run worth recording.
        QTRY_VERIFY_WITH_TIMEOUT(FileBytes(RunFile(data)).count("</Row>") >= 2, StationMs);
        first.stop();
        // The first retry, 5 s after the loss, finds no port and says so, the
        // line stamped with the clock.
        const QDateTime lostAt = QDateTime::currentDateTime();
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += station.readAllStandardError()).contains('\n'), 8000);
        const qint64 retryMs = lostAt.msecsTo(QDateTime::currentDateTime());
        const QDateTime stamp =
            QDateTime::fromString(QString::fromLatin1(err.mid(1, 19)), "yyyy-MM-dd HH:mm:ss");
        QVERIFY2(retryMs > 4000 && retryMs < 6500 && lostAt.addSecs(3) <= stamp &&
                     stamp <= QDateTime::currentDateTime() &&
                     err.contains("] 串口 " + first.linkPath().toUtf8() + " 打开失败："),
                 (err + QByteArray::number(retryMs)).constData());
        // The instrument back on the same link, paced like a 9600-baud line
        // whose answers come in pieces, its first answer lost: the next retry
        // reconnects, and a second run starts by itself.
        SimProcess second(FastSim + QStringList{"--link", first.linkPath(), "--baud", "9600",
                                                "--reply-delay", "5"});
        QVERIFY(second.command("silent-next 1"));
        QTRY_VERIFY_WITH_TIMEOUT(FileBytes(RunFile(data, 1)).count("</Row>") >= 1, StationMs);
        // Whole answers are taken without waiting for the line to fall quiet
        // for 100 ms: the version read and the read-back follow closely, but
        // for the resend after the program's own time-out of 3 s.
        const QList<QJsonObject> entries = second.entries().mid(0, 13);
        QVector<double> gaps;
        for (int i = 1; i < entries.size(); ++i)
            gaps << entries[i]["ms"].toDouble() - entries[i - 1]["ms"].toDouble();
        std::sort(gaps.begin(), gaps.end());
        QVERIFY2(
            gaps.size() == 12 && gaps[5] < 100 && gaps[11] > 2500 && gaps[11] < 4000,
            qPrintable(QString::number(gaps.value(5)) + ' ' + QString::number(gaps.value(11))));
        QCOMPARE(HistoryRows(data), 1);
        const QString out = QString::fromUtf8(station.readAllStandardOutput());
        const int lost = out.indexOf("连接中断");
        QVERIFY2(out.indexOf("测量结束") >= 0 && lost > 0 && out.indexOf("已重新连接") > lost,
                 qPrintable(out));
        // The failed retry was told once.
        QCOMPARE((err + station.readAllStandardError()).count('\n'), 1);
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

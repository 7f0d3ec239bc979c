#pragma once

#include <QtTest>

// Runs radarflow-sim for one test: on a link and a journal of its own in a
// temporary folder, stopped with SIGTERM when the object goes.
//
//   SimProcess sim({"--baud", "0", "--firmware", "0x041A"});
//   QVERIFY2(sim.isReady(), qPrintable(sim.errorString()));
//   port.setPortName(sim.linkPath());
//   QVERIFY(sim.command("bad-crc on")); // in force once this returns
//   QVERIFY(sim.waitForEntries(1));
//   QCOMPARE(SimProcess::requestBytes(sim.entries().at(0)), expectedFrame);
class SimProcess
{
public:
    // extraArgs follow the defaults (--link, --journal, --seed 1) and may
    // override them, e.g. {"--seed", "7"}.
    explicit SimProcess(const QStringList &extraArgs = {})
    {
        // The simulator takes the last value given for an option.
        const auto given = [&](const QString &option, const QString &fallback) {
            const int i = extraArgs.lastIndexOf(option);
            return i >= 0 && i + 1 < extraArgs.size() ? extraArgs.at(i + 1) : fallback;
        };
        link = given("--link", link);
        control = given("--control", QString());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(RADARFLOW_SIM_PATH),
                      QStringList{"--link", linkPath(), "--journal", journalPath(), "--seed", "1"} +
                          extraArgs);
        if (!process.waitForStarted(5000)) {
            error = "radarflow-sim did not start: " + process.errorString();
            return;
        }
        // The first line is the link, printed once the port is there.
        QByteArray line;
        if (!readLine(&line, 5000) || !QFileInfo(linkPath()).isSymLink()) {
            error = "radarflow-sim did not create its link " + linkPath();
            return;
        }
        // Then the network ports, tcp:// before modbus-tcp://, as actually taken.
        for (const char *option : {"--tcp", "--modbus-tcp"}) {
            if (!extraArgs.contains(option))
                continue;
            if (!readLine(&line, 5000)) {
                error = QString("radarflow-sim did not name its %1 port").arg(option);
                return;
            }
            networkPorts << QString::fromUtf8(line);
        }
        isStarted = true;
    }
    ~SimProcess() { stop(); }

    // Started, and its serial port link exists.
    bool isReady() const { return isStarted; }
    QString errorString() const { return error; }

    QString linkPath() const { return link; }
    // "tcp://127.0.0.1:PORT" or "modbus-tcp://127.0.0.1:PORT", when asked for.
    QString networkPort(const QString &scheme) const
    {
        return networkPorts.filter(QRegularExpression('^' + scheme + "://")).value(0);
    }
    QString journalPath() const { return dir.filePath("journal.jsonl"); }

    // Sends one runtime command ("bad-crc on", "silent-next 2", "exception
    // 3:4", "clear", "level 0.5" ...; see radarflow-sim --help), through the
    // --control pipe when there is one, and waits until the simulator has it
    // in force.
    bool command(const QString &line, int iTimeoutMs = 3000)
    {
        if (process.state() != QProcess::Running)
            return false;
        QFile pipe(control);
        if (control.isEmpty())
            process.write(line.toUtf8() + '\n');
        else if (!pipe.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
                 pipe.write(line.toUtf8() + '\n') < 0)
            return false;
        const QDeadlineTimer deadline(iTimeoutMs);
        QByteArray answer;
        while (readLine(&answer, int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (answer == "ok " + line.toUtf8())
                return true;
            if (answer.startsWith("error ")) {
                error = QString::fromUtf8(answer);
                return false;
            }
        }
        error = "no acknowledgement for: " + line;
        return false;
    }

    // Every journal entry so far, one per frame the simulator received:
    // time, ms, rx, crcOk, request {slave, function, start, count, register,
    // value, values}, outcome, exception, tx, spectrumBytes, faults.
    QList<QJsonObject> entries() const
    {
        QList<QJsonObject> list;
        QFile file(journalPath());
        if (!file.open(QIODevice::ReadOnly))
            return list;
        // A line still being written has no newline yet and waits for the next call.
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (int i = 0; i + 1 < lines.size(); ++i)
            list << QJsonDocument::fromJson(lines[i]).object();
        return list;
    }

    // Waits, with the event loop running, until the journal holds at least
    // iCount entries.
    bool waitForEntries(int iCount, int iTimeoutMs = 5000) const
    {
        const QDeadlineTimer deadline(iTimeoutMs);
        while (entries().size() < iCount) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    // The bytes of an entry's request as received, and of the answer sent.
    static QByteArray requestBytes(const QJsonObject &entry) { return Bytes(entry, "rx"); }
    static QByteArray answerBytes(const QJsonObject &entry) { return Bytes(entry, "tx"); }

    // SIGTERM, and wait until the simulator has removed its link.
    void stop()
    {
        // Neither does anything once it has ended; a killed one is reaped as the
        // object goes.
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
    }

private:
    bool readLine(QByteArray *ptLine, int iTimeoutMs)
    {
        const QDeadlineTimer deadline(iTimeoutMs);
        while (!process.canReadLine()) {
            if (process.state() != QProcess::Running || deadline.hasExpired())
                return false;
            process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        *ptLine = process.readLine().trimmed();
        return true;
    }
    static QByteArray Bytes(const QJsonObject &entry, const char *key)
    {
        return QByteArray::fromHex(entry.value(key).toString().toLatin1());
    }

    QTemporaryDir dir;
    QString link = dir.filePath("ttySim");
    QString control; // --control pipe, if any
    QStringList networkPorts;
    QProcess process;
    bool isStarted = false;
    QString error;
};

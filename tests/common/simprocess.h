#pragma once

#include <QtCore>

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
    explicit SimProcess(const QStringList &extraArgs = {});
    ~SimProcess();

    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Started, and its serial port link exists.
    bool isReady() const { return isStarted; }
    QString errorString() const { return error; }

    QString linkPath() const { return link; }
    QString journalPath() const { return dir.filePath("journal.jsonl"); }

    // Sends one runtime command ("bad-crc on", "silent-next 2", "exception
    // 3:4", "clear", "level 0.5" ...; see radarflow-sim --help), through the
    // --control pipe when there is one, and waits until the simulator has it
    // in force.
    bool command(const QString &line, int iTimeoutMs = 3000);

    // Every journal entry so far, one per frame the simulator received:
    // time, ms, rx, crcOk, request {slave, function, start, count, register,
    // value, values}, outcome, exception, tx, spectrumBytes, faults.
    QList<QJsonObject> entries() const;

    // Waits, with the event loop running, until the journal holds at least
    // iCount entries.
    bool waitForEntries(int iCount, int iTimeoutMs = 5000) const;

    // The bytes of an entry's request as received, and of the answer sent.
    static QByteArray requestBytes(const QJsonObject &entry) { return Bytes(entry, "rx"); }
    static QByteArray answerBytes(const QJsonObject &entry) { return Bytes(entry, "tx"); }

    // SIGTERM, and wait until the simulator has removed its link.
    void stop();

private:
    bool readLine(QByteArray *ptLine, int iTimeoutMs);
    static QByteArray Bytes(const QJsonObject &entry, const char *key)
    {
        return QByteArray::fromHex(entry.value(key).toString().toLatin1());
    }

    QTemporaryDir dir;
    QString link = dir.filePath("ttySim");
    QString control; // --control pipe, if any
    QProcess process;
    bool isStarted = false;
    QString error;
};

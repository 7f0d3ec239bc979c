#include "simprocess.h"

#include <QtTest>

SimProcess::SimProcess(const QStringList &extraArgs)
{
    process.setProgram(QStringLiteral(RADARFLOW_SIM_PATH));
    process.setArguments(
        QStringList{"--link", linkPath(), "--journal", journalPath(), "--seed", "1"} + extraArgs);
    // The simulator takes the last value given for an option.
    const auto given = [&](const QString &option, const QString &fallback) {
        const int i = extraArgs.lastIndexOf(option);
        return i >= 0 && i + 1 < extraArgs.size() ? extraArgs.at(i + 1) : fallback;
    };
    link = given("--link", link);
    control = given("--control", QString());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
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
    isStarted = true;
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::readLine(QByteArray *ptLine, int iTimeoutMs)
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

bool SimProcess::command(const QString &line, int iTimeoutMs)
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

QList<QJsonObject> SimProcess::entries() const
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

bool SimProcess::waitForEntries(int iCount, int iTimeoutMs) const
{
    const QDeadlineTimer deadline(iTimeoutMs);
    while (entries().size() < iCount) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

void SimProcess::stop()
{
    // Neither does anything once it has ended; a killed one is reaped as the
    // object goes.
    process.terminate();
    if (!process.waitForFinished(3000))
        process.kill();
}
